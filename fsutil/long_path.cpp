#include "fsutil/long_path.h"

std::wstring LongPathOf(std::wstring path) {
    MakeLongPath(&path);
    return path;
}

void MakeLongPath(std::wstring* path) {
    if (path == nullptr)
        return;
    std::wstring& p = *path;
    if (p.compare(0, 3, L"\\\\?") == 0)
        return; // already in the long-path namespace
    // "\\?\" paths are not normalised by Windows, so relative components must
    // stay outside it; "\.\" also catches device paths such as \\.\COM1.
    if (p.find(L"\\.\\") != std::wstring::npos || p.find(L"\\..\\") != std::wstring::npos)
        return;
    if (p.compare(0, 2, L"\\\\") == 0)
        p.insert(2, L"?\\UNC\\");
    else if (p.size() >= 3 && p.compare(1, 2, L":\\") == 0)
        p.insert(0, L"\\\\?\\");
}
