#!/usr/bin/env bash
# Interrupts a run of Quillmarsh.exe with Ctrl+C (Wine delivers SIGINT to the
# process as a CTRL_C_EVENT) while the named test is in progress, and expects:
# exit code 1223 (a shell sees 1223 & 255 = 199), the progress up to that
# test's start and nothing after it on standard output, the cancel verdict as
# the only text on standard error, and an empty target folder.
#   interrupt.sh QUILLMARSH_EXE PREFIX write|profile-read|custom-read|create-delete [twice|clients]
# "clients" runs four clients at once: every client stops, every file goes.
set -u
exe=$1
prefix=$2
phase=$3
twice=""
clients=()
case ${4:-} in
twice) twice=1 ;;
clients) clients=(-clients 4) ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run

case $phase in
write) marker="Creating " ;;
profile-read) marker="Starting GetPrivateProfileString read loop..." ;;
custom-read) marker="Starting custom read loop..." ;;
create-delete) marker="Starting create/delete test..." ;;
*) echo "unknown phase $phase" >&2; exit 2 ;;
esac

work=$(mktemp -d /tmp/qm-interrupt-XXXXXX)
target=$work/target
mkdir "$target"
trap 'rm -rf "$work"' EXIT

# Enough iterations that every test lasts well beyond the signal's way.
"$wine_run" "$prefix" "$exe" -target "Z:${target//\//\\}" -iterations 2000 "${clients[@]}" >"$work/out" 2>"$work/err" </dev/null &
pid=$!
for _ in $(seq 3000); do
    grep -qF -- "$marker" "$work/out" 2>/dev/null && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.01
done
if ! grep -qF -- "$marker" "$work/out"; then
    echo "the run never reached: $marker"
    cat "$work/out" "$work/err"
    kill $pid 2>/dev/null
    exit 1
fi
kill -INT $pid
if [ -n "$twice" ]; then
    # A second Ctrl+C while the run cleans up must not cut the clean-up short.
    sleep 0.03
    kill -INT $pid 2>/dev/null
fi
wait $pid
rc=$?

fail=0
[ "$rc" -eq 199 ] || { echo "exit code $rc, expected 199 (1223, ERROR_CANCELLED)"; fail=1; }
last=$(grep -v '^$' "$work/out" | tail -n 1 | tr -d '\r')
case "$last" in
"$marker"*) ;;
*) echo "standard output goes on after the interrupted test's start (last line: $last)"; fail=1 ;;
esac
if grep -q '(s):' "$work/out"; then echo "a result line was printed"; fail=1; fi
err=$(tr -d '\r' <"$work/err")
expected_err_start=$'\nQuillmarsh finished with error: '
case "$err" in
"$expected_err_start"?*) ;;
*) echo "standard error is not the error verdict alone: $err"; fail=1 ;;
esac
if [ "$(printf '%s\n' "$err" | grep -c .)" -ne 1 ]; then echo "more than the verdict on standard error: $err"; fail=1; fi
left=$(ls -A "$target")
[ -z "$left" ] || { echo "left in the target: $left"; fail=1; }
if [ $fail -ne 0 ]; then
    echo "--- stdout"; cat "$work/out"; echo "--- stderr"; cat "$work/err"
    exit 1
fi
echo "interrupted in '$marker': exit 1223, nothing after it, verdict '${err#?}', target empty"
