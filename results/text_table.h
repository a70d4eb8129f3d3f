#pragma once
// One line of a console table: each cell padded with blanks to its column's
// width, the first `leftColumns` columns aligned left, the others right. A cell
// wider than its column pushes the rest of the line on.
#include <cstddef>
#include <string>
#include <vector>

std::wstring TableRow(const std::vector<std::wstring>& cells, const std::vector<std::size_t>& widths,
                      std::size_t leftColumns);
