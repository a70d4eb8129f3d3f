#pragma once
// The live progress of a long run, for a person watching: while a test runs,
// a status line on standard error redrawn a few times a second (the test,
// passes done of all over all clients, per cent, elapsed and an estimate of
// the time left), erased when the test ends. Only when standard error is an
// interactive console: through a pipe or into a file nothing is shown, so
// scripted output stays as it is.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ProgressDisplay {
public:
    // Shows the progress of tests whose passes the clients publish in
    // `passesDone` (one counter per client), `passesPerClient` each. Draws
    // nothing, and starts no thread, unless standard error is a console.
    ProgressDisplay(std::vector<const std::atomic<std::uint32_t>*> passesDone, std::uint32_t passesPerClient);
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // Test `name` started at counter reading `start`; the line is drawn from
    // now on.
    void TestStarted(const wchar_t* name, std::int64_t start);
    // The test has ended: its line is erased before this returns.
    void TestEnded();

private:
    void Draw();

    std::vector<const std::atomic<std::uint32_t>*> passesDone_;
    std::uint64_t total_;
    std::mutex mutex_;
    std::condition_variable changed_;
    const wchar_t* test_ = nullptr; // the test in progress, or none
    std::int64_t start_ = 0;
    bool stop_ = false;
    std::thread drawer_;
};
