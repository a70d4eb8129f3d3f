#!/usr/bin/env bash
# Interrupts a run of Quillmarsh.exe with Ctrl+C (Wine delivers SIGINT to the
# process as a CTRL_C_EVENT) while the named test is in progress, and expects:
# exit code 1223 (a shell sees 1223 & 255 = 199), the progress up to that
# test's start and nothing after it on standard output, the cancel verdict as
# the only text on standard error, and an empty target folder.
#   interrupt.sh QUILLMARSH_EXE PREFIX write|profile-read|custom-read|create-delete [twice|clients|runs|sweep]
# "clients" runs four clients at once: every client stops, every file goes.
# "runs" runs three runs with a JSON document and interrupts the second: the
# first run's result lines stay, and the document holds the first run whole and
# the second as cancelled, summed up over the tests that completed. "sweep"
# does the same in the second step of a sweep of 1 and 2 clients.
set -u
exe=$1
prefix=$2
phase=$3
twice=""
runs=""
options=()
case ${4:-} in
twice) twice=1 ;;
clients) options=(-clients 4) ;;
runs) runs="^Run 2 of 3" ;;
sweep) runs="^Sweep step 2 of 2" ;;
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
json_option=(-json "Z:${work//\//\\}\\run.json")
case ${4:-} in
runs) options=(-runs 3 "${json_option[@]}") ;;
sweep) options=(-clients 1,2 "${json_option[@]}") ;;
esac

# Enough iterations that every test lasts well beyond the signal's way.
"$wine_run" "$prefix" "$exe" -target "Z:${target//\//\\}" -iterations 2000 "${options[@]}" >"$work/out" 2>"$work/err" </dev/null &
pid=$!
# The marker of the test to interrupt, in the second run when there are runs
# (the second step of a sweep).
reached() { sed -n "${runs:+/$runs/,\$}p" "$work/out" 2>/dev/null | grep -qF -- "$marker"; }
for _ in $(seq 6000); do
    reached && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.01
done
if ! reached; then
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
if [ -z "$runs" ]; then
    if grep -q '(s):' "$work/out"; then echo "a result line was printed"; fail=1; fi
else
    [ "$(grep -c '(s):' "$work/out")" -eq 4 ] || { echo "not the first run's four result lines alone"; fail=1; }
    json=$(tr -d '\r' <"$work/run.json")
    [ "$(printf '%s\n' "$json" | grep -c '^      "run": ')" -eq 2 ] || { echo "the document does not hold two runs"; fail=1; }
    [ "$(printf '%s\n' "$json" | grep -c '"code": 1223')" -eq 2 ] ||
        { echo "the second run and the document are not cancelled"; fail=1; }
    [ "$(printf '%s\n' "$json" | grep -c '"code": 0')" -eq 1 ] || { echo "the first run is not whole"; fail=1; }
    # The stopped series is summed up over what completed: the write and the
    # profile read (before the custom read that was interrupted) in both runs,
    # the others in the first; a sweep's steps each over their own run.
    section() { printf '%s\n' "$json" | awk -v key="  \"$1\":" 'index($0, key) == 1 { on = 1 } on && /^  "/ && index($0, key) != 1 { on = 0 } on'; }
    if [ "${4:-}" = runs ]; then
        summary=$(section tests)
        [ "$(grep -c '"name": ' <<<"$summary")" -eq 4 ] && [ "$(grep -c '"runs": 2,' <<<"$summary")" -eq 2 ] &&
            [ "$(grep -c '"runs": 1,' <<<"$summary")" -eq 2 ] ||
            { echo "the document's tests do not sum up both runs' completed tests: $summary"; fail=1; }
    else
        steps=$(section sweep)
        [ "$(grep -c '"name": ' <<<"$steps")" -eq 6 ] &&
            [ "$(grep -o '"clients": [0-9]*' <<<"$steps" | tr '\n' ' ')" = '"clients": 1 "clients": 2 ' ] ||
            { echo "the document's sweep does not hold both steps with their completed tests: $steps"; fail=1; }
    fi
fi
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
