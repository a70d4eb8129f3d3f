#include "measure/mpi_library.h"

#include <windows.h>

#include <climits>
#include <cstring>
#include <type_traits>

namespace {

// MS-MPI's ABI, as its SDK header (mpi.h) declares it: every handle is an int,
// and every function uses the MPIAPI calling convention.
#define MPIAPI __stdcall
using Comm = int;
using Datatype = int;
using Op = int;
using Request = int;
using Errhandler = int;

constexpr int kMpiSuccess = 0;
constexpr Comm kCommWorld = 0x44000000;
constexpr Datatype kByte = 0x4c00010d;
constexpr Datatype kInt = 0x4c000405;
constexpr Datatype kUnsigned = 0x4c000406;
constexpr Datatype kUnsignedLongLong = 0x4c000819;
constexpr Datatype kDouble = 0x4c00080b;
constexpr Op kMax = 0x58000001;
constexpr Request kRequestNull = 0x2c000000;
constexpr Errhandler kErrorsReturn = 0x54000001;
constexpr int kAnySource = -2;
constexpr int kThreadFunneled = 1;
constexpr int kMaxProcessorName = 128;

struct Status {
    int internal[2];
    int source;
    int tag;
    int error;
};
Status* const kStatusIgnore = reinterpret_cast<Status*>(1);

struct Functions {
    int(MPIAPI* initThread)(int* argc, char*** argv, int required, int* provided);
    int(MPIAPI* finalize)();
    int(MPIAPI* abort)(Comm comm, int code);
    int(MPIAPI* commRank)(Comm comm, int* rank);
    int(MPIAPI* commSize)(Comm comm, int* size);
    int(MPIAPI* getProcessorName)(char* name, int* length);
    int(MPIAPI* commSetErrhandler)(Comm comm, Errhandler handler);
    int(MPIAPI* ibarrier)(Comm comm, Request* request);
    int(MPIAPI* iallreduce)(const void* in, void* out, int count, Datatype type, Op op, Comm comm,
                            Request* request);
    int(MPIAPI* igather)(const void* in, int inCount, Datatype inType, void* out, int outCount,
                         Datatype outType, int root, Comm comm, Request* request);
    int(MPIAPI* igatherv)(const void* in, int inCount, Datatype inType, void* out, const int* outCounts,
                          const int* offsets, Datatype outType, int root, Comm comm, Request* request);
    int(MPIAPI* isend)(const void* data, int count, Datatype type, int to, int tag, Comm comm,
                       Request* request);
    int(MPIAPI* irecv)(void* data, int count, Datatype type, int from, int tag, Comm comm, Request* request);
    int(MPIAPI* test)(Request* request, int* done, Status* status);
    int(MPIAPI* cancel)(Request* request);
};

// The only point-to-point messages of a run are stop messages.
constexpr int kStopTag = 1;
// Cancelling this rank's own receive needs no other rank.
constexpr std::chrono::milliseconds kCancelLimit{5000};
// A wait first polls giving up only its time slice, then sleeping 1 ms
// between polls. Ranks that arrive close together so leave together: three
// ranks under Wine, 100 barriers back to back, took 0.03-0.1 ms a barrier and
// left it 0.02-0.03 ms apart (medians), against 1.2-2.2 ms and 1 ms when
// sleeping from the start. Ranks that arrive 5 ms apart still leave about
// 1.2 ms apart: the first ones are asleep by then.
constexpr std::chrono::milliseconds kSpin{2};

struct FreeModule {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeModule>;

using Clock = std::chrono::steady_clock;

std::wstring Widen(const char* ascii) {
    return std::wstring(ascii, ascii + std::strlen(ascii));
}

} // namespace

struct MpiLibrary::State {
    Module module;
    Functions mpi{};
    bool started = false;
    bool finalized = false;
    // The first failure of a wait or an MPI call: from then on every call
    // returns it.
    Win32Error broken = 0;
    std::wstring failure;
    int rank = 0;
    int size = 0;
    std::wstring processorName;

    // What MPI reads or writes while an operation is pending. Kept here rather
    // than on a caller's stack: an operation that a wait gave up on still has
    // them.
    unsigned char reduceIn[8] = {};
    unsigned char reduceOut[8] = {};
    int blockSize = 0;
    std::string sendBlock;
    std::vector<int> sizes;
    std::vector<int> offsets;
    std::string gathered;
    Win32Error stopOut = 0;
    Win32Error stopIn = 0;
    Request listen = kRequestNull;
    Status listenStatus{};

    Win32Error Fail(Win32Error code, std::wstring text) {
        broken = code;
        failure = std::move(text);
        return code;
    }

    Win32Error MpiFailed(const char* function, int mpiCode) {
        return Fail(ERROR_INTERNAL_ERROR,
                    Widen(function) + L" failed with MPI error " + std::to_wstring(mpiCode));
    }

    // 0 while MPI may be called; else the code of the first failure, or 1
    // (ERROR_INVALID_FUNCTION) outside Init ... Finalize.
    Win32Error Usable() {
        if (broken != 0)
            return broken;
        if (!started || finalized) {
            failure = L"MPI is not running";
            return ERROR_INVALID_FUNCTION;
        }
        return 0;
    }

    // Polls `request`, started by `function`, until it completes, `deadline`
    // passes or the hook of `wait` says stop.
    Win32Error Complete(Request& request, const char* function, Clock::time_point deadline, const Wait& wait,
                        Status* status = kStatusIgnore) {
        const Clock::time_point spinEnd = Clock::now() + kSpin;
        for (;;) {
            int done = 0;
            if (const int code = mpi.test(&request, &done, status); code != kMpiSuccess)
                return MpiFailed("MPI_Test", code);
            if (done != 0)
                return 0;
            if (wait.poll && !wait.poll())
                return Fail(ERROR_CANCELLED, Widen(function) + L": the wait was given up");
            if (broken != 0)
                return broken; // the hook's own MPI call failed
            if (Clock::now() >= deadline)
                return Fail(ERROR_TIMEOUT, Widen(function) + L" did not complete within " +
                                               std::to_wstring(wait.limit.count()) +
                                               L" ms: not every rank took part in time");
            if (Clock::now() < spinEnd)
                SwitchToThread();
            else
                Sleep(1);
        }
    }

    Win32Error Listen() {
        if (const int code = mpi.irecv(&stopIn, 1, kUnsigned, kAnySource, kStopTag, kCommWorld, &listen);
            code != kMpiSuccess)
            return MpiFailed("MPI_Irecv", code);
        return 0;
    }

    Win32Error ReduceMax(void* value, Datatype type, const Wait& wait) {
        if (const Win32Error code = Usable(); code != 0)
            return code;
        const Clock::time_point deadline = Clock::now() + wait.limit;
        std::memcpy(reduceIn, value, sizeof reduceIn);
        Request request = kRequestNull;
        if (const int code = mpi.iallreduce(reduceIn, reduceOut, 1, type, kMax, kCommWorld, &request);
            code != kMpiSuccess)
            return MpiFailed("MPI_Iallreduce", code);
        if (const Win32Error code = Complete(request, "MPI_Iallreduce", deadline, wait); code != 0)
            return code;
        std::memcpy(value, reduceOut, sizeof reduceOut);
        return 0;
    }
};

MpiLibrary::MpiLibrary() : state_(std::make_unique<State>()) {}

MpiLibrary::~MpiLibrary() {
    if (state_->started && !state_->finalized)
        (void)state_.release();
}

Win32Error MpiLibrary::Load() {
    State& s = *state_;
    // The exe's folder and System32 (where MS-MPI installs it) only: a
    // msmpi.dll in the current folder, which may be anyone's share, is never
    // loaded.
    s.module.reset(LoadLibraryExW(L"msmpi.dll", nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    if (!s.module) {
        s.failure = L"MS-MPI is not installed: msmpi.dll cannot be loaded";
        return GetLastError();
    }
    const char* missing = nullptr;
    auto find = [&](const char* name, auto& function) {
        const FARPROC address = GetProcAddress(s.module.get(), name);
        // Through void (*)(), the type that stands for any function.
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            reinterpret_cast<void (*)()>(address));
        if (address == nullptr && missing == nullptr)
            missing = name;
    };
    Functions& f = s.mpi;
    find("MPI_Init_thread", f.initThread);
    find("MPI_Finalize", f.finalize);
    find("MPI_Abort", f.abort);
    find("MPI_Comm_rank", f.commRank);
    find("MPI_Comm_size", f.commSize);
    find("MPI_Get_processor_name", f.getProcessorName);
    find("MPI_Comm_set_errhandler", f.commSetErrhandler);
    find("MPI_Ibarrier", f.ibarrier);
    find("MPI_Iallreduce", f.iallreduce);
    find("MPI_Igather", f.igather);
    find("MPI_Igatherv", f.igatherv);
    find("MPI_Isend", f.isend);
    find("MPI_Irecv", f.irecv);
    find("MPI_Test", f.test);
    find("MPI_Cancel", f.cancel);
    if (missing != nullptr) {
        s.mpi = {};
        s.module.reset();
        s.failure = L"msmpi.dll has no function " + Widen(missing);
        return ERROR_PROC_NOT_FOUND;
    }
    return 0;
}

Win32Error MpiLibrary::Init() {
    State& s = *state_;
    if (s.mpi.initThread == nullptr) {
        s.failure = L"msmpi.dll is not loaded";
        return ERROR_INVALID_FUNCTION;
    }
    int provided = 0;
    if (const int code = s.mpi.initThread(nullptr, nullptr, kThreadFunneled, &provided); code != kMpiSuccess)
        return s.MpiFailed("MPI_Init_thread", code);
    s.started = true;
    if (provided < kThreadFunneled) {
        s.mpi.finalize();
        s.finalized = true;
        return s.Fail(ERROR_NOT_SUPPORTED, L"MPI_Init_thread gives thread level " +
                                               std::to_wstring(provided) + L", not MPI_THREAD_FUNNELED");
    }
    if (const int code = s.mpi.commSetErrhandler(kCommWorld, kErrorsReturn); code != kMpiSuccess)
        return s.MpiFailed("MPI_Comm_set_errhandler", code);
    if (const int code = s.mpi.commRank(kCommWorld, &s.rank); code != kMpiSuccess)
        return s.MpiFailed("MPI_Comm_rank", code);
    if (const int code = s.mpi.commSize(kCommWorld, &s.size); code != kMpiSuccess)
        return s.MpiFailed("MPI_Comm_size", code);
    char name[kMaxProcessorName] = {};
    int length = 0;
    if (const int code = s.mpi.getProcessorName(name, &length); code != kMpiSuccess)
        return s.MpiFailed("MPI_Get_processor_name", code);
    length = static_cast<int>(strnlen(name, sizeof name));
    s.processorName.resize(length);
    s.processorName.resize(MultiByteToWideChar(CP_ACP, 0, name, length, s.processorName.data(), length));
    return s.Listen();
}

Win32Error MpiLibrary::Finalize() {
    State& s = *state_;
    if (const Win32Error code = s.Usable(); code != 0)
        return code;
    if (const int code = s.mpi.cancel(&s.listen); code != kMpiSuccess)
        return s.MpiFailed("MPI_Cancel", code);
    // Completes with the cancelled receive, or with a stop message that
    // arrived first: the run is over either way.
    if (const Win32Error code =
            s.Complete(s.listen, "MPI_Cancel", Clock::now() + kCancelLimit, {kCancelLimit, {}});
        code != 0)
        return code;
    if (const int code = s.mpi.finalize(); code != kMpiSuccess)
        return s.MpiFailed("MPI_Finalize", code);
    s.finalized = true;
    return 0;
}

void MpiLibrary::Abort(Win32Error code) {
    if (state_->started && !state_->finalized)
        state_->mpi.abort(kCommWorld, static_cast<int>(code));
}

int MpiLibrary::Rank() const {
    return state_->rank;
}

int MpiLibrary::Size() const {
    return state_->size;
}

const std::wstring& MpiLibrary::ProcessorName() const {
    return state_->processorName;
}

Win32Error MpiLibrary::Barrier(const Wait& wait) {
    State& s = *state_;
    if (const Win32Error code = s.Usable(); code != 0)
        return code;
    const Clock::time_point deadline = Clock::now() + wait.limit;
    Request request = kRequestNull;
    if (const int code = s.mpi.ibarrier(kCommWorld, &request); code != kMpiSuccess)
        return s.MpiFailed("MPI_Ibarrier", code);
    return s.Complete(request, "MPI_Ibarrier", deadline, wait);
}

Win32Error MpiLibrary::AllreduceMax(std::uint64_t& value, const Wait& wait) {
    static_assert(sizeof value == sizeof State::reduceIn);
    return state_->ReduceMax(&value, kUnsignedLongLong, wait);
}

Win32Error MpiLibrary::AllreduceMax(double& value, const Wait& wait) {
    static_assert(sizeof value == sizeof State::reduceIn);
    return state_->ReduceMax(&value, kDouble, wait);
}

Win32Error MpiLibrary::GatherToRoot(const std::string& block, std::vector<std::string>& blocks,
                                    const Wait& wait) {
    State& s = *state_;
    if (const Win32Error code = s.Usable(); code != 0)
        return code;
    // Every rank's block within this bound keeps rank 0's offsets, which MPI
    // takes as int, from overflowing.
    if (block.size() > static_cast<std::size_t>(INT_MAX / s.size)) {
        s.failure = L"A block of " + std::to_wstring(block.size()) + L" bytes is too large to gather from " +
                    std::to_wstring(s.size) + L" ranks";
        return ERROR_INVALID_PARAMETER;
    }
    const Clock::time_point deadline = Clock::now() + wait.limit;
    const bool root = s.rank == 0;
    s.sendBlock = block;
    s.blockSize = static_cast<int>(block.size());
    s.sizes.assign(root ? s.size : 0, 0);
    Request request = kRequestNull;
    if (const int code =
            s.mpi.igather(&s.blockSize, 1, kInt, s.sizes.data(), 1, kInt, 0, kCommWorld, &request);
        code != kMpiSuccess)
        return s.MpiFailed("MPI_Igather", code);
    if (const Win32Error code = s.Complete(request, "MPI_Igather", deadline, wait); code != 0)
        return code;

    s.offsets.assign(s.sizes.size(), 0);
    int total = 0;
    for (std::size_t r = 0; r < s.sizes.size(); ++r) {
        s.offsets[r] = total;
        total += s.sizes[r];
    }
    s.gathered.assign(total, '\0');
    if (const int code = s.mpi.igatherv(s.sendBlock.data(), s.blockSize, kByte,
                                        root ? s.gathered.data() : nullptr, root ? s.sizes.data() : nullptr,
                                        root ? s.offsets.data() : nullptr, kByte, 0, kCommWorld, &request);
        code != kMpiSuccess)
        return s.MpiFailed("MPI_Igatherv", code);
    if (const Win32Error code = s.Complete(request, "MPI_Igatherv", deadline, wait); code != 0)
        return code;
    if (root) {
        blocks.clear();
        for (std::size_t r = 0; r < s.sizes.size(); ++r)
            blocks.push_back(s.gathered.substr(s.offsets[r], s.sizes[r]));
    }
    return 0;
}

Win32Error MpiLibrary::SendStop(Win32Error code, const Wait& wait) {
    State& s = *state_;
    if (const Win32Error usable = s.Usable(); usable != 0)
        return usable;
    const Clock::time_point deadline = Clock::now() + wait.limit;
    s.stopOut = code;
    std::vector<Request> sends(s.size, kRequestNull);
    for (int r = 0; r < s.size; ++r) {
        if (r == s.rank)
            continue;
        if (const int mpiCode = s.mpi.isend(&s.stopOut, 1, kUnsigned, r, kStopTag, kCommWorld, &sends[r]);
            mpiCode != kMpiSuccess)
            return s.MpiFailed("MPI_Isend", mpiCode);
    }
    for (Request& send : sends) {
        if (send == kRequestNull)
            continue;
        if (const Win32Error failed = s.Complete(send, "MPI_Isend", deadline, wait); failed != 0)
            return failed;
    }
    return 0;
}

Win32Error MpiLibrary::PollStop(std::optional<Stop>& stop) {
    State& s = *state_;
    stop.reset();
    if (const Win32Error code = s.Usable(); code != 0)
        return code;
    int done = 0;
    if (const int code = s.mpi.test(&s.listen, &done, &s.listenStatus); code != kMpiSuccess)
        return s.MpiFailed("MPI_Test", code);
    if (done == 0)
        return 0;
    stop = Stop{s.listenStatus.source, s.stopIn};
    // Listening again: a later stop message, from another rank, finds a
    // receive, and the next poll tests a pending receive rather than this
    // completed one, which would read as a stop message at every poll.
    return s.Listen();
}

const std::wstring& MpiLibrary::LastFailure() const {
    return state_->failure;
}
