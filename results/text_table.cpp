#include "results/text_table.h"

#include "core/text_format.h"

std::wstring TableRow(const std::vector<std::wstring>& cells, const std::vector<std::size_t>& widths,
                      std::size_t leftColumns) {
    std::wstring line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::size_t width = i < widths.size() ? widths[i] : 0;
        line += i < leftColumns ? LeftAligned(cells[i], width) : RightAligned(cells[i], width);
    }
    return line;
}
