// Start and stop of the logger: the names derived from the executable, a
// second start, a stop that lets the writer finish, a restart, the queue
// budget that StartLogger sets, and a process that ends while its writer is
// stuck inside a sink.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "logging/log_file.h"
#include "running_logger.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"

namespace {

struct NameCase {
    const wchar_t* modulePath;
    const wchar_t* logFile;
    const wchar_t* eventSource;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << testing::PrintToString(std::wstring(c.modulePath));
}

class LoggerNames : public testing::TestWithParam<NameCase> {};

TEST_P(LoggerNames, FollowTheExecutable) {
    const NameCase& c = GetParam();
    EXPECT_EQ(LogFilePathFor(c.modulePath), c.logFile);
    EXPECT_EQ(EventSourceNameFor(c.modulePath), c.eventSource);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoggerNames,
    testing::Values(NameCase{L"D:\\Bench\\Quillmarsh.exe", L"D:\\Bench\\Quillmarsh.exe.log", L"Quillmarsh"},
                    NameCase{L"C:\\dir\\app.v2.exe", L"C:\\dir\\app.v2.exe.log", L"app.v2"},
                    // The dot belongs to a directory: no extension to remove.
                    NameCase{L"C:\\dir.d\\prog", L"C:\\dir.d\\prog.log", L"prog"},
                    NameCase{L"", L"Emergency.log", L"DefaultEventSource"}));

int ThreadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread)) {
        if (thread.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// The logger as a new process has it; TearDown stops whatever a test started.
class StoppedLogger : public testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        ASSERT_EQ(GetLogger().writerThread, nullptr);
        ASSERT_TRUE(GetLogger().logFilePath.empty());
    }

    void TearDown() override {
        StopLogger();
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().accepting = false;
        GetLogger().logFilePath.clear();
    }

    static std::wstring LogFilePath() {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        return GetLogger().logFilePath;
    }
};

TEST_F(StoppedLogger, NamesTheLogFileAfterTheRunningExecutable) {
    wchar_t self[MAX_PATH];
    const std::wstring exe(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    ASSERT_TRUE(exe.ends_with(L"\\logging_tests.exe")) << testing::PrintToString(exe);
    EXPECT_EQ(GetModulePath(), exe);

    ASSERT_EQ(StartLogger(), 0u);
    EXPECT_EQ(LogFilePath(), exe + L".log");
    std::lock_guard<LoggerLock> guard(GetLogger().lock);
    EXPECT_NE(GetLogger().eventSource, nullptr) << "no event source registered";
    EXPECT_TRUE(GetLogger().accepting);
}

TEST_F(StoppedLogger, KeepsALogFilePathAlreadySet) {
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().logFilePath = L"C:\\elsewhere\\chosen.log";
    }
    ASSERT_EQ(StartLogger(), 0u);
    EXPECT_EQ(LogFilePath(), L"C:\\elsewhere\\chosen.log");
}

TEST_F(StoppedLogger, SecondStartReturnsZeroAndStartsNoSecondThread) {
    const int before = ThreadsOfThisProcess();
    ASSERT_EQ(StartLogger(), 0u);
    void* writer = nullptr;
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        writer = GetLogger().writerThread;
    }
    ASSERT_NE(writer, nullptr);
    const int running = ThreadsOfThisProcess();
    EXPECT_EQ(running, before + 1) << "StartLogger should start exactly one thread";

    EXPECT_EQ(StartLogger(), 0u);
    EXPECT_EQ(ThreadsOfThisProcess(), running) << "a second StartLogger started another thread";
    std::lock_guard<LoggerLock> guard(GetLogger().lock);
    EXPECT_EQ(GetLogger().writerThread, writer);
}

TEST_F(StoppedLogger, StopWithoutAWriterOnlyReleasesTheEventSource) {
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().eventSource = RegisterEventSourceW(nullptr, L"LoggingTests");
        ASSERT_NE(GetLogger().eventSource, nullptr);
    }
    const auto start = std::chrono::steady_clock::now();
    StopLogger();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
        << "StopLogger waited for nothing";
    std::lock_guard<LoggerLock> guard(GetLogger().lock);
    EXPECT_EQ(GetLogger().eventSource, nullptr) << "the event source was not released";
    EXPECT_EQ(GetLogger().writerThread, nullptr);
}

class LoggerStop : public RunningLogger {};

TEST_F(LoggerStop, WritesEveryEntryLoggedBeforeIt) {
    SetFields(LogFields::Category);
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i)
                LogMessage(LogLevel::INFO, L"T" + std::to_wstring(t), std::to_wstring(i));
        });
    }
    for (std::thread& producer : producers)
        producer.join();
    StopLogger();

    const std::string bytes = ReadBytes(LogPath());
    std::vector<int> next(kThreads, 0);
    int lines = 0;
    std::size_t matched = 0;
    const std::regex line(R"(T(\d),(\d+)\r\n)");
    for (auto it = std::sregex_iterator(bytes.begin(), bytes.end(), line); it != std::sregex_iterator();
         ++it) {
        const int thread = std::stoi((*it)[1]);
        ASSERT_LT(thread, kThreads);
        ASSERT_EQ(std::stoi((*it)[2]), next[thread]) << "thread " << thread << " lost or reordered an entry";
        ++next[thread];
        ++lines;
        matched += static_cast<std::size_t>(it->length());
    }
    EXPECT_EQ(lines, kThreads * kPerThread);
    EXPECT_EQ(matched, bytes.size()) << "the log file holds other text";
}

TEST_F(LoggerStop, LeavesTheLoggerAcceptingAndARestartWritesToTheSameFile) {
    SetFields(LogFields::Category);
    LogMessage(LogLevel::INFO, L"Cat", L"before the stop");
    StopLogger();
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        EXPECT_EQ(GetLogger().writerThread, nullptr);
        EXPECT_EQ(GetLogger().eventSource, nullptr) << "the event source was not released";
        EXPECT_TRUE(GetLogger().accepting);
    }
    ASSERT_EQ(StartLogger(), 0u);
    LogMessage(LogLevel::INFO, L"Cat", L"after the restart");
    StopLogger();
    EXPECT_EQ(ReadBytes(LogPath()), "Cat,before the stop\r\nCat,after the restart\r\n");
}

// Two stops at the same moment: only one stop entry may be queued for the
// writer, or the next writer takes the spare one and ends at once, and what is
// logged after the restart is lost.
TEST_F(LoggerStop, TwoStopsAtOnceLeaveNoSpareStopForTheNextWriter) {
    SetFields(LogFields::Category);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::thread> stoppers;
        {
            // Both wait for the lock, then follow each other closely.
            std::lock_guard<LoggerLock> guard(GetLogger().lock);
            for (int i = 0; i < 2; ++i)
                stoppers.emplace_back(&StopLogger);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (std::thread& stopper : stoppers)
            stopper.join();
        EXPECT_EQ(GetLogger().queue.QueuedCost(), 0u) << "a stop entry was left in the queue";
        ASSERT_EQ(StartLogger(), 0u);
        LogMessage(LogLevel::INFO, L"Cat", L"after restart " + std::to_wstring(round));
        StopLogger();
        EXPECT_NE(ReadBytes(LogPath()).find("Cat,after restart " + std::to_string(round) + "\r\n"),
                  std::string::npos)
            << "the line logged after the restart was lost";
        ASSERT_EQ(StartLogger(), 0u);
    }
}

TEST_F(LoggerStop, LaterEntriesQueueUpToTheBudgetOfStartLogger) {
    StopLogger();
    // No writer now: what LogMessage queues stays until the budget refuses it.
    LogQueue& queue = GetLogger().queue;
    const std::wstring big(100000, L'b');
    std::uint64_t largestEntry = 0;
    for (int i = 0; i < 200; ++i) {
        const std::uint64_t before = queue.QueuedCost();
        LogMessage(LogLevel::INFO, L"Cat", big);
        largestEntry = std::max(largestEntry, queue.QueuedCost() - before);
    }
    const std::uint64_t queued = queue.QueuedCost();
    while (queue.QueuedCost() > 0) // leave nothing for a later start to write
        queue.Pop();
    EXPECT_GE(queued, 10485760u) << "refused before the budget of 10,485,760 was reached";
    EXPECT_LT(queued, 10485760u + largestEntry) << "accepted entries after the budget was reached";
}

// A module's path is read whole, also past MAX_PATH, where the system cuts it
// to the buffer. (Wine starts no executable from so deep a folder, so a DLL
// loaded from there stands in for the executable.)
TEST(ModulePath, LongerThanMaxPathIsReadWhole) {
    TempDir dir;
    std::wstring deep = L"\\\\?\\" + dir.Path();
    while (deep.size() < 300) {
        deep += L"\\a-folder-with-a-rather-long-name";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
    }
    const std::wstring dll = deep + L"\\deep.dll";
    ASSERT_TRUE(CopyFileW(SiblingProgram(L"message-modules\\netmsg.dll").c_str(), dll.c_str(), FALSE))
        << GetLastError();
    HMODULE module = LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    const std::wstring path = GetModuleFilePath(module);
    FreeLibrary(module);
    EXPECT_EQ(path, dll.substr(4)) << "the module path was cut or carries a stray null";
    EXPECT_EQ(GetModuleFilePath(nullptr), GetModulePath());
}

TEST(StuckWriter, ProcessEndsWithMainsExitCodeAfterTheStopWait) {
    // logging_probe blocks its writer inside the event-log sink, calls
    // StopLogger, returns 42 from main, and lets the writer go on only during
    // the process teardown, where it pops entries and takes the logger's lock.
    const ProcessResult result = RunProcess(SiblingProgram(L"logging_probe.exe"), {L"stuck-exit"}, 90000);
    ASSERT_FALSE(result.timedOut) << "the process hung at exit";
    EXPECT_EQ(result.exitCode, 42u) << result.out << result.err;
    std::smatch waited;
    ASSERT_TRUE(std::regex_search(result.out, waited, std::regex(R"(StopLogger returned after (\d+) ms)")))
        << result.out;
    const int ms = std::stoi(waited[1]);
    EXPECT_GE(ms, 14900) << "StopLogger gave up before its 15 s wait";
    EXPECT_LE(ms, 25000) << "StopLogger did not give up on the stuck writer";
    EXPECT_TRUE(result.out.find("reported during exit: 50 of 50") != std::string::npos)
        << "the writer did not resume during the teardown:\n"
        << result.out;
}

} // namespace
