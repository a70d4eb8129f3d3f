// The log call: level filter, the context it captures, and the account split.
// Most cases run with the logger accepting entries but no writer thread, so
// the test itself takes the entries off the queue and sees them as captured.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "logging/log_time.h"
#include "logging/logger.h"
#include "support/log_capture.h"

namespace {

class DetachedLogger : public testing::Test {
protected:
    void SetUp() override {
        Logger& logger = GetLogger();
        std::lock_guard<LoggerLock> guard(logger.lock);
        ASSERT_EQ(logger.writerThread, nullptr) << "a writer thread would take the entries away";
        logger.accepting = true;
        logger.fieldMask = 0xFFFFFFFFu;
        logger.minLevel = LogLevel::DEBUG;
    }

    void TearDown() override {
        Logger& logger = GetLogger();
        {
            std::lock_guard<LoggerLock> guard(logger.lock);
            logger.accepting = false;
            logger.fieldMask = 0xFFFFFFFFu;
            logger.minLevel = LogLevel::INFO;
        }
        while (TakeEntry())
            ;
    }

    // The next queued entry, or nothing when the queue is empty.
    static std::optional<LogEntry> TakeEntry() {
        LogQueue& queue = GetLogger().queue;
        if (queue.QueuedCost() == 0) // every entry costs at least 21
            return std::nullopt;
        return queue.Pop();
    }
};

struct LevelCase {
    int minLevel;
    int level;
    bool queued;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
    *os << "minimum " << c.minLevel << ", level " << c.level;
}

class LogMessageLevelFilter : public DetachedLogger, public testing::WithParamInterface<LevelCase> {};

TEST_P(LogMessageLevelFilter, QueuesOnlyLevelsAtOrAboveTheMinimum) {
    const LevelCase& c = GetParam();
    SetMinLogLevel(static_cast<LogLevel>(c.minLevel));
    LogMessage(static_cast<LogLevel>(c.level), L"Filter", L"text");
    const std::optional<LogEntry> entry = TakeEntry();
    EXPECT_EQ(entry.has_value(), c.queued) << "level " << c.level << " with minimum " << c.minLevel;
    if (entry) {
        EXPECT_EQ(static_cast<int>(entry->level), c.level);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LogMessageLevelFilter,
                         testing::Values(LevelCase{1, 0, false},  // DEBUG below the driver's INFO
                                         LevelCase{1, 1, true},   // INFO
                                         LevelCase{1, 3, true},   // ERROR
                                         LevelCase{1, 6, true},   // beyond NONE: queued like any other
                                         LevelCase{1, -1, false}, // the comparison is signed
                                         LevelCase{5, 4, false},  // NONE suppresses CRTCL
                                         LevelCase{5, 5, true},   // but not NONE itself
                                         LevelCase{5, 6, true}, LevelCase{-1, -1, true}));

TEST_F(DetachedLogger, CapturesTimeThreadAndAccountOfTheCaller) {
    std::wstring account;
    ASSERT_EQ(GetCurrentUserName(account), 0u);
    std::wstring domain, user;
    SplitAccountName(account, domain, user);

    const std::uint64_t before = CurrentFileTime();
    DWORD callerThread = 0;
    // From a thread of its own: the id must be the caller's, not the main thread's.
    std::thread caller([&callerThread] {
        callerThread = GetCurrentThreadId();
        LogMessage(LogLevel::WARN, L"Capture", L" the message \n");
    });
    caller.join();
    const std::uint64_t after = CurrentFileTime();

    const std::optional<LogEntry> entry = TakeEntry();
    ASSERT_TRUE(entry.has_value()) << "nothing queued";
    EXPECT_EQ(entry->threadId, callerThread);
    EXPECT_NE(entry->threadId, GetCurrentThreadId());
    EXPECT_GE(entry->time, before);
    EXPECT_LE(entry->time, after);
    EXPECT_EQ(entry->domain, domain);
    EXPECT_EQ(entry->user, user);
    EXPECT_EQ(entry->message, L" the message \n") << "the message is stored as given";
    EXPECT_EQ(entry->category, L"Capture");
    EXPECT_EQ(entry->level, LogLevel::WARN);
    EXPECT_EQ(entry->sinks, LogSinks::UseDefault);
    EXPECT_FALSE(entry->stop);
    EXPECT_FALSE(TakeEntry().has_value()) << "one call queued more than one entry";
}

TEST_F(DetachedLogger, CapturesOnlyTheFieldsTheMaskSelects) {
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        GetLogger().fieldMask = LogFields::Level | LogFields::Category;
    }
    LogMessage(LogLevel::ERROR, L"Masked", L"text");
    const std::optional<LogEntry> entry = TakeEntry();
    ASSERT_TRUE(entry.has_value()) << "nothing queued";
    EXPECT_EQ(entry->time, 0u);
    EXPECT_EQ(entry->threadId, 0u);
    EXPECT_EQ(entry->domain, L"");
    EXPECT_EQ(entry->user, L"");
    EXPECT_EQ(entry->category, L"Masked") << "the category is stored whatever the mask";
    EXPECT_EQ(entry->message, L"text");
}

TEST(GetCurrentUserName, GivesADomainAndUserPair) {
    std::wstring account = L"stale";
    ASSERT_EQ(GetCurrentUserName(account), 0u);
    const std::size_t slash = account.find(L'\\');
    ASSERT_NE(slash, std::wstring::npos) << testing::PrintToString(account);
    EXPECT_GT(slash, 0u);
    EXPECT_LT(slash + 1, account.size());
    EXPECT_EQ(account.find(L'\0'), std::wstring::npos) << "the terminating null became part of the name";
}

struct SplitCase {
    const wchar_t* account;
    const wchar_t* domain;
    const wchar_t* user;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << testing::PrintToString(std::wstring(c.account));
}

class SplitAccountNameCases : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitAccountNameCases, SplitsAtTheOnlyBackslash) {
    const SplitCase& c = GetParam();
    std::wstring domain = L"old domain", user = L"old user"; // must be replaced in every case
    SplitAccountName(c.account, domain, user);
    EXPECT_EQ(domain, c.domain) << testing::PrintToString(std::wstring(c.account));
    EXPECT_EQ(user, c.user) << testing::PrintToString(std::wstring(c.account));
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitAccountNameCases,
                         testing::Values(SplitCase{L"LAB\\alice", L"LAB", L"alice"},
                                         SplitCase{L"alice", L"", L""},           // one part
                                         SplitCase{L"LAB\\sub\\alice", L"", L""}, // three parts
                                         SplitCase{L"LAB\\\\alice", L"", L""},    // adjacent: an empty part
                                         SplitCase{L"LAB\\", L"LAB", L""},
                                         SplitCase{L"\\alice", L"", L"alice"}, SplitCase{L"", L"", L""}));

TEST(LogMessage, DropsEntriesBeforeStartForGood) {
    {
        std::lock_guard<LoggerLock> guard(GetLogger().lock);
        ASSERT_FALSE(GetLogger().accepting) << "the logger was started before this test";
    }
    LogMessage(LogLevel::CRTCL, L"Early", L"logged before the start");
    EXPECT_EQ(GetLogger().queue.QueuedCost(), 0u) << "an entry was queued before the start";

    LogCapture capture; // starts the real writer
    LogMessage(LogLevel::INFO, L"Late", L"logged after the start");
    EXPECT_EQ(capture.Lines(), std::vector<std::wstring>{L"INFO ,Late,logged after the start"});
}

} // namespace
