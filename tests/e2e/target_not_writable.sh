#!/usr/bin/env bash
# Runs Quillmarsh.exe as the unprivileged user "nobody" against a directory it
# may not write, and expects the write test's access-denied code (5) as the
# exit code, no result lines and nothing left in the directory.
#   target_not_writable.sh QUILLMARSH_EXE PREFIX_FOR_NOBODY
set -u
exe=$1
prefix=$(realpath -m "$2")
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
    echo "needs root (to run the tool as another user): skipped"
    exit 77
fi

as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$prefix.home" WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}

mkdir -p "$prefix" "$prefix.home"
chown nobody:nogroup "$prefix" "$prefix.home"
target=$(mktemp -d /tmp/qm-readonly-XXXXXX)
chmod 0555 "$target"
trap 'as_nobody wineserver -k 2>/dev/null; as_nobody wineserver -w 2>/dev/null; rm -rf "$target"' EXIT

# Wine's start-up helpers must not hold this script's output pipe: create the
# prefix and start the server with every inherited descriptor closed.
as_nobody sh -c 'wineserver -p10 && wine wineboot -i' </dev/null >/dev/null 2>&1 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-

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
