#!/usr/bin/env bash
# Two runs of the tool through scripts/quillmarsh at once, in the same Wine
# prefix and target: the one that ends first must not end the other (both exit
# 0 with four result lines) and the target is empty afterwards.
#   front_door_overlap.sh
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/qm-overlap-XXXXXX)
trap 'kill $long 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/target"

"$root/scripts/quillmarsh" -target "$work/target" -iterations 3000 >"$work/long.out" 2>"$work/long.err" </dev/null &
long=$!
for _ in $(seq 3000); do
    grep -qF "Creating test file <" "$work/long.out" 2>/dev/null && break
    kill -0 $long 2>/dev/null || break
    sleep 0.01
done
grep -qF "Creating test file <" "$work/long.out" || { echo "the long run never started its tests"; cat "$work/long."*; exit 1; }

"$root/scripts/quillmarsh" -target "$work/target" -iterations 5 >"$work/short.out" 2>"$work/short.err" </dev/null
short_rc=$?
kill -0 $long 2>/dev/null || { echo "the long run ended before the short one (make it longer)"; exit 1; }
wait $long
long_rc=$?

fail=0
for run in short long; do
    rc_var=${run}_rc
    [ "${!rc_var}" -eq 0 ] || { echo "the $run run exited ${!rc_var}"; fail=1; }
    [ "$(grep -c '(s):' "$work/$run.out")" -eq 4 ] || { echo "the $run run has no four result lines"; fail=1; }
done
left=$(ls -A "$work/target")
[ -z "$left" ] || { echo "left in the target: $left"; fail=1; }
if [ $fail -ne 0 ]; then
    for f in "$work"/*.out "$work"/*.err; do echo "--- $f"; cat "$f"; done
    exit 1
fi
echo "two overlapping runs through scripts/quillmarsh: both exit 0, target empty"
