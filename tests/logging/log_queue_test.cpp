// The hand-over from LogMessage to the writer: order, blocking Pop, and the
// cost budget that refuses entries instead of letting a backlog grow.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "logging/log_queue.h"

namespace {

LogEntry Entry(const std::wstring& message) {
    LogEntry entry;
    entry.message = message;
    return entry;
}

TEST(EntryCost, IsTheCapacityOfTheFourStringsInCharactersPlus21) {
    LogEntry entry;
    entry.message = L"a message";
    entry.message.reserve(1000); // capacity, not length, is what counts
    entry.user = L"alice";
    entry.domain = L"LAB";
    entry.category.reserve(300);
    ASSERT_GE(entry.message.capacity(), 1000u);
    EXPECT_EQ(EntryCost(entry), entry.message.capacity() + entry.user.capacity() + entry.domain.capacity() +
                                    entry.category.capacity() + 21);
}

TEST(LogQueue, PopsInTheOrderPushed) {
    LogQueue queue;
    for (const wchar_t* message : {L"first", L"second", L"third"})
        ASSERT_EQ(queue.Push(Entry(message)), 0u);
    EXPECT_EQ(queue.Pop().message, L"first");
    EXPECT_EQ(queue.Pop().message, L"second");
    EXPECT_EQ(queue.Pop().message, L"third");
    EXPECT_EQ(queue.QueuedCost(), 0u) << "the cost of popped entries must be given back";
}

TEST(LogQueue, KeepsTheFieldsOfAnEntry) {
    LogQueue queue;
    LogEntry entry{L"message",         L"alice",       L"LAB",         L"Category", 4711,
                   132626934150420000, LogLevel::WARN, LogSinks::File, true};
    ASSERT_EQ(queue.Push(entry), 0u);
    const LogEntry popped = queue.Pop();
    EXPECT_EQ(popped.message, L"message");
    EXPECT_EQ(popped.user, L"alice");
    EXPECT_EQ(popped.domain, L"LAB");
    EXPECT_EQ(popped.category, L"Category");
    EXPECT_EQ(popped.threadId, 4711u);
    EXPECT_EQ(popped.time, 132626934150420000u);
    EXPECT_EQ(popped.level, LogLevel::WARN);
    EXPECT_EQ(popped.sinks, LogSinks::File);
    EXPECT_TRUE(popped.stop);
}

TEST(LogQueue, PopWaitsForAnEntry) {
    LogQueue queue;
    auto popped = std::async(std::launch::async, [&queue] { return queue.Pop().message; });
    EXPECT_EQ(popped.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "Pop returned from an empty queue";
    ASSERT_EQ(queue.Push(Entry(L"late")), 0u);
    ASSERT_EQ(popped.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "Pop missed the push";
    EXPECT_EQ(popped.get(), L"late");
}

TEST(LogQueue, KeepsEachProducersOrderUnderConcurrentPushes) {
    LogQueue queue;
    constexpr int kProducers = 4;
    constexpr int kPerProducer = 2000;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&queue, p] {
            for (int i = 0; i < kPerProducer; ++i) {
                LogEntry entry;
                entry.threadId = static_cast<std::uint32_t>(p);
                entry.time = static_cast<std::uint64_t>(i);
                queue.Push(std::move(entry));
            }
        });
    }
    std::vector<std::uint64_t> next(kProducers, 0);
    for (int n = 0; n < kProducers * kPerProducer; ++n) {
        const LogEntry entry = queue.Pop();
        ASSERT_LT(entry.threadId, static_cast<std::uint32_t>(kProducers));
        ASSERT_EQ(entry.time, next[entry.threadId]) << "producer " << entry.threadId << " out of order";
        ++next[entry.threadId];
    }
    for (std::thread& producer : producers)
        producer.join();
    EXPECT_EQ(queue.QueuedCost(), 0u);
}

// Budget cases in units of one small entry's cost c: pushes are tried until
// one is refused; `accepted` pushes must have gone in.
struct BudgetCase {
    const char* name;
    std::uint64_t limitInEntries; // limit = this * c + extra
    std::uint64_t extra;
    int accepted;
};

void PrintTo(const BudgetCase& c, std::ostream* os) {
    *os << c.name;
}

class LogQueueBudget : public testing::TestWithParam<BudgetCase> {};

TEST_P(LogQueueBudget, RefusesOnceTheQueuedCostHasReachedTheLimit) {
    const BudgetCase& c = GetParam();
    const std::uint64_t cost = EntryCost(Entry(L"x"));
    LogQueue queue;
    queue.SetCostLimit(c.limitInEntries * cost + c.extra);
    int pushed = 0;
    for (; pushed < 100; ++pushed) {
        if (queue.Push(Entry(L"x")) != 0)
            break;
    }
    EXPECT_EQ(pushed, c.accepted);
    EXPECT_EQ(queue.QueuedCost(), c.accepted * cost) << "a refused entry must not be counted";
    EXPECT_EQ(queue.Push(Entry(L"x")), 10055u) << "refusals go on until an entry is popped";
}

INSTANTIATE_TEST_SUITE_P(Cases, LogQueueBudget,
                         testing::Values(
                             // Exactly at the limit after three: the fourth is refused.
                             BudgetCase{"ExactFit", 3, 0, 3},
                             // One unit short of three entries: the third still goes in
                             // (the test comes before the add) and takes the total past.
                             BudgetCase{"LastPassesTheLimit", 2, 1, 3},
                             // The very first push is always accepted.
                             BudgetCase{"TinyLimit", 0, 1, 1}),
                         [](const testing::TestParamInfo<BudgetCase>& info) { return info.param.name; });

TEST(LogQueue, RefusesUntilPopBringsTheCostBelowTheLimit) {
    LogQueue queue;
    const std::uint64_t smallCost = EntryCost(Entry(L"small"));
    queue.SetCostLimit(smallCost + 100);
    ASSERT_EQ(queue.Push(Entry(L"small")), 0u);
    ASSERT_EQ(queue.Push(Entry(std::wstring(1000, L'b'))), 0u) << "below the limit: must be accepted";
    ASSERT_GE(queue.QueuedCost(), smallCost + 1000);

    EXPECT_EQ(queue.Push(Entry(L"refused 1")), 10055u);
    EXPECT_EQ(queue.Push(Entry(L"refused 2")), 10055u);
    EXPECT_EQ(queue.Pop().message, L"small");
    EXPECT_EQ(queue.Push(Entry(L"refused 3")), 10055u) << "the big entry alone is still above the limit";
    EXPECT_EQ(queue.Pop().message.size(), 1000u);
    EXPECT_EQ(queue.Push(Entry(L"accepted")), 0u) << "the queue is empty again";
    EXPECT_EQ(queue.Pop().message, L"accepted") << "a refused entry was stored";
    EXPECT_EQ(queue.QueuedCost(), 0u);
}

TEST(LogQueue, StopRequestIsQueuedBehindAFullBudget) {
    // Refusing it would leave the writer running after the stop, and the stop
    // waiting out its whole time-out.
    LogQueue queue;
    queue.SetCostLimit(1);
    ASSERT_EQ(queue.Push(Entry(L"fills the budget")), 0u);
    ASSERT_EQ(queue.Push(Entry(L"refused")), 10055u);
    LogEntry stop;
    stop.stop = true;
    EXPECT_EQ(queue.Push(stop), 0u) << "the stop request was refused";
    EXPECT_EQ(queue.Pop().message, L"fills the budget");
    EXPECT_TRUE(queue.Pop().stop) << "the stop request must come after every earlier entry";
}

TEST(LogQueue, ZeroLimitMeansUnlimited) {
    LogQueue queue;
    queue.SetCostLimit(0);
    // More than the logger's real budget of 10,485,760.
    const std::wstring big(100000, L'z');
    for (int i = 0; i < 110; ++i)
        ASSERT_EQ(queue.Push(Entry(big)), 0u) << "push " << i << " refused without a limit";
    EXPECT_GT(queue.QueuedCost(), 10485760u);
}

} // namespace
