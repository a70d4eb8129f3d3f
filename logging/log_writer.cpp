#include "logging/log_writer.h"
#include "logging/status_line.h"

#include <windows.h>
#include <process.h>

#include <atomic>
#include <cwchar>
#include <climits>

#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/replace.hpp>
#include <boost/algorithm/string/trim.hpp>

#include "logging/log_file.h"
#include "logging/log_time.h"

namespace {

// Six characters each, comma included. Plain pointers: the writer may still run
// while static objects are destroyed at process exit.
const wchar_t* LevelPrefix(LogLevel level) {
    switch (level) {
    case LogLevel::DEBUG:
        return L"DEBUG,";
    case LogLevel::INFO:
        return L"INFO ,";
    case LogLevel::WARN:
        return L"WARN ,";
    case LogLevel::ERROR:
        return L"ERROR,";
    case LogLevel::CRTCL:
        return L"CRTCL,";
    case LogLevel::NONE:
        return L"NONE ,";
    }
    return L"UNKNW,";
}

bool GoesToStandardError(LogLevel level) {
    return level == LogLevel::WARN || level == LogLevel::ERROR || level == LogLevel::CRTCL;
}

void ReportToEventLog(void* eventSource, std::uint16_t type, std::uint32_t eventId,
                      const std::wstring& text) {
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(eventSource, type, 0, eventId, nullptr, 1, 0, strings, nullptr); // failure ignored
}

std::atomic<EventReporter> g_eventReporter{&ReportToEventLog};

void WriteToEventLog(void* eventSource, const LogEntry& entry, std::wstring& text) {
    text = entry.message;
    boost::algorithm::replace_all(text, L"%1", L"%_1"); // no insertion of the text into itself
    const auto level = static_cast<std::int32_t>(entry.level);
    const std::uint16_t type = level == 1   ? EVENTLOG_INFORMATION_TYPE
                               : level == 2 ? EVENTLOG_WARNING_TYPE
                                            : EVENTLOG_ERROR_TYPE;
    const std::uint32_t id = level == 1 ? 103 : level == 2 ? 102 : 101;
    g_eventReporter.load()(eventSource, type, id, text);
}

// Writes one entry to every sink chosen for it. Runs under the logger's lock.
void WriteEntry(Logger& logger, LogEntry& entry, std::wstring& line) {
    const std::uint32_t sinks = entry.sinks == LogSinks::UseDefault ? logger.defaultSinks : entry.sinks;
    const std::uint32_t fields = logger.fieldMask;
    std::FILE* console = stdout;

    if (fields & LogFields::Time)
        line += FormatLogTime(entry.time) + L",";
    if (fields & LogFields::Level) {
        line += LevelPrefix(entry.level);
        if (GoesToStandardError(entry.level))
            console = stderr;
    }
    if (sinks & LogSinks::Console) {
        EraseStatusLineUnderLoggerLock(); // the entry goes where the status line was
        WriteConsoleLine(console, entry.message);
    }
    if (sinks & LogSinks::File) {
        if (fields & LogFields::User)
            line += entry.domain + L"," + entry.user + L",";
        if (fields & LogFields::ThreadId)
            line += std::to_wstring(static_cast<std::int32_t>(entry.threadId)) + L",";
        if (fields & LogFields::Category)
            line += entry.category + L",";
        boost::algorithm::trim_if(entry.message, boost::algorithm::is_any_of(L" \t\n\r"));
        line += entry.message;
        boost::algorithm::erase_all(line, L"\r");
        boost::algorithm::erase_all(line, L"\n");
        line += L"\r\n";
        AppendToLogFile(line);
    }
    if (logger.eventSource != nullptr && (sinks & LogSinks::EventLog) && entry.level >= LogLevel::INFO)
        WriteToEventLog(logger.eventSource, entry, line);
}

} // namespace

void SetEventReporter(EventReporter reporter) {
    g_eventReporter.store(reporter ? reporter : &ReportToEventLog);
}

void WriteConsoleLine(std::FILE* stream, const std::wstring& message) {
    // Converted here, one character at a time, rather than by the wide print
    // functions: those silently drop the rest of the line at the first
    // character that the console's code page cannot represent.
    std::string bytes;
    bytes.reserve(message.size() + 1);
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : message) {
        if (c == L'\0')
            break; // the text ends there, as it would for "%ls"
        const std::size_t n = std::wcrtomb(buffer, c, &state);
        if (n == static_cast<std::size_t>(-1)) {
            bytes += '?';
            state = std::mbstate_t{};
        } else {
            bytes.append(buffer, n);
        }
    }
    bytes += '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream); // progress shows at once, also through a pipe
}

void RunLogWriter(Logger& logger) {
    std::wstring line;
    for (;;) {
        line.clear();
        LogEntry entry = logger.queue.Pop();
        if (entry.stop) {
            logger.queue.MarkHandled();
            return;
        }
        {
            std::lock_guard<LoggerLock> guard(logger.lock);
            WriteEntry(logger, entry, line);
        }
        logger.queue.MarkHandled();
    }
}

unsigned __stdcall StartLoggerThreadProc(void* logger) {
    if (logger == nullptr)
        throw std::wstring(L"StartLoggerThreadProc: arg0==NULL");
    RunLogWriter(*static_cast<Logger*>(logger));
    _endthreadex(0);
    return 0;
}
