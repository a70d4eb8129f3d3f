#!/usr/bin/env bash
# MpiLibrary with real ranks: runs mpi_probe.exe (see its top comment) under
# Wine, as 3 ranks of Open MPI's mpirun through the msmpi.dll bridge, and on
# its own without one, and checks each rank's report.
#   - without msmpi.dll anywhere Load returns 126 with its exact message, also
#     when the current folder holds a msmpi.dll (never loaded from there);
#   - a msmpi.dll without MS-MPI's functions gives 127, naming the first;
#   - 3 ranks: size, distinct ranks, barrier, allreduce MAX, a gather of
#     blocks of different sizes, a stop message reaching the others while
#     they wait (the barrier timings are printed as info lines);
#   - a rank that never arrives at a barrier: the others' waits end (1460 at
#     its limit, 1223 when the poll hook says stop), and Abort ends the job.
#   mpi_ranks.sh PROBE_EXE NO_FUNCTIONS_DLL PREFIX BRIDGE_FOLDER
# Exit code 77 (skipped) when the bridge cannot be built here.
set -u
probe=$1
no_functions=$2
prefix=$(realpath -m "$3")
bridge=$(realpath -m "$4")
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts

"$scripts/mpi-bridge" "$bridge"
rc=$?
if [ $rc -eq 77 ]; then
    echo "skipped: the MPI bridge cannot be built on this machine (reason above)"
    exit 77
fi
[ $rc -eq 0 ] || { echo "FAIL: scripts/mpi-bridge exited with $rc"; exit 1; }

work=$(mktemp -d /tmp/qm-mpi-XXXXXX)
cleanup() {
    exec 8>&-
    "$scripts/wine-stop" "$prefix"
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/bridge" "$work/none" "$work/no-functions" "$work/planted" "$work/ranks" "$work/never-arrives"
cp "$probe" "$work/bridge/mpi_probe.exe"
cp "$bridge/msmpi.dll" "$work/bridge/"
cp "$probe" "$work/none/mpi_probe.exe"
cp "$probe" "$work/no-functions/mpi_probe.exe"
cp "$no_functions" "$work/no-functions/msmpi.dll"
cp "$no_functions" "$work/planted/msmpi.dll"
windows() { printf 'Z:%s' "${1//\//\\}"; }

fail=0
# NAME FOLDER EXE ARGS...: a run of the probe on its own, in FOLDER, with no
# bridge; the probe checks and reports.
load_case() {
    local name=$1 folder=$2 out rc
    shift 2
    out=$(cd "$folder" && env -u WINEDLLPATH "$scripts/wine-run" "$prefix" "$@" </dev/null 2>&1)
    rc=$?
    printf '%s\n' "$out" | tr -d '\r' | sed "s/^/$name: /"
    [ $rc -eq 0 ] || { echo "FAIL: $name: exit code $rc"; fail=1; }
}
load_case "no msmpi.dll" "$work" "$work/none/mpi_probe.exe" load 126
found=$(find "$prefix/drive_c" -iname msmpi.dll 2>/dev/null)
[ -z "$found" ] || { echo "FAIL: the Wine prefix has a msmpi.dll, so 126 proves nothing: $found"; fail=1; }
load_case "msmpi.dll in the current folder" "$work/planted" "$work/none/mpi_probe.exe" load 126
load_case "msmpi.dll without its functions" "$work" "$work/no-functions/mpi_probe.exe" load 127 MPI_Init_thread

# The ranks' wine processes take part in the prefix's server as programs of
# scripts/wine-run do (a shared lock on PREFIX.users), so that no other run's
# scripts/wine-stop ends it under them; the load cases above started it.
exec 8>"$prefix.users"
flock -s 8

# MODE LIMIT EXPECTED_EXIT: one job of 3 ranks; each rank writes DIR/rankN.txt.
job() {
    local mode=$1 limit=$2 expected=$3 started rc
    started=$(date +%s)
    WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLPATH=$bridge timeout "$limit" \
        mpirun --allow-run-as-root --oversubscribe -np 3 -x WINEDLLPATH -x WINEPREFIX -x WINEDEBUG \
        wine "$work/bridge/mpi_probe.exe" "$mode" "$(windows "$work/$mode")" >"$work/$mode.log" 2>&1 </dev/null
    rc=$?
    echo "$mode: mpirun exited with $rc after $(($(date +%s) - started)) s"
    if [ $rc -eq 124 ]; then
        echo "FAIL: $mode: the job was still running after $limit s"
        fail=1
    elif [ $rc -ne "$expected" ]; then
        echo "FAIL: $mode: mpirun exited with $rc, expected $expected; its output:"
        sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/$mode.log" | tr -d '\r' | grep -v '^[[:space:]]*$' | tail -n 40
        fail=1
    fi
}
# MODE RANK LINE...: lines that rank's report must hold.
expect() {
    local mode=$1 rank=$2 line
    shift 2
    for line in "$@"; do
        grep -qxF "ok: $line" "$work/$mode/rank$rank.txt" 2>/dev/null ||
            { echo "FAIL: $mode: rank $rank did not report \"ok: $line\""; fail=1; }
    done
}
reports() {
    local mode=$1 r report
    for r in 0 1 2; do
        report=$work/$mode/rank$r.txt
        if [ ! -f "$report" ]; then
            echo "FAIL: $mode: rank $r wrote no report"
            fail=1
            continue
        fi
        sed -i 's/\r$//' "$report" # written in text mode: CR LF
        sed "s/^/$mode rank $r: /" "$report"
        ! grep -q '^FAIL' "$report" || fail=1
        [ "$(tail -n 1 "$report")" = "done" ] || { echo "FAIL: $mode: rank $r's report ends early"; fail=1; }
    done
}

job ranks 120 0
reports ranks
expect ranks 0 "every rank a different one, in rank order" "rank 1's block arrives whole" \
    "rank 2's block arrives whole" "the stop from rank 1 arrives while waiting" "Finalize"
expect ranks 1 "send stop" "a gather leaves other ranks' blocks" "Finalize"
expect ranks 2 "the stop from rank 1 arrives while waiting" "Finalize"

# Rank 0 ends the job with Abort(3) once its checks are done.
job never-arrives 60 3
reports never-arrives
expect never-arrives 0 "a barrier a rank never reaches times out" "within its limit of 1000 ms"
expect never-arrives 2 "a poll hook saying stop gives the wait up"

mapfile -t left < <(pgrep -f "$work/bridge/mpi_probe.exe")
if [ ${#left[@]} -gt 0 ]; then
    echo "FAIL: ranks left running: ${left[*]}"
    kill "${left[@]}"
    fail=1
fi

if [ $fail -ne 0 ]; then
    echo "FAILED"
    exit 1
fi
echo "passed"
