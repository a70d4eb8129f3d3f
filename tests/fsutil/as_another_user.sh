#!/usr/bin/env bash
# Runs the file wrapper cases that need a file this user may not change (Wine
# run as root may change any file): fsutil_tests.exe runs as "nobody" on a file
# owned by root, named in QM_FOREIGN_FILE.
#   as_another_user.sh FSUTIL_TESTS_EXE PREFIX_FOR_NOBODY
set -u
exe=$1
source "$(dirname "$0")/../support/as_nobody.sh" "$2"

dir=$(mktemp -d /tmp/qm-foreign-XXXXXX)
chmod 0755 "$dir"
echo data >"$dir/owned-by-root"
chmod 0644 "$dir/owned-by-root"
trap 'stop_nobody_wine; rm -rf "$dir"' EXIT

out=$(as_nobody env QM_FOREIGN_FILE="Z:${dir//\//\\}\\owned-by-root" \
    wine "$exe" --gtest_filter='AsAnotherUser*' 2>&1 </dev/null)
rc=$?
printf '%s\n' "$out"
# A filter that matches nothing, or a case that skips, passes in gtest's eyes.
case "$out" in *"[       OK ] AsAnotherUser"*) ;; *) echo "no AsAnotherUser case ran and passed"; exit 1 ;; esac
case "$out" in *"SKIPPED"*) echo "a case was skipped"; exit 1 ;; esac
exit $rc
