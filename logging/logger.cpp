#include "logging/logger.h"

#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include <memory>
#include <utility>
#include <vector>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

#include "logging/log_time.h"

Logger& GetLogger() {
    static Logger* const logger = new Logger(); // intentionally never deleted
    return *logger;
}

Win32Error GetCurrentUserName(std::wstring& name) {
    name.clear();
    ULONG size = 0;
    if (!GetUserNameExW(NameSamCompatible, nullptr, &size)) {
        const DWORD code = GetLastError();
        if (code != ERROR_MORE_DATA)
            return code;
    }
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[size + 1]());
    if (!GetUserNameExW(NameSamCompatible, buffer.get(), &size))
        return GetLastError();
    name = buffer.get();
    return 0;
}

void SplitAccountName(const std::wstring& name, std::wstring& domain, std::wstring& user) {
    std::vector<std::wstring> parts;
    boost::algorithm::split(parts, name, boost::algorithm::is_any_of(L"\\"));
    if (parts.size() == 2) {
        domain = std::move(parts[0]);
        user = std::move(parts[1]);
    } else {
        domain.clear();
        user.clear();
    }
}

void LogMessage(LogLevel level, const std::wstring& category, const std::wstring& message) {
    Logger& logger = GetLogger();
    LogEntry entry;
    {
        std::lock_guard<LoggerLock> guard(logger.lock);
        if (!logger.accepting || level < logger.minLevel)
            return;
        if (logger.fieldMask & LogFields::Time)
            entry.time = CurrentFileTime();
        if (logger.fieldMask & LogFields::ThreadId)
            entry.threadId = GetCurrentThreadId();
        if (logger.fieldMask & LogFields::User) {
            std::wstring account;
            if (GetCurrentUserName(account) == 0)
                SplitAccountName(account, entry.domain, entry.user);
        }
    }
    entry.message = message;
    entry.category = category;
    entry.level = level;
    logger.queue.Push(std::move(entry)); // a refusal by the budget drops the entry silently
}

void SetMinLogLevel(LogLevel level) {
    Logger& logger = GetLogger();
    std::lock_guard<LoggerLock> guard(logger.lock);
    logger.minLevel = level;
}

void SetDefaultSinks(std::uint32_t sinks) {
    Logger& logger = GetLogger();
    std::lock_guard<LoggerLock> guard(logger.lock);
    logger.defaultSinks = sinks;
}
