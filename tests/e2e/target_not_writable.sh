#!/usr/bin/env bash
# Runs Quillmarsh.exe as the unprivileged user "nobody" against a directory it
# may not write, and expects the write test's access-denied code (5) as the
# exit code, no result lines and nothing left in the directory.
#   target_not_writable.sh QUILLMARSH_EXE PREFIX_FOR_NOBODY
set -u
exe=$1
source "$(dirname "$0")/../support/as_nobody.sh" "$2"

target=$(mktemp -d /tmp/qm-readonly-XXXXXX)
chmod 0555 "$target"
trap 'stop_nobody_wine; rm -rf "$target"' EXIT

out=$(as_nobody wine "$exe" -target "Z:${target//\//\\}" -iterations 3 2>/tmp/qm-readonly-err.$$ </dev/null)
rc=$?
err=$(cat /tmp/qm-readonly-err.$$)
rm -f /tmp/qm-readonly-err.$$

fail=0
[ "$rc" -eq 5 ] || { echo "exit code $rc, expected 5 (access denied)"; fail=1; }
case "$out" in *"(s):"*) echo "a result line was printed:"; echo "$out"; fail=1 ;; esac
case "$err" in *"Quillmarsh finished with error: "*) ;; *) echo "no error verdict on stderr: $err"; fail=1 ;; esac
left=$(ls -A "$target")
[ -z "$left" ] || { echo "left in the target: $left"; fail=1; }
[ $fail -eq 0 ] && echo "exit code 5, no results, nothing left"
exit $fail
