#include "fsutil/path_strings.h"

namespace {

// Position of the extension's dot, or npos when the last component has none
// (no dot, no backslash at all, or the last dot before the last backslash).
std::wstring::size_type ExtensionDot(const std::wstring& path) {
    const auto dot = path.rfind(L'.');
    if (dot == std::wstring::npos)
        return dot;
    const auto slash = path.rfind(L'\\');
    if (slash == std::wstring::npos || slash > dot)
        return std::wstring::npos;
    return dot;
}

} // namespace

std::wstring GetFileNameFromPath(const std::wstring& path) {
    const auto slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring RemoveFileExtension(const std::wstring& path) {
    const auto dot = ExtensionDot(path);
    return dot == std::wstring::npos ? path : path.substr(0, dot);
}

std::wstring GetFileExtension(const std::wstring& path) {
    const auto dot = ExtensionDot(path);
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot + 1);
}

std::wstring GetParentDirectory(std::wstring path) {
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    const auto slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}
