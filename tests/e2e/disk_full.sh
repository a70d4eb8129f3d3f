#!/usr/bin/env bash
# Runs Quillmarsh.exe against a file system that fills up (a tmpfs of one
# page) and expects the failing test's own code, 112 (ERROR_DISK_FULL), at the
# pass where the disk ran full, and nothing left on the disk afterwards:
#   write          1,000 lines do not fit: the write test fails, no "...done."
#   create-delete  3 lines fit, the create/delete loop's file does not
#   clients        the write test with four clients: the first to fail ends
#                  the run for all, and is named
#   disk_full.sh QUILLMARSH_EXE PREFIX write|create-delete|clients
set -u
exe=$1
prefix=$2
case=$3
options=()
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run

case $case in
write) iterations=1000 failing="Creating test file <" ;;
clients) iterations=1000 failing="Creating 4 test files in <" options=(-clients 4) ;;
create-delete) iterations=3 failing="Starting create/delete test..." ;;
*) echo "unknown case $case" >&2; exit 2 ;;
esac

disk=$(mktemp -d /tmp/qm-disk-full-XXXXXX)
if ! mount -t tmpfs -o size=4k,mode=0777 tmpfs "$disk" 2>/dev/null; then
    rmdir "$disk"
    echo "cannot mount a small file system here (needs root and tmpfs): skipped"
    exit 77
fi
trap 'umount "$disk"; rmdir "$disk"' EXIT

out=$("$wine_run" "$prefix" "$exe" -target "Z:${disk//\//\\}" -iterations $iterations "${options[@]}" 2>"$disk.err" </dev/null)
rc=$?
err=$(tr -d '\r' <"$disk.err")
rm -f "$disk.err"
out=$(printf '%s' "$out" | tr -d '\r')

fail=0
[ "$rc" -eq 112 ] || { echo "exit code $rc, expected 112 (disk full)"; fail=1; }
last=$(printf '%s\n' "$out" | grep -v '^$' | tail -n 1)
case "$last" in
"$failing"*) ;;
*) echo "the run went on after the test that filled the disk (last line: $last)"; fail=1 ;;
esac
verdict=$err
if [ "$case" = clients ]; then
    first=$(printf '%s\n' "$err" | head -n 1)
    case "$first" in
    "Client "[1-4]" of 4 failed first, on <"*">: "?*) verdict=${err#"$first"$'\n'} ;;
    *) echo "the failing client is not named: $first"; fail=1 ;;
    esac
fi
case "$verdict" in
$'\nQuillmarsh finished with error: '?*) ;;
*) echo "standard error is not the error verdict: $err"; fail=1 ;;
esac
left=$(ls -A "$disk")
[ -z "$left" ] || { echo "left on the disk: $left"; fail=1; }
if [ $fail -ne 0 ]; then
    echo "--- stdout"; printf '%s\n' "$out"; echo "--- stderr"; printf '%s\n' "$err"
    exit 1
fi
echo "disk full in '$failing': exit 112, nothing after it, disk empty"
