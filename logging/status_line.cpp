#include "logging/status_line.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "logging/logger.h"

namespace {

// Characters of the status line now on the console; 0 when none is shown.
// Guarded by the logger's lock.
std::size_t g_shownWidth = 0;

void Erase() {
    if (g_shownWidth == 0)
        return;
    std::string blank(g_shownWidth + 2, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    std::fwrite(blank.data(), 1, blank.size(), stderr);
    std::fflush(stderr);
    g_shownWidth = 0;
}

} // namespace

bool StandardErrorIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void ShowStatusLine(const std::wstring& text) {
    std::lock_guard<LoggerLock> guard(GetLogger().lock);
    const std::size_t width = g_shownWidth;
    g_shownWidth = 0;
    // The new text over the old, padded to cover what the old one was longer.
    std::wstring line = L"\r" + text;
    if (width > text.size())
        line.append(width - text.size(), L' ');
    std::string bytes;
    for (const wchar_t c : line)
        bytes += c < 0x80 ? static_cast<char>(c) : '?';
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
    g_shownWidth = std::max(width, text.size());
}

void ClearStatusLine() {
    std::lock_guard<LoggerLock> guard(GetLogger().lock);
    Erase();
}

void EraseStatusLineUnderLoggerLock() {
    Erase();
}
