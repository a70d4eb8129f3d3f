#!/usr/bin/env bash
# Checks of a run against \\localhost\share that only Linux programs can see.
#   smb_share_probes.sh traffic|traffic-clients|delete-form QUILLMARSH_EXE PREFIX
# traffic: the run is served by smbd, not just by a local link. smbd's own
#   per-operation counters (smbd profiling, read with smbstatus -P) must grow by
#   exactly one unlink for each pass of the create/delete loop plus one for the
#   test file, and by at least one write for each line the write test and the
#   loop write.
# traffic-clients: the same with four clients at once, each with its own test
#   file and loop files: clients x (iterations + 1) unlinks.
# delete-form: every file the tool deletes is named in the long UNC form
#   (\\?\UNC\localhost\share\...), the last one being the test file. Wine
#   resolves both forms to the same file, so only its trace of DeleteFileW
#   (WINEDEBUG=trace+file) shows the name. That trace goes to the program's
#   Unix standard error, which a Windows parent cannot capture: hence a script.
# Both: exit code 0, four result lines, the server's folder empty afterwards.
# Needs the share that scripts/smb-share start made for PREFIX (the ctest
# fixture); exits 77 (skipped) where that could not run on this machine.
set -u
mode=$1
exe=$2
prefix=$(realpath -m "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
share=$root/scripts/smb-share
iterations=5
clients=1
client_options=()
[ "$mode" = traffic-clients ] && clients=4 && client_options=(-clients $clients)

if ! status=$("$share" status "$prefix"); then
    if [ -s "$prefix.smb/unavailable" ]; then
        echo "no SMB share on this machine: $(cat "$prefix.smb/unavailable"): skipped"
        exit 77
    fi
    echo "the SMB share for $prefix is not up: $status"
    exit 1
fi

# The run's folder is made in the server's folder directly (no SMB operation),
# owned by the guest account the share maps every client to.
name=qm-$mode-$$
folder=$prefix.smb/share/$name
unc_folder="\\\\localhost\\share\\$name"
mkdir "$folder" && chown nobody:"$(id -gn nobody)" "$folder" || exit 1
scratch=$(mktemp -d)
trap 'rm -rf "$folder" "$scratch"' EXIT

fail=0
check() { # CONDITION... -- MESSAGE
    local condition=()
    while [ "$1" != -- ]; do
        condition+=("$1")
        shift
    done
    shift
    "${condition[@]}" || { echo "$*"; fail=1; }
}

# Runs the tool against the folder: stdout in $scratch/out, stderr in $scratch/err.
run_tool() {
    "$@" "$exe" -target "$unc_folder" -iterations $iterations "${client_options[@]}" >"$scratch/out" 2>"$scratch/err" </dev/null
    rc=$?
    tr -d '\r' <"$scratch/out" >"$scratch/out.txt"
    check [ $rc -eq 0 ] -- "exit code $rc, expected 0: $(cat "$scratch/out.txt")"
    check [ "$(grep -c '(s):' "$scratch/out.txt")" -eq 4 ] -- "expected four result lines: $(cat "$scratch/out.txt")"
}

check_folder_empty() {
    local left
    left=$(ls -A "$folder")
    check [ -z "$left" ] -- "left in the server's folder: $left"
}

# "unlinkat writes": the two counters of interest, as smbstatus shows them now.
counters() {
    "$share" smbstatus "$prefix" -P |
        awk '$1 == "syscall_unlinkat_count:" { u = $2 } $1 == "smb2_write_count:" { w = $2 }
             END { print u + 0, w + 0 }'
}
# smbd's connection processes add their counts to the shared totals about a
# second after the work: wait until two readings 1.5 s apart agree.
settled_counters() {
    local before after
    before=$(counters)
    for _ in $(seq 20); do
        sleep 1.5
        after=$(counters)
        [ "$after" = "$before" ] && { echo "$after"; return 0; }
        before=$after
    done
    echo "smbd's counters did not settle" >&2
    return 1
}

case $mode in
traffic | traffic-clients)
    read -r unlinks_before writes_before < <(settled_counters) || exit 1
    run_tool "$root/scripts/wine-run" "$prefix"
    read -r unlinks_after writes_after < <(settled_counters) || exit 1
    unlinks=$((unlinks_after - unlinks_before))
    writes=$((writes_after - writes_before))
    check [ $unlinks -eq $((clients * (iterations + 1))) ] -- \
        "smbd unlinked $unlinks files, expected $((clients * (iterations + 1))) (the loops' files and the test files)"
    check [ $writes -ge $((2 * clients * iterations)) ] -- \
        "smbd served $writes writes, expected at least $((2 * clients * iterations))"
    check_folder_empty
    [ $fail -eq 0 ] && echo "smbd: $unlinks unlinks and $writes writes for $iterations iterations, folder empty"
    ;;
delete-form)
    # wine-run silences Wine (WINEDEBUG=-all) and holds the server for the
    # prefix; the traced run then starts Wine itself with the trace channel on.
    "$root/scripts/wine-run" "$prefix" cmd /c exit >/dev/null 2>&1
    run_tool env WINEPREFIX="$prefix" WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=trace+file wine
    test_file=$(sed -n 's/^Creating test file <\(.*\)>\.\.\.$/\1/p' "$scratch/out.txt")
    # trace:file:DeleteFileW L"\\\\?\\UNC\\..." : the argument as an escaped C string.
    grep -o 'trace:file:DeleteFileW L"[^"]*"' "$scratch/err" |
        sed 's/^trace:file:DeleteFileW L"//; s/"$//; s/\\\\/\\/g' >"$scratch/deleted"
    long_folder="\\\\?\\UNC\\localhost\\share\\$name\\"
    check [ "$(wc -l <"$scratch/deleted")" -ge $((iterations + 1)) ] -- \
        "expected a delete for each of the $iterations loop files and the test file, saw: $(cat "$scratch/deleted")"
    while IFS= read -r path; do
        check [ "${path#"$long_folder"}" != "$path" ] -- "deleted $path, not a file named in $long_folder"
    done <"$scratch/deleted"
    check [ -n "$test_file" ] -- "no test file named in the output"
    check [ "$(tail -n 1 "$scratch/deleted")" = "\\\\?\\UNC\\${test_file#\\\\}" ] -- \
        "the last delete is $(tail -n 1 "$scratch/deleted"), not the test file $test_file in the long form"
    check_folder_empty
    [ $fail -eq 0 ] && echo "$(wc -l <"$scratch/deleted") deletes, each in $long_folder; the last one the test file"
    ;;
*)
    echo "usage: smb_share_probes.sh traffic|delete-form QUILLMARSH_EXE PREFIX" >&2
    exit 2
    ;;
esac
exit $fail
