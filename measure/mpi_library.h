#pragma once
// Microsoft MPI for -mpi, where the tool runs as one rank of a job started by
// mpiexec. msmpi.dll is loaded at run time and its functions are found by
// name, so the tool builds and runs without -mpi on machines with no MPI.
//
// Threads: MPI is started as MPI_THREAD_FUNNELED. Only the thread that called
// Init (the run's main thread) calls any function of this class after it.
//
// Waits: every operation that needs other ranks is started non-blocking and
// polled with MPI_Test (for 2 ms without sleeping, then with Sleep(1) between
// polls: 1 ms under Wine, up to a timer tick, 15.6 ms by default, on Windows)
// until it completes (0), its time limit runs out (1460, ERROR_TIMEOUT: a
// rank that never arrives, dead or hung) or its poll hook says stop (1223,
// ERROR_CANCELLED). An MPI call that fails gives 1359 (ERROR_INTERNAL_ERROR).
// After any of these the job can no longer agree on anything: every later
// call returns that first code without calling MPI, and the caller ends the
// job with Abort. Nothing throws.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "errors/win32_error.h"

class MpiLibrary {
public:
    // What a wait may take: its limit, and a hook called at every poll while
    // it waits; the hook returning false (a stop request, say) ends the wait
    // with 1223. The hook may call PollStop.
    struct Wait {
        std::chrono::milliseconds limit;
        std::function<bool()> poll;
    };

    // A stop message: the rank that sent it and the code it failed with.
    struct Stop {
        int rank;
        Win32Error code;
    };

    MpiLibrary();
    // Frees msmpi.dll, unless MPI was started and not finalised: then MPI may
    // still use its module and this object's buffers, and both are left to it
    // until the process ends.
    ~MpiLibrary();
    MpiLibrary(const MpiLibrary&) = delete;
    MpiLibrary& operator=(const MpiLibrary&) = delete;

    // Loads msmpi.dll (from the exe's folder or System32, never the current
    // folder) and every function this class uses. Returns 0 or the system's
    // code: 126 when the library cannot be loaded, 127 when a function is
    // missing; LastFailure() says which.
    Win32Error Load();

    // Starts MPI with MPI_THREAD_FUNNELED, has MPI errors returned rather than
    // ending the process, reads the rank, size and processor name, and listens
    // for stop messages. 50 (ERROR_NOT_SUPPORTED), with MPI ended again, when
    // MPI cannot give that thread level.
    Win32Error Init();

    // Stops listening for stop messages and ends MPI. Call it after a Barrier
    // that every rank passed: MPI_Finalize may wait for the others unbounded.
    Win32Error Finalize();

    // Ends every rank of the job, each with `code` as its exit code.
    void Abort(Win32Error code);

    // This rank (0 to Size() - 1), the number of ranks, and the name of the
    // computer this rank runs on; read by Init.
    int Rank() const;
    int Size() const;
    const std::wstring& ProcessorName() const;

    // Returns when every rank has arrived.
    Win32Error Barrier(const Wait& wait);

    // Replaces `value` with the largest `value` of all ranks, on every rank.
    Win32Error AllreduceMax(std::uint64_t& value, const Wait& wait);
    Win32Error AllreduceMax(double& value, const Wait& wait);

    // Sends `block` (any bytes, of any size per rank) to rank 0, where
    // `blocks` receives every rank's block in rank order; elsewhere `blocks`
    // is left as it is. 87 (ERROR_INVALID_PARAMETER), before any MPI call,
    // when `block` is larger than 2^31 - 1 bytes / Size().
    Win32Error GatherToRoot(const std::string& block, std::vector<std::string>& blocks, const Wait& wait);

    // Sends a stop message with `code` to every other rank and waits until
    // it has left.
    Win32Error SendStop(Win32Error code, const Wait& wait);

    // Looks once, without waiting, for a stop message from another rank:
    // `stop` holds the first one not yet seen, or is empty.
    Win32Error PollStop(std::optional<Stop>& stop);

    // What made a call fail, for the log beside the system's text for its
    // code: for 126 exactly "MS-MPI is not installed: msmpi.dll cannot be
    // loaded"; otherwise naming the MS-MPI function. Empty before a failure.
    const std::wstring& LastFailure() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
