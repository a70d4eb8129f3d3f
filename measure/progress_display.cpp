#include "measure/progress_display.h"

#include <chrono>

#include "measure/stopwatch.h"
#include "logging/status_line.h"

namespace {

constexpr std::chrono::milliseconds kRedraw{250};

// Whole seconds as "m:ss" ("h:mm:ss" from an hour on).
std::wstring Clock(double seconds) {
    const auto whole = static_cast<std::uint64_t>(seconds < 0 ? 0 : seconds);
    const std::uint64_t h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    const auto two = [](std::uint64_t v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
    return h > 0 ? std::to_wstring(h) + L":" + two(m) + L":" + two(s) : std::to_wstring(m) + L":" + two(s);
}

// "<test>: <done> of <total> passes, <per cent>%, <m:ss> elapsed, about <m:ss>
// left" (no estimate before the first pass).
std::wstring ProgressText(const wchar_t* test, std::uint64_t done, std::uint64_t total,
                          double elapsedSeconds) {
    std::wstring text =
        std::wstring(test) + L": " + std::to_wstring(done) + L" of " + std::to_wstring(total) + L" passes, " +
        std::to_wstring(total > 0 ? done * 100 / total : 0) + L"%, " + Clock(elapsedSeconds) + L" elapsed";
    if (done > 0 && done <= total)
        text += L", about " + Clock(elapsedSeconds * static_cast<double>(total - done) / done) + L" left";
    return text;
}

} // namespace

ProgressDisplay::ProgressDisplay(std::vector<const std::atomic<std::uint32_t>*> passesDone,
                                 std::uint32_t passesPerClient)
    : passesDone_(std::move(passesDone)),
      total_(static_cast<std::uint64_t>(passesDone_.size()) * passesPerClient) {
    if (!StandardErrorIsConsole())
        return;
    try {
        drawer_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            while (!stop_) {
                if (test_ != nullptr)
                    Draw();
                changed_.wait_for(lock, kRedraw);
            }
        });
    } catch (const std::exception&) {
        // No thread, no progress: the run itself goes on.
    }
}

ProgressDisplay::~ProgressDisplay() {
    if (!drawer_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    drawer_.join();
    ClearStatusLine();
}

void ProgressDisplay::TestStarted(const wchar_t* name, std::int64_t start) {
    if (!drawer_.joinable())
        return;
    std::lock_guard lock(mutex_);
    test_ = name;
    start_ = start;
}

void ProgressDisplay::TestEnded() {
    if (!drawer_.joinable())
        return;
    std::lock_guard lock(mutex_);
    test_ = nullptr;
    ClearStatusLine();
}

// Under mutex_: the status line of the test in progress.
void ProgressDisplay::Draw() {
    std::uint64_t done = 0;
    for (const std::atomic<std::uint32_t>* passes : passesDone_)
        done += passes->load(std::memory_order_relaxed);
    const double elapsed = static_cast<double>(Stopwatch::Now() - start_) / Stopwatch::Frequency();
    ShowStatusLine(ProgressText(test_, done, total_, elapsed));
}
