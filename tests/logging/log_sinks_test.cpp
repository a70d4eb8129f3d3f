// The event-log sink, seen through the replaceable event reporter (Wine's event
// log drops everything), and the console sink, seen from outside through the
// output streams of a child process.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "running_logger.h"
#include "support/process_runner.h"

namespace {

struct ReportedEvent {
    std::uint16_t type;
    std::uint32_t id;
    std::wstring text;
    bool operator==(const ReportedEvent&) const = default;
};

void PrintTo(const ReportedEvent& event, std::ostream* os) {
    *os << "{type " << event.type << ", id " << event.id << ", " << testing::PrintToString(event.text) << "}";
}

std::mutex g_eventsMutex;
std::vector<ReportedEvent> g_events;

void RecordEvent(void* eventSource, std::uint16_t type, std::uint32_t eventId, const std::wstring& text) {
    EXPECT_NE(eventSource, nullptr) << "an event reported without an event source";
    std::lock_guard<std::mutex> guard(g_eventsMutex);
    g_events.push_back({type, eventId, text});
}

// Like RecordEvent, and logs one entry of its own from inside the sink, on the
// writer thread that holds the logger's lock.
void RecordEventAndLog(void* eventSource, std::uint16_t type, std::uint32_t eventId,
                       const std::wstring& text) {
    RecordEvent(eventSource, type, eventId, text);
    if (text == L"outer")
        LogMessage(LogLevel::INFO, L"Inner", L"logged from inside the sink");
}

class EventLogSink : public RunningLogger {
protected:
    void SetUp() override {
        RunningLogger::SetUp();
        {
            std::lock_guard<LoggerLock> guard(GetLogger().lock);
            ASSERT_NE(GetLogger().eventSource, nullptr) << "StartLogger registered no event source";
        }
        SetEventReporter(&RecordEvent);
        SetSinks(LogSinks::EventLog);
        std::lock_guard<std::mutex> guard(g_eventsMutex);
        g_events.clear();
    }

    static std::vector<ReportedEvent> Events() {
        std::lock_guard<std::mutex> guard(g_eventsMutex);
        return g_events;
    }
};

TEST_F(EventLogSink, ReportsTypeAndIdPerLevelAndNeverDebug) {
    for (int level = -1; level <= 6; ++level)
        LogMessage(static_cast<LogLevel>(level), L"Cat", L"level " + std::to_wstring(level));
    Flush();
    EXPECT_EQ(Events(), (std::vector<ReportedEvent>{{4, 103, L"level 1"},
                                                    {2, 102, L"level 2"},
                                                    {1, 101, L"level 3"},
                                                    {1, 101, L"level 4"},
                                                    {1, 101, L"level 5"},
                                                    {1, 101, L"level 6"}}));
}

TEST_F(EventLogSink, EscapesEveryInsertionMarkerOne) {
    LogMessage(LogLevel::ERROR, L"Cat", L"100%1 done %1%1, %%1 and %2");
    Flush();
    EXPECT_EQ(Events(), (std::vector<ReportedEvent>{{1, 101, L"100%_1 done %_1%_1, %%_1 and %2"}}));
}

TEST_F(EventLogSink, SendsTheTrimmedTextOnlyWhenTheFileSinkRan) {
    LogMessage(LogLevel::INFO, L"Cat", L" as given\r\n");
    Flush();
    SetSinks(LogSinks::EventLog | LogSinks::File);
    LogMessage(LogLevel::INFO, L"Cat", L" trimmed\r\n");
    Flush();
    EXPECT_EQ(Events(), (std::vector<ReportedEvent>{{4, 103, L" as given\r\n"}, {4, 103, L"trimmed"}}));
}

TEST_F(EventLogSink, FollowsTheSinksOfTheEntry) {
    SetSinks(LogSinks::File);
    LogMessage(LogLevel::ERROR, L"Cat", L"default sinks without the event log");
    LogEntry own;
    own.level = LogLevel::WARN;
    own.message = L"own sinks with the event log";
    own.sinks = LogSinks::EventLog;
    ASSERT_EQ(GetLogger().queue.Push(own), 0u);
    Flush(); // the defaults are read when an entry is written
    SetSinks(LogSinks::EventLog);
    own.message = L"own sinks without the event log";
    own.sinks = LogSinks::File;
    ASSERT_EQ(GetLogger().queue.Push(own), 0u);
    Flush();
    EXPECT_EQ(Events(), (std::vector<ReportedEvent>{{2, 102, L"own sinks with the event log"}}));
}

TEST_F(EventLogSink, IsInactiveWithoutAnEventSource) {
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        DeregisterEventSource(GetLogger().eventSource);
        GetLogger().eventSource = nullptr;
    }
    LogMessage(LogLevel::ERROR, L"Cat", L"no event source");
    StopLogger();
    EXPECT_EQ(Events(), std::vector<ReportedEvent>{});
}

TEST_F(EventLogSink, StillReportsWhenTheLogFileCannotBeWritten) {
    SetLogFilePath(dir_.Path()); // a directory: the file sink loses its lines
    SetSinks(LogSinks::File | LogSinks::EventLog);
    LogMessage(LogLevel::ERROR, L"Cat", L"first");
    LogMessage(LogLevel::WARN, L"Cat", L"second");
    Flush();
    EXPECT_EQ(Events(), (std::vector<ReportedEvent>{{1, 101, L"first"}, {2, 102, L"second"}}));
}

TEST_F(EventLogSink, MayLogFromInsideTheWriter) {
    // The writer holds the logger's lock while it calls the sink; an entry
    // logged there must queue behind and be written, not deadlock.
    SetEventReporter(&RecordEventAndLog);
    SetSinks(LogSinks::File | LogSinks::EventLog);
    SetFields(LogFields::Category);
    LogMessage(LogLevel::INFO, L"Outer", L"outer");
    // A stop queued now could overtake the inner entry, so wait for the writer.
    for (int i = 0; i < 1000 && Events().size() < 2; ++i)
        Sleep(10);
    Flush();
    EXPECT_EQ(ReadBytes(LogPath()), "Outer,outer\r\nInner,logged from inside the sink\r\n");
    EXPECT_EQ(Events(),
              (std::vector<ReportedEvent>{{4, 103, L"outer"}, {4, 103, L"logged from inside the sink"}}));
}

// Console sink: logging_probe logs with the console as its only sink, after
// setlocale(LC_ALL, "") as the tool does, and stops the logger before it ends.
ProcessResult RunProbe(const std::vector<std::wstring>& arguments) {
    return RunProcess(SiblingProgram(L"logging_probe.exe"), arguments);
}

TEST(ConsoleSink, SendsWarningsAndErrorsToStandardError) {
    const std::wstring probeLog = SiblingProgram(L"logging_probe.exe.log");
    DeleteFileW(probeLog.c_str());
    const ProcessResult result = RunProbe({L"console"});
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(GetFileAttributesW(probeLog.c_str()), INVALID_FILE_ATTRIBUTES)
        << "with the console as the only sink no log file may be created";
    EXPECT_EQ(result.out, "level -1\nlevel 0\nlevel 1\nlevel 5\nlevel 6\n\nbanner\n\n")
        << "other levels go to standard output; the message is written as given, untrimmed";
    EXPECT_EQ(result.err, "level 2\nlevel 3\nlevel 4\n");
}

TEST(ConsoleSink, SendsEverythingToStandardOutputWithoutTheLevelField) {
    const ProcessResult result = RunProbe({L"console", L"no-level"});
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out,
              "level -1\nlevel 0\nlevel 1\nlevel 2\nlevel 3\nlevel 4\nlevel 5\nlevel 6\n\nbanner\n\n");
    EXPECT_EQ(result.err, "");
}

TEST(ConsoleSink, WritesEveryEntryLoggedBeforeStopLogger) {
    constexpr int kEntries = 3000;
    const ProcessResult result = RunProbe({L"console-many", std::to_wstring(kEntries)});
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    std::ostringstream out, err;
    for (int i = 0; i < kEntries; ++i)
        (i % 2 ? err : out) << "entry " << i << "\n";
    EXPECT_EQ(result.out, out.str()) << "INFO entries lost or out of order";
    EXPECT_EQ(result.err, err.str()) << "ERROR entries lost or out of order";
}

TEST(ConsoleSink, WritesAQuestionMarkForACharacterTheCodePageLacks) {
    const ProcessResult result = RunProbe({L"unconvertible"});
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    // Code page 1252: U+00E9 is the byte E9; the two CJK characters have no byte.
    EXPECT_EQ(result.out, "caf\xE9 ?? end\nnext line\n") << "the rest of the line must survive";
    EXPECT_EQ(result.err, "");
}

} // namespace
