// Drives MpiLibrary against a real msmpi.dll (under Wine: the Open MPI bridge
// of tests/mpi/bridge) and checks what a run relies on. Started by
// tests/mpi/mpi_ranks.sh:
//   mpi_probe load CODE [TEXT]  Load alone returns CODE; its LastFailure()
//                               is "MS-MPI is not installed: ..." for 126, else
//                               contains TEXT.
//   mpi_probe ranks DIR         one of 3 ranks: size and ranks, barrier,
//                               allreduce, gather, stop messages, and the
//                               barrier timings (info lines on rank 0).
//   mpi_probe never-arrives DIR one of 3 ranks, rank 1 staying away from a
//                               barrier: rank 0's wait runs out (1460), rank
//                               2's hook gives it up (1223); rank 0 then ends
//                               the job with Abort.
// A rank writes what it checked to DIR\rankN.txt, "ok: ..." or "FAIL: ...",
// then "done"; the exit code is the number of failures.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "measure/mpi_library.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRanks = 3;
const MpiLibrary::Wait kPatient{10s, {}};

std::int64_t Now() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

double Milliseconds(std::int64_t from, std::int64_t to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

// One rank's report: a line per check, and the count of failed ones. Lines
// before Open wait for it (a rank knows its number only after Init); without
// Open they go to standard output.
class Report {
public:
    void Open(const std::string& folder, int rank) {
        file_ = std::fopen((folder + "\\rank" + std::to_string(rank) + ".txt").c_str(), "w");
        for (const std::string& line : early_)
            Line(line);
        early_.clear();
    }
    bool Check(bool passed, const std::string& what, const std::string& detail = {}) {
        Line((passed ? "ok: " : "FAIL: ") + what + (passed || detail.empty() ? "" : ": " + detail));
        failures_ += passed ? 0 : 1;
        return passed;
    }
    // A call expected to return `expected`; on a mismatch the library's
    // description of the failure is shown. `quiet`: a line only on failure.
    bool Code(Win32Error code, Win32Error expected, const std::string& what, const MpiLibrary& mpi,
              bool quiet = false) {
        if (quiet && code == expected)
            return true;
        return Check(code == expected, what,
                     "returned " + std::to_string(code) + ", expected " + std::to_string(expected) + " (" +
                         Narrow(mpi.LastFailure()) + ")");
    }
    void Line(const std::string& line) {
        if (file_ == nullptr) {
            early_.push_back(line);
            return;
        }
        std::fprintf(file_, "%s\n", line.c_str());
        std::fflush(file_);
    }
    // Closes the report; the exit code.
    int Done() {
        Line("done");
        if (file_ != nullptr)
            std::fclose(file_);
        file_ = nullptr;
        for (const std::string& line : early_)
            std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        return failures_;
    }

private:
    std::FILE* file_ = nullptr;
    std::vector<std::string> early_;
    int failures_ = 0;
};

int CheckLoad(Win32Error expected, const std::string& text) {
    Report report;
    MpiLibrary mpi;
    const Win32Error code = mpi.Load();
    report.Code(code, expected, "Load", mpi);
    const std::string failure = Narrow(mpi.LastFailure());
    if (expected == ERROR_MOD_NOT_FOUND)
        report.Check(failure == "MS-MPI is not installed: msmpi.dll cannot be loaded", "the 126 message",
                     "was: " + failure);
    else if (!text.empty())
        report.Check(failure.find(text) != std::string::npos, "the failure names " + text, "was: " + failure);
    return report.Done();
}

// Starts MPI for a rank's checks and opens its report; false (after saying
// why on standard output) when that fails.
bool Start(MpiLibrary& mpi, Report& report, const std::string& folder) {
    if (!report.Code(mpi.Load(), 0, "Load", mpi) || !report.Code(mpi.Init(), 0, "Init", mpi))
        return false;
    report.Open(folder, mpi.Rank());
    report.Line("rank " + std::to_string(mpi.Rank()) + " of " + std::to_string(mpi.Size()) + " on " +
                Narrow(mpi.ProcessorName()));
    return report.Check(mpi.Size() == kRanks, "size", std::to_string(mpi.Size())) &&
           report.Check(mpi.Rank() >= 0 && mpi.Rank() < kRanks, "rank in range", std::to_string(mpi.Rank()));
}

void CheckRanksAndNames(MpiLibrary& mpi, Report& report) {
    const std::string me = std::to_string(mpi.Rank()) + " " + Narrow(mpi.ProcessorName());
    std::vector<std::string> all;
    if (!report.Code(mpi.GatherToRoot(me, all, kPatient), 0, "gather of ranks and names", mpi) ||
        mpi.Rank() != 0)
        return;
    bool distinct = all.size() == kRanks;
    for (std::size_t r = 0; distinct && r < all.size(); ++r)
        distinct = all[r].rfind(std::to_string(r) + " ", 0) == 0;
    report.Check(distinct, "every rank a different one, in rank order", all.empty() ? "none" : all.back());
    const std::string name = me.substr(me.find(' ') + 1);
    report.Check(!name.empty() &&
                     std::all_of(all.begin(), all.end(),
                                 [&](const std::string& b) { return b.substr(b.find(' ') + 1) == name; }),
                 "one processor name on one machine", name);
}

template <typename T> struct ReduceCase {
    const char* what;
    T values[kRanks]; // rank r contributes values[r]
    T largest;
};

void CheckAllreduce(MpiLibrary& mpi, Report& report) {
    const ReduceCase<std::uint64_t> integers[] = {
        // A signed comparison would pick 0x7fff...: the top bit counts.
        {"max of unsigned 64-bit with the top bit set",
         {0x8000000000000001u, 5, 0x7fffffffffffffffu},
         0x8000000000000001u},
        {"max of unsigned 64-bit on the last rank", {1, 2, 3}, 3},
    };
    for (const auto& c : integers) {
        std::uint64_t value = c.values[mpi.Rank()];
        if (report.Code(mpi.AllreduceMax(value, kPatient), 0, c.what, mpi, true))
            report.Check(value == c.largest, c.what, "got " + std::to_string(value));
    }
    const ReduceCase<double> reals[] = {
        {"max of doubles on the middle rank", {-2.5, 1e300, -1e300}, 1e300},
        // Starting from 0 instead of the values would give 0.
        {"max of negative doubles", {-3.0, -2.0, -1.0}, -1.0},
    };
    for (const auto& c : reals) {
        double value = c.values[mpi.Rank()];
        if (report.Code(mpi.AllreduceMax(value, kPatient), 0, c.what, mpi, true))
            report.Check(value == c.largest, c.what, "got " + std::to_string(value));
    }
}

// Rank r's block for the gather: sizes differ (one empty, one larger than
// any eager message), contents differ by rank and position.
std::string Block(int rank) {
    constexpr std::size_t kSizes[kRanks] = {5, 0, 200000};
    std::string block(kSizes[rank], '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((rank * 31 + i * 7) & 0xff);
    return block;
}

void CheckGather(MpiLibrary& mpi, Report& report) {
    std::vector<std::string> blocks{"untouched"};
    if (!report.Code(mpi.GatherToRoot(Block(mpi.Rank()), blocks, kPatient), 0, "gather of byte blocks", mpi))
        return;
    if (mpi.Rank() != 0) {
        report.Check(blocks.size() == 1 && blocks[0] == "untouched", "a gather leaves other ranks' blocks");
        return;
    }
    report.Check(blocks.size() == kRanks, "a block from every rank", std::to_string(blocks.size()));
    for (int r = 0; r < kRanks && r < static_cast<int>(blocks.size()); ++r)
        report.Check(blocks[r] == Block(r), "rank " + std::to_string(r) + "'s block arrives whole",
                     std::to_string(blocks[r].size()) + " bytes, expected " +
                         std::to_string(Block(r).size()));
}

// Rank 1 sends a stop message (code 112) while ranks 0 and 2 wait at a
// barrier, polling for it from the wait's hook; rank 1 arrives later.
void CheckStop(MpiLibrary& mpi, Report& report) {
    std::optional<MpiLibrary::Stop> stop;
    report.Code(mpi.PollStop(stop), 0, "poll before any stop", mpi);
    report.Check(!stop, "no stop message before one is sent");
    if (!report.Code(mpi.Barrier(kPatient), 0, "barrier before the stop", mpi))
        return;
    if (mpi.Rank() == 1) {
        report.Code(mpi.SendStop(112, kPatient), 0, "send stop", mpi);
        Sleep(300);
        report.Code(mpi.Barrier(kPatient), 0, "barrier after sending the stop", mpi);
    } else {
        std::optional<MpiLibrary::Stop> seen;
        int polls = 0;
        const MpiLibrary::Wait listening{10s, [&] {
                                             ++polls;
                                             std::optional<MpiLibrary::Stop> now;
                                             if (mpi.PollStop(now) != 0)
                                                 return false;
                                             if (now)
                                                 seen = now;
                                             return true;
                                         }};
        report.Code(mpi.Barrier(listening), 0, "barrier polling for the stop", mpi);
        report.Check(seen && seen->rank == 1 && seen->code == 112,
                     "the stop from rank 1 arrives while waiting",
                     seen ? "from " + std::to_string(seen->rank) + " with " + std::to_string(seen->code)
                          : "none after " + std::to_string(polls) + " polls");
    }
    report.Code(mpi.Barrier(kPatient), 0, "barrier after the stop", mpi);
    report.Code(mpi.PollStop(stop), 0, "poll after the stop", mpi);
    report.Check(!stop, "one stop message arrives once, and never at its sender",
                 stop ? "from " + std::to_string(stop->rank) : "");
}

// Barrier round trips, and the skew between ranks leaving the same barrier
// (the performance counter is machine-wide here, so rank-to-rank differences
// of the stamps are the skew). Rank r arrives r * `apart` after rank 0: with
// 0 the barriers follow each other at once, with more the first ranks to
// arrive wait longer than a wait's first polls without sleeping.
void MeasureBarriers(MpiLibrary& mpi, Report& report, std::chrono::milliseconds apart) {
    constexpr int kBarriers = 100;
    std::vector<std::int64_t> stamps(kBarriers + 1);
    stamps[0] = Now();
    for (int i = 1; i <= kBarriers; ++i) {
        if (apart.count() > 0)
            Sleep(static_cast<DWORD>(apart.count() * mpi.Rank()));
        if (!report.Code(mpi.Barrier(kPatient), 0, "timed barrier", mpi, true))
            return;
        stamps[i] = Now();
    }
    std::string bytes(reinterpret_cast<const char*>(stamps.data()), stamps.size() * sizeof stamps[0]);
    std::vector<std::string> all;
    if (!report.Code(mpi.GatherToRoot(bytes, all, kPatient), 0, "gather of barrier stamps", mpi, true) ||
        mpi.Rank() != 0)
        return;
    std::vector<std::vector<std::int64_t>> ranks;
    for (const std::string& b : all) {
        ranks.emplace_back(b.size() / sizeof(std::int64_t));
        std::memcpy(ranks.back().data(), b.data(), ranks.back().size() * sizeof(std::int64_t));
    }
    if (!report.Check(ranks.size() == kRanks && ranks[kRanks - 1].size() == stamps.size(), "barrier stamps"))
        return;
    std::vector<double> skews, rounds;
    for (int i = 1; i <= kBarriers; ++i) {
        std::int64_t first = ranks[0][i], last = ranks[0][i];
        for (const auto& r : ranks) {
            first = std::min(first, r[i]);
            last = std::max(last, r[i]);
        }
        skews.push_back(Milliseconds(first, last));
        rounds.push_back(Milliseconds(ranks[0][i - 1], ranks[0][i]));
    }
    auto line = [&](const std::string& what, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        char text[200];
        std::snprintf(text, sizeof text, "info: %s, %d barriers of %d ranks: median %.3f ms, max %.3f ms",
                      what.c_str(), kBarriers, kRanks, v[v.size() / 2], v.back());
        report.Line(text);
    };
    if (apart.count() == 0) {
        line("barrier round trip on rank 0, back to back", rounds);
        line("skew leaving a barrier, back to back", skews);
    } else {
        line("skew leaving a barrier, ranks arriving " + std::to_string(apart.count()) + " ms apart", skews);
    }
}

int RunRanks(const std::string& folder) {
    MpiLibrary mpi;
    Report report;
    if (!Start(mpi, report, folder))
        return report.Done();
    report.Code(mpi.Barrier(kPatient), 0, "barrier", mpi);
    CheckRanksAndNames(mpi, report);
    CheckAllreduce(mpi, report);
    CheckGather(mpi, report);
    CheckStop(mpi, report);
    MeasureBarriers(mpi, report, 0ms);
    MeasureBarriers(mpi, report, 5ms);
    report.Code(mpi.Barrier(kPatient), 0, "barrier before Finalize", mpi);
    report.Code(mpi.Finalize(), 0, "Finalize", mpi);
    return report.Done();
}

int RunNeverArrives(const std::string& folder) {
    MpiLibrary mpi;
    Report report;
    if (!Start(mpi, report, folder) || !report.Code(mpi.Barrier(kPatient), 0, "barrier with every rank", mpi))
        return report.Done();
    if (mpi.Rank() == 1) {
        report.Line("staying away from the next barrier");
        report.Done();
        Sleep(60000); // rank 0's Abort ends this rank long before
        return 1;
    }
    const bool timesOut = mpi.Rank() == 0;
    const std::int64_t start = Now();
    int polls = 0;
    const MpiLibrary::Wait wait{timesOut ? 1000ms : 10000ms, [&] {
                                    ++polls;
                                    return timesOut || Milliseconds(start, Now()) < 300;
                                }};
    const Win32Error code = mpi.Barrier(wait);
    const double took = Milliseconds(start, Now());
    const std::string after = " after " + std::to_string(took) + " ms";
    if (timesOut) {
        report.Code(code, ERROR_TIMEOUT, "a barrier a rank never reaches times out", mpi);
        report.Check(took >= 1000 && took < 2500, "within its limit of 1000 ms", after);
        report.Check(mpi.LastFailure().find(L"MPI_Ibarrier") != std::wstring::npos,
                     "the failure names MPI_Ibarrier", Narrow(mpi.LastFailure()));
    } else {
        report.Code(code, ERROR_CANCELLED, "a poll hook saying stop gives the wait up", mpi);
        report.Check(took >= 300 && took < 2500, "as soon as the hook says so, long before the limit", after);
    }
    report.Check(polls >= 50, "the hook is called while waiting", std::to_string(polls) + " calls" + after);
    // MPI is of no more use: later calls fail at once with the first code.
    const std::int64_t again = Now();
    report.Code(mpi.Barrier(kPatient), code, "a later barrier returns the first failure", mpi);
    report.Check(Milliseconds(again, Now()) < 100, "at once");
    if (!timesOut) {
        report.Done();
        Sleep(60000); // as rank 1
        return 1;
    }
    Sleep(500); // rank 2, done at 300 ms, has written its report
    const int failures = report.Done();
    mpi.Abort(3);
    return failures; // Abort did not end the job
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "load" && argc >= 3)
        return CheckLoad(static_cast<Win32Error>(std::stoul(argv[2])), argc > 3 ? argv[3] : "");
    if (mode == "ranks" && argc == 3)
        return RunRanks(argv[2]);
    if (mode == "never-arrives" && argc == 3)
        return RunNeverArrives(argv[2]);
    std::fprintf(stderr, "usage: mpi_probe load CODE [TEXT] | ranks DIR | never-arrives DIR\n");
    return 2;
}
