#include "measure/run_clients.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "core/test_table.h"
#include "measure/file_io_tests.h"
#include "measure/progress_display.h"
#include "measure/stop_request.h"
#include "measure/stopwatch.h"
#include "measure/uuid_text.h"
#include "errors/error_text.h"
#include "fsutil/delete_file.h"
#include "fsutil/in_use_retry.h"
#include "logging/logger.h"

namespace {

// Each test's method, in kTests order.
constexpr Win32Error (FileIoTests::*kRunTest[kTestCount])() = {
    &FileIoTests::WriteCustomFunction,
    &FileIoTests::ReadPrivateProfileString,
    &FileIoTests::ReadCustomFunction,
    &FileIoTests::CreateDeleteLoop,
};

// Keeps the phase times of a client's completed tests in its record; 0, or 14
// when there is no memory for them.
Win32Error KeepPhaseTimes(const FileIoTests& tests, int completedTests, ClientRecord& client) try {
    for (std::size_t t = 0; t < kTestCount && static_cast<int>(t) < completedTests; ++t) {
        const PhaseTimes& phases = tests.phaseTimes[t];
        if (phases.Passes() == 0)
            continue;
        const std::int64_t* first = phases.Phase(0);
        client.phaseTicks[t].assign(first, first + phases.Phases() * phases.Passes());
    }
    return 0;
} catch (const std::bad_alloc&) {
    return win32::kOutOfMemory;
}

// Removes a client's test file. Another process may hold it open for a moment
// without delete sharing, as virus scanners and indexers do: that is waited
// for, and a file that still cannot go is named in a warning. Other failures
// are logged by DeleteAnyFile. Never changes the run's result.
void RemoveTestFile(const std::wstring& path) {
    const Win32Error code = RetryWhileInUse([&] { return DeleteAnyFile(true, false, false, path); },
                                            [](Win32Error c) { return c == win32::kSharingViolation; });
    if (code == win32::kSharingViolation)
        LogMessage(LogLevel::WARN, L"Result",
                   L"The test file <" + path + L"> is in use by another process and was left behind: " +
                       GetErrorText(code));
    else if (code != 0)
        DeleteAnyFile(true, true, false, path); // once more, with its failure logged
}

// What the clients share: the points where they meet (before each test, at its
// common start, after its end) and the first failure. The run's own thread
// meets them too. A mutex and a condition variable rather than std::barrier:
// libstdc++'s atomic waits, which std::barrier uses, can miss a wake-up where
// the platform has no futex (MinGW), and a run then hangs.
class Meeting {
public:
    explicit Meeting(std::size_t participants) : participants_(participants) {}

    // Waits until every participant has arrived. The last to arrive reads the
    // counter (the common start of a test is this reading) and decides whether
    // the run goes on.
    void Wait() {
        std::unique_lock lock(mutex_);
        const std::uint64_t generation = generation_;
        if (++arrived_ < participants_) {
            arrivedAll_.wait(lock, [&] { return generation_ != generation; });
            return;
        }
        lastMeeting_ = Stopwatch::Now();
        goOn_ = firstFailure_.load() == 0 && !StopRequested();
        arrived_ = 0;
        ++generation_;
        arrivedAll_.notify_all();
    }

    // For a participant that will never arrive (its thread did not start).
    void Leave() {
        std::lock_guard lock(mutex_);
        --participants_;
    }

    // Read after a Wait, by any participant.
    std::int64_t LastMeeting() const { return lastMeeting_; }
    bool GoOn() const { return goOn_; }

    // The first failure wins; it stops the other clients at their next
    // iteration boundary, as a stop request does.
    void Fail(Win32Error code, std::size_t client) {
        Win32Error none = 0;
        if (firstFailure_.compare_exchange_strong(none, code))
            failedClient_ = client;
        RequestStop();
    }
    Win32Error FirstFailure() const { return firstFailure_.load(); }
    std::size_t FailedClient() const { return failedClient_; }

private:
    std::mutex mutex_;
    std::condition_variable arrivedAll_;
    std::size_t participants_;
    std::size_t arrived_ = 0;
    std::uint64_t generation_ = 0;
    std::atomic<Win32Error> firstFailure_{0};
    std::size_t failedClient_ = 0; // written once, by the first failure
    std::int64_t lastMeeting_ = 0;
    bool goOn_ = false;
};

// A client's place at the common start of each test.
class ClientGate final : public StartGate {
public:
    explicit ClientGate(Meeting& meeting) : meeting_(meeting) {}
    void WaitForStart() override {
        waited_ = true;
        meeting_.Wait();
    }
    // Before a test: the client has not yet been at its start.
    void Reset() { waited_ = false; }
    bool Waited() const { return waited_; }

private:
    Meeting& meeting_;
    bool waited_ = false;
};

// One client's thread: the four tests while the run goes on, then its file.
void RunClient(FileIoTests& client, std::size_t index, Meeting& meeting, std::int64_t* ends) {
    ClientGate gate(meeting);
    client.gate = &gate;
    for (std::size_t t = 0; t < kTestCount; ++t) {
        meeting.Wait(); // before the test: decides whether it runs
        if (!meeting.GoOn())
            break;
        gate.Reset();
        const Win32Error code = (client.*kRunTest[t])();
        ends[t] = Stopwatch::Now();
        if (!gate.Waited())
            meeting.Wait(); // failed before its stopwatch: still meets the others at the start
        if (code != 0)
            meeting.Fail(code, index);
        meeting.Wait(); // the end of the test for all
    }
    client.gate = nullptr;
    RemoveTestFile(client.settings.testFilePath);
}

} // namespace

Win32Error RunClients(const RunSettings& settings, RunRecord& record) {
    const std::size_t count = std::max<std::uint32_t>(settings.clients, 1);
    const bool many = count > 1;
    std::vector<std::unique_ptr<FileIoTests>> clients;
    std::vector<std::int64_t> ends(count * kTestCount);
    const std::wstring folder = settings.testFilePath.substr(0, settings.testFilePath.rfind(L'\\') + 1);
    for (std::size_t c = 0; c < count; ++c) {
        clients.push_back(std::make_unique<FileIoTests>());
        FileIoTests& client = *clients.back();
        client.settings = settings;
        if (c > 0)
            client.settings.testFilePath = folder + GetUuidString(CreateUuid());
        client.logProgress = !many;
        record.clients.push_back({client.settings.testFilePath, {}, {}});
    }

    std::vector<const std::atomic<std::uint32_t>*> passesDone;
    for (const auto& client : clients)
        passesDone.push_back(&client->passesDone);
    ProgressDisplay progress(std::move(passesDone), settings.iterations);

    Meeting meeting(count + 1);
    std::vector<std::thread> threads;
    for (std::size_t c = 0; c < count; ++c) {
        try {
            threads.emplace_back(RunClient, std::ref(*clients[c]), c, std::ref(meeting),
                                 &ends[c * kTestCount]);
        } catch (const std::exception&) {
            // No thread for this client (no memory for it): the clients that
            // did start run no test, and still clean up.
            meeting.Fail(win32::kOutOfMemory, c);
            for (std::size_t missing = c; missing < count; ++missing)
                meeting.Leave();
            break;
        }
    }

    for (std::size_t t = 0; t < kTestCount; ++t) {
        meeting.Wait();
        if (!meeting.GoOn())
            break;
        if (many)
            LogMessage(LogLevel::INFO, kTests[t].category,
                       kTests[t].startLine != nullptr
                           ? std::wstring(kTests[t].startLine)
                           : L"Creating " + std::to_wstring(count) + L" test files in <" + folder + L">...");
        meeting.Wait(); // the common start
        const std::int64_t start = meeting.LastMeeting();
        progress.TestStarted(kTests[t].name, start);
        meeting.Wait(); // every client is done
        progress.TestEnded();
        if (meeting.FirstFailure() != 0)
            continue; // the next meeting ends the run for all
        record.completedTests = static_cast<int>(t) + 1;
        if (many) {
            std::int64_t last = start;
            for (std::size_t c = 0; c < count; ++c)
                last = std::max(last, ends[c * kTestCount + t]);
            record.durations.*kTests[t].duration = static_cast<std::uint64_t>(
                Stopwatch::MicrosecondsBetween(start, last, Stopwatch::Frequency()));
            LogMessage(LogLevel::INFO, kTests[t].category, L"...done.");
        } else {
            record.durations.*kTests[t].duration = clients[0]->durations.*kTests[t].duration;
        }
    }
    for (std::thread& thread : threads)
        thread.join();

    for (std::size_t c = 0; c < count; ++c)
        record.clients[c].durations = clients[c]->durations;
    Win32Error result = meeting.FirstFailure();
    if (result != 0 && many && result != win32::kCancelled)
        LogMessage(LogLevel::ERROR, L"Clients",
                   L"Client " + std::to_wstring(meeting.FailedClient() + 1) + L" of " +
                       std::to_wstring(count) + L" failed first, on <" +
                       record.clients[meeting.FailedClient()].testFile + L">: " + GetErrorText(result));
    if (result == 0 && StopRequested())
        result = win32::kCancelled;
    for (std::size_t c = 0; c < count && settings.latency; ++c) {
        const Win32Error kept = KeepPhaseTimes(*clients[c], record.completedTests, record.clients[c]);
        if (result == 0)
            result = kept;
    }
    return result;
}
