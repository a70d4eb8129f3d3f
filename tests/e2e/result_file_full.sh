#!/usr/bin/env bash
# A result file on a file system that has no room for it at the end of a run
# (a small tmpfs), after the command line's check found room for its probe:
#   json  the new document does not fit: 112, the older document stays whole
#         and nothing else is left on the disk
#   csv   the new row fits only in part: 112, the sheet is cut back to what it
#         was, with no part of a row at its end
#   html  the same for a report page (over 50 KB: the chart library is in it)
#   result_file_full.sh QUILLMARSH_EXE PREFIX json|csv|html
set -u
exe=$1
prefix=$2
case=$3
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run

work=$(mktemp -d /tmp/qm-result-full-XXXXXX)
disk=$work/disk
mkdir "$work/target" "$disk"
win() { printf 'Z:%s' "${1//\//\\}"; }

case $case in
json)
    # Two pages: the older document takes one, the probe fits in the other,
    # the new document (over 4 KB with -latency) does not.
    size=8k
    file=$disk/run.json
    options=(-latency -json "$(win "$file")")
    ;;
html)
    size=8k
    file=$disk/report.html
    options=(-html "$(win "$file")")
    ;;
csv)
    # One page, filled by the sheet but for fewer bytes than a row.
    size=4k
    file=$disk/runs.csv
    options=(-csv "$(win "$file")")
    ;;
*) echo "unknown case $case" >&2; exit 2 ;;
esac

if ! mount -t tmpfs -o size=$size,mode=0777 tmpfs "$disk" 2>/dev/null; then
    rm -rf "$work"
    echo "cannot mount a small file system here (needs root and tmpfs): skipped"
    exit 77
fi
trap 'umount "$disk"; rm -rf "$work"' EXIT

if [ "$case" != csv ]; then
    { printf '{"older": "'; head -c 3980 /dev/zero | tr '\0' 'x'; printf '"}\n'; } >"$file"
else
    # A sheet of this version's own header and rows (from a run elsewhere),
    # grown by whole rows until one more does not fit in the page.
    "$wine_run" "$prefix" "$exe" -target "$(win "$work/target")" -iterations 50 -csv "$(win "$work/rows.csv")" \
        >/dev/null 2>&1 </dev/null || { echo "the run that makes the sheet failed"; exit 1; }
    header_size=$(head -n 1 "$work/rows.csv" | wc -c)
    tail -c +$((header_size + 1)) "$work/rows.csv" >"$work/row"
    row_size=$(stat -c %s "$work/row")
    cp "$work/rows.csv" "$file"
    while [ $(($(stat -c %s "$file") + row_size)) -lt 4096 ]; do cat "$work/row" >>"$file"; done
fi
cp "$file" "$work/before"

out=$("$wine_run" "$prefix" "$exe" -target "$(win "$work/target")" -iterations 50 "${options[@]}" \
    2>"$work/err" </dev/null)
rc=$?
err=$(tr -d '\r' <"$work/err")

fail=0
[ "$rc" -eq 112 ] || { echo "exit code $rc, expected 112 (disk full)"; fail=1; }
[ "$(printf '%s\n' "$out" | grep -c '(s):')" -eq 4 ] || { echo "the four tests did not all complete"; fail=1; }
case "$err" in
"Writing the result file <"*"> failed with: "*) ;;
*) echo "standard error does not name the result file: $err"; fail=1 ;;
esac
case "$err" in *"the results are in"*) echo "a document that was not written whole was kept"; fail=1 ;; esac
cmp -s "$work/before" "$file" || { echo "the result file changed:"; tail -c 300 "$file" | od -c | tail -n 5; fail=1; }
left=$(ls -A "$disk")
[ "$left" = "$(basename "$file")" ] || { echo "on the disk: $left"; fail=1; }
[ -z "$(ls -A "$work/target")" ] || { echo "left in the target: $(ls -A "$work/target")"; fail=1; }
if [ $fail -ne 0 ]; then
    echo "--- stdout"; printf '%s\n' "$out"; echo "--- stderr"; printf '%s\n' "$err"
    exit 1
fi
echo "no room for the $case result file: exit 112, the file as it was, nothing else left"
