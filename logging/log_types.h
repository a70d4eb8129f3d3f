#pragma once
// The logger's vocabulary: levels, the field and sink bit sets, and the entry
// that travels from LogMessage through the queue to the writer thread.
#include <cstdint>
#include <string>

// Any other value is accepted too and printed as "UNKNW,".
enum class LogLevel : std::int32_t { DEBUG = 0, INFO = 1, WARN = 2, ERROR = 3, CRTCL = 4, NONE = 5 };

// Which context LogMessage captures and which fields the writer prints.
namespace LogFields {
constexpr std::uint32_t Time = 0x01;
constexpr std::uint32_t ThreadId = 0x02;
constexpr std::uint32_t User = 0x04;
constexpr std::uint32_t Level = 0x08;
constexpr std::uint32_t Category = 0x10;
} // namespace LogFields

// Which outputs an entry goes to. UseDefault is a marker: the logger's
// defaultSinks apply.
namespace LogSinks {
constexpr std::uint32_t Console = 0x01;
constexpr std::uint32_t File = 0x02;
constexpr std::uint32_t EventLog = 0x04;
constexpr std::uint32_t UseDefault = 0x80000000u;
} // namespace LogSinks

struct LogEntry {
    std::wstring message;
    std::wstring user;
    std::wstring domain;
    std::wstring category;
    std::uint32_t threadId = 0;
    std::uint64_t time = 0; // FILETIME in UTC, 0 when not captured
    LogLevel level = LogLevel::INFO;
    std::uint32_t sinks = LogSinks::UseDefault;
    bool stop = false; // the writer thread ends when it takes such an entry
};
