/*
 * TEST EQUIPMENT. This is a stand-in for Microsoft's msmpi.dll, which Wine
 * cannot run here. It is built (scripts/mpi-bridge) and used only on Linux, by
 * the MPI tests under Wine, and is never shipped: the tool itself loads the
 * real msmpi.dll of Microsoft MPI on Windows.
 *
 * A Winelib DLL named msmpi.dll that exports, with MS-MPI's names and ABI
 * (msmpi.spec), exactly the functions measure/mpi_library.cpp loads, and
 * forwards each to Debian's Open MPI. MS-MPI's handles are ints and Open MPI's
 * are pointers, so every handle is translated here:
 *   - communicator: MS-MPI's MPI_COMM_WORLD only;
 *   - datatypes and operations: a table of the ones the loader uses;
 *   - requests: a table of Open MPI requests, the MS-MPI handle naming a slot;
 *   - MPI_Status: MS-MPI's { internal[2], MPI_SOURCE, MPI_TAG, MPI_ERROR },
 *     with MPI_ANY_SOURCE and MPI_PROC_NULL, whose values the two swap.
 * A handle outside these tables, or a failure of Open MPI, is written to
 * standard error and answered with an MPI error code. Only one thread calls
 * these functions (the loader asks for MPI_THREAD_FUNNELED), so the request
 * table takes no lock.
 */
#include <stdio.h>
#include <string.h>

#include <mpi.h>

#include <windef.h>

/* MS-MPI's values (its SDK header, mpi.h). */
#define MS_SUCCESS 0
#define MS_ERR_ARG 12
#define MS_ERR_OTHER 15
#define MS_COMM_WORLD 0x44000000
#define MS_REQUEST_NULL 0x2c000000
#define MS_ERRORS_RETURN 0x54000001
#define MS_ANY_SOURCE (-2)
#define MS_PROC_NULL (-1)
#define MS_MAX_PROCESSOR_NAME 128
#define MS_STATUS_IGNORE ((ms_status*)1)

typedef struct {
    int internal[2];
    int source;
    int tag;
    int error;
} ms_status;

/* MS-MPI's thread levels are numbered as Open MPI's. */
_Static_assert(MPI_THREAD_SINGLE == 0 && MPI_THREAD_FUNNELED == 1 && MPI_THREAD_SERIALIZED == 2 &&
                   MPI_THREAD_MULTIPLE == 3,
               "thread levels");

static int failed(const char* what, int handle) {
    fprintf(stderr, "msmpi bridge: %s 0x%x\n", what, (unsigned)handle);
    return MS_ERR_ARG;
}

static int forwarded(const char* function, int code) {
    char text[MPI_MAX_ERROR_STRING];
    int length = 0;
    if (code == MPI_SUCCESS)
        return MS_SUCCESS;
    MPI_Error_string(code, text, &length);
    fprintf(stderr, "msmpi bridge: Open MPI's %s failed: %s\n", function, text);
    return MS_ERR_OTHER;
}

static int to_comm(int comm, MPI_Comm* out) {
    if (comm != MS_COMM_WORLD)
        return 0;
    *out = MPI_COMM_WORLD;
    return 1;
}

static int to_datatype(int type, MPI_Datatype* out) {
    switch (type) {
    case 0x4c00010d:
        *out = MPI_BYTE;
        return 1;
    case 0x4c000405:
        *out = MPI_INT;
        return 1;
    case 0x4c000406:
        *out = MPI_UNSIGNED;
        return 1;
    case 0x4c000819:
        *out = MPI_UNSIGNED_LONG_LONG;
        return 1;
    case 0x4c00080b:
        *out = MPI_DOUBLE;
        return 1;
    default:
        return 0;
    }
}

static int to_op(int op, MPI_Op* out) {
    if (op != 0x58000001) /* MPI_MAX */
        return 0;
    *out = MPI_MAX;
    return 1;
}

static int to_ms_rank(int rank) {
    return rank == MPI_ANY_SOURCE ? MS_ANY_SOURCE : rank == MPI_PROC_NULL ? MS_PROC_NULL : rank;
}

static int to_rank(int rank) {
    return rank == MS_ANY_SOURCE ? MPI_ANY_SOURCE : rank == MS_PROC_NULL ? MPI_PROC_NULL : rank;
}

/* The request table: MS-MPI's handle MS_REQUEST_NULL + 1 + i is slot i; a slot
   holding MPI_REQUEST_NULL is free. */
#define REQUEST_SLOTS 1024
static MPI_Request requests[REQUEST_SLOTS];
static int requests_ready;

static int new_slot(void) {
    int i;
    if (!requests_ready) {
        for (i = 0; i < REQUEST_SLOTS; ++i)
            requests[i] = MPI_REQUEST_NULL;
        requests_ready = 1;
    }
    for (i = 0; i < REQUEST_SLOTS; ++i)
        if (requests[i] == MPI_REQUEST_NULL)
            return i;
    return -1;
}

static MPI_Request* slot_of(int handle) {
    const int i = handle - (MS_REQUEST_NULL + 1);
    return requests_ready && i >= 0 && i < REQUEST_SLOTS && requests[i] != MPI_REQUEST_NULL ? &requests[i]
                                                                                            : NULL;
}

/* Hands out slot `slot`, into which `function` has just started an Open MPI
   request, as MS-MPI's handle; `code` is what that call returned. */
static int started(const char* function, int code, int slot, int* handle) {
    if (code != MPI_SUCCESS) {
        requests[slot] = MPI_REQUEST_NULL;
        return forwarded(function, code);
    }
    *handle = MS_REQUEST_NULL + 1 + slot;
    return MS_SUCCESS;
}

int WINAPI bridge_init_thread(int* argc, char*** argv, int required, int* provided) {
    return forwarded("MPI_Init_thread", MPI_Init_thread(argc, argv, required, provided));
}

int WINAPI bridge_finalize(void) {
    return forwarded("MPI_Finalize", MPI_Finalize());
}

int WINAPI bridge_abort(int comm, int code) {
    MPI_Comm c;
    if (!to_comm(comm, &c))
        return failed("MPI_Abort: unknown communicator", comm);
    return forwarded("MPI_Abort", MPI_Abort(c, code));
}

int WINAPI bridge_comm_rank(int comm, int* rank) {
    MPI_Comm c;
    if (!to_comm(comm, &c))
        return failed("MPI_Comm_rank: unknown communicator", comm);
    return forwarded("MPI_Comm_rank", MPI_Comm_rank(c, rank));
}

int WINAPI bridge_comm_size(int comm, int* size) {
    MPI_Comm c;
    if (!to_comm(comm, &c))
        return failed("MPI_Comm_size: unknown communicator", comm);
    return forwarded("MPI_Comm_size", MPI_Comm_size(c, size));
}

/* MS-MPI's name buffer is MS_MAX_PROCESSOR_NAME bytes, Open MPI's larger. */
int WINAPI bridge_get_processor_name(char* name, int* length) {
    char full[MPI_MAX_PROCESSOR_NAME];
    int full_length = 0;
    const int code = MPI_Get_processor_name(full, &full_length);
    if (code != MPI_SUCCESS)
        return forwarded("MPI_Get_processor_name", code);
    if (full_length > MS_MAX_PROCESSOR_NAME - 1)
        full_length = MS_MAX_PROCESSOR_NAME - 1;
    memcpy(name, full, full_length);
    name[full_length] = '\0';
    *length = full_length;
    return MS_SUCCESS;
}

int WINAPI bridge_comm_set_errhandler(int comm, int handler) {
    MPI_Comm c;
    if (!to_comm(comm, &c))
        return failed("MPI_Comm_set_errhandler: unknown communicator", comm);
    if (handler != MS_ERRORS_RETURN)
        return failed("MPI_Comm_set_errhandler: unknown error handler", handler);
    return forwarded("MPI_Comm_set_errhandler", MPI_Comm_set_errhandler(c, MPI_ERRORS_RETURN));
}

int WINAPI bridge_ibarrier(int comm, int* request) {
    MPI_Comm c;
    const int slot = new_slot();
    if (!to_comm(comm, &c))
        return failed("MPI_Ibarrier: unknown communicator", comm);
    if (slot < 0)
        return failed("MPI_Ibarrier: request table full", REQUEST_SLOTS);
    return started("MPI_Ibarrier", MPI_Ibarrier(c, &requests[slot]), slot, request);
}

int WINAPI bridge_iallreduce(const void* in, void* out, int count, int type, int op, int comm, int* request) {
    MPI_Comm c;
    MPI_Datatype t;
    MPI_Op o;
    const int slot = new_slot();
    if (!to_comm(comm, &c))
        return failed("MPI_Iallreduce: unknown communicator", comm);
    if (!to_datatype(type, &t))
        return failed("MPI_Iallreduce: unknown datatype", type);
    if (!to_op(op, &o))
        return failed("MPI_Iallreduce: unknown operation", op);
    if (slot < 0)
        return failed("MPI_Iallreduce: request table full", REQUEST_SLOTS);
    return started("MPI_Iallreduce", MPI_Iallreduce(in, out, count, t, o, c, &requests[slot]), slot, request);
}

int WINAPI bridge_igather(const void* in, int in_count, int in_type, void* out, int out_count, int out_type,
                          int root, int comm, int* request) {
    MPI_Comm c;
    MPI_Datatype it, ot;
    const int slot = new_slot();
    if (!to_comm(comm, &c))
        return failed("MPI_Igather: unknown communicator", comm);
    if (!to_datatype(in_type, &it))
        return failed("MPI_Igather: unknown datatype", in_type);
    if (!to_datatype(out_type, &ot))
        return failed("MPI_Igather: unknown datatype", out_type);
    if (slot < 0)
        return failed("MPI_Igather: request table full", REQUEST_SLOTS);
    return started("MPI_Igather", MPI_Igather(in, in_count, it, out, out_count, ot, root, c, &requests[slot]),
                   slot, request);
}

int WINAPI bridge_igatherv(const void* in, int in_count, int in_type, void* out, const int* out_counts,
                           const int* offsets, int out_type, int root, int comm, int* request) {
    MPI_Comm c;
    MPI_Datatype it, ot;
    const int slot = new_slot();
    if (!to_comm(comm, &c))
        return failed("MPI_Igatherv: unknown communicator", comm);
    if (!to_datatype(in_type, &it))
        return failed("MPI_Igatherv: unknown datatype", in_type);
    if (!to_datatype(out_type, &ot))
        return failed("MPI_Igatherv: unknown datatype", out_type);
    if (slot < 0)
        return failed("MPI_Igatherv: request table full", REQUEST_SLOTS);
    return started("MPI_Igatherv",
                   MPI_Igatherv(in, in_count, it, out, out_counts, offsets, ot, root, c, &requests[slot]),
                   slot, request);
}

int WINAPI bridge_isend(const void* data, int count, int type, int to, int tag, int comm, int* request) {
    MPI_Comm c;
    MPI_Datatype t;
    const int slot = new_slot();
    if (!to_comm(comm, &c))
        return failed("MPI_Isend: unknown communicator", comm);
    if (!to_datatype(type, &t))
        return failed("MPI_Isend: unknown datatype", type);
    if (slot < 0)
        return failed("MPI_Isend: request table full", REQUEST_SLOTS);
    return started("MPI_Isend", MPI_Isend(data, count, t, to_rank(to), tag, c, &requests[slot]), slot,
                   request);
}

int WINAPI bridge_irecv(void* data, int count, int type, int from, int tag, int comm, int* request) {
    MPI_Comm c;
    MPI_Datatype t;
    const int slot = new_slot();
    if (!to_comm(comm, &c))
        return failed("MPI_Irecv: unknown communicator", comm);
    if (!to_datatype(type, &t))
        return failed("MPI_Irecv: unknown datatype", type);
    if (slot < 0)
        return failed("MPI_Irecv: request table full", REQUEST_SLOTS);
    return started("MPI_Irecv", MPI_Irecv(data, count, t, to_rank(from), tag, c, &requests[slot]), slot,
                   request);
}

/* A completed request frees its slot and becomes MS_REQUEST_NULL, as in
   MS-MPI; testing MS_REQUEST_NULL completes at once with an empty status. */
int WINAPI bridge_test(int* request, int* done, ms_status* status) {
    MPI_Status s;
    MPI_Request* r;
    int code;
    if (*request == MS_REQUEST_NULL) {
        *done = 1;
        s.MPI_SOURCE = MPI_ANY_SOURCE;
        s.MPI_TAG = MPI_ANY_TAG;
        s.MPI_ERROR = MPI_SUCCESS;
    } else {
        r = slot_of(*request);
        if (r == NULL)
            return failed("MPI_Test: unknown request", *request);
        code = MPI_Test(r, done, &s);
        if (code != MPI_SUCCESS)
            return forwarded("MPI_Test", code);
        if (!*done)
            return MS_SUCCESS;
        *request = MS_REQUEST_NULL;
    }
    if (status != MS_STATUS_IGNORE) {
        /* MS-MPI keeps the element count and the cancelled flag in internal[];
           the loader reads neither. */
        status->internal[0] = 0;
        status->internal[1] = 0;
        status->source = to_ms_rank(s.MPI_SOURCE);
        status->tag = s.MPI_TAG;
        status->error = s.MPI_ERROR == MPI_SUCCESS ? MS_SUCCESS : MS_ERR_OTHER;
    }
    return MS_SUCCESS;
}

int WINAPI bridge_cancel(int* request) {
    MPI_Request* r = slot_of(*request);
    if (r == NULL)
        return failed("MPI_Cancel: unknown request", *request);
    return forwarded("MPI_Cancel", MPI_Cancel(r));
}
