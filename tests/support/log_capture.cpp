#include "support/log_capture.h"

#include <windows.h>

#include "logging/log_types.h"
#include "logging/logger.h"
#include "logging/logger_lifecycle.h"

LogCapture::LogCapture() : file_(dir_.File(L"capture.log")) {
    Start();
}

LogCapture::~LogCapture() {
    StopLogger();
    // Back to dropping entries, so that nothing logged between captures turns
    // up in the next capture's file.
    std::lock_guard<LoggerLock> guard(GetLogger().lock);
    GetLogger().accepting = false;
}

void LogCapture::Start() {
    Logger& logger = GetLogger();
    {
        std::lock_guard<LoggerLock> guard(logger.lock);
        logger.logFilePath = file_;
        logger.fieldMask = LogFields::Level | LogFields::Category;
        logger.defaultSinks = LogSinks::File;
        logger.minLevel = LogLevel::DEBUG;
    }
    StartLogger();
}

std::vector<std::wstring> LogCapture::Lines() {
    StopLogger(); // every entry queued so far is written before the writer ends
    const std::string bytes = ReadBytes(file_);
    Start();

    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                    static_cast<int>(text.size())));
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::wstring Flat(std::wstring text) {
    std::erase(text, L'\r');
    std::erase(text, L'\n');
    return text;
}
