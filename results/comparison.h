#pragma once
// -compare: reads result documents of the tool and prints how each differs
// from the first (the baseline), per test and, where both hold per-pass
// samples, per test and phase, with a verdict on whether the difference is
// real.
#include <string>
#include <vector>

#include "errors/win32_error.h"

// Compares `files` (the baseline first) and logs the comparison; with a
// non-empty `jsonPath` also writes it there as a JSON document, with a
// non-empty `htmlPath` as a report page. 0 when the
// comparison was printed; 87, with a message naming the file, for a document
// that is missing, not JSON, not this tool's or of a newer document version;
// the system's code when the JSON document cannot be written.
Win32Error CompareDocuments(const std::vector<std::wstring>& files, const std::wstring& jsonPath,
                            const std::wstring& htmlPath);
