#!/usr/bin/env bash
# Makes a report page with the real tool (-html) and opens it in headless
# chromium with networking off (check_report.mjs): no console error, no page
# error, no request, every chart drawn with the right number of series and
# labelled axes. The screenshot is kept beside the test output.
#   report_pages.sh QUILLMARSH_EXE PREFIX run|sweep|compare|failed SCREENSHOT_FOLDER
# "run": two runs with -latency, labelled with markup that must stay text (an
# image tag whose load would be a request the checker sees);
# "sweep": -clients 1,2 with -latency; "compare": two documents with samples;
# "failed": a run whose target is missing, a page of facts and no chart.
# Exit code 77 when chromium or playwright-core cannot be had here.
set -u
exe=$1
prefix=$2
case_name=$3
shots=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..

"$root/scripts/browser-setup" || exit $?

work=$(mktemp -d /tmp/qm-report-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/target"
win() { printf 'Z:%s' "${1//\//\\}"; }
tool() { "$root/scripts/wine-run" "$prefix" "$exe" "$@" </dev/null >"$work/out.txt" 2>"$work/err.txt"; }
fail() { echo "FAIL: $*" >&2; cat "$work/out.txt" "$work/err.txt" >&2; exit 1; }

page=$work/report.html
case $case_name in
run)
    tool -target "$(win "$work/target")" -iterations 20 -runs 2 -latency -label '<img src=x onerror=alert(1)>' \
        -html "$(win "$page")" || fail "the run ended with $?"
    expect='{"charts": {"cdf": {"count": 11, "series": 2}},
             "selectors": {"table.qm-facts tbody tr": 9, "table.qm-results tbody tr": 4}}'
    ;;
sweep)
    tool -target "$(win "$work/target")" -iterations 10 -clients 1,2 -latency -html "$(win "$page")" ||
        fail "the sweep ended with $?"
    expect='{"charts": {"cdf": {"count": 11, "series": 2}, "sweep": {"count": 2, "series": 4}},
             "selectors": {"table.qm-results tbody tr": 8}}'
    ;;
compare)
    for name in a b; do
        tool -target "$(win "$work/target")" -iterations 20 -latency -label "share $name" \
            -json "$(win "$work/$name.json")" || fail "the run for $name ended with $?"
    done
    tool -compare "$(win "$work/a.json")" "$(win "$work/b.json")" -html "$(win "$page")" ||
        fail "the comparison ended with $?"
    # A row per test and per phase, in the change tables.
    expect='{"charts": {"cdf": {"count": 11, "series": 2}},
             "selectors": {"table.qm-compare tbody tr": 15, "table.qm-facts tbody tr": 9}}'
    ;;
failed)
    tool -target "$(win "$work/target/missing")" -iterations 5 -latency -html "$(win "$page")"
    [ $? -eq 2 ] || fail "the run with a missing target did not end with 2 (file not found)"
    expect='{"charts": {}, "selectors": {"table.qm-facts tbody tr": 9, "table.qm-results tbody tr": 4}}'
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
[ -z "$(ls -A "$work/target")" ] || fail "the run left files in its target"
grep -q '<script type="application/json" id="qm-data">' "$page" || fail "no page written"
if [ "$case_name" = run ] && grep -q '<img' "$page"; then
    fail "the label became markup"
fi
printf '%s\n' "$expect" >"$work/expect.json"
mkdir -p "$shots"
node "$here/check_report.mjs" "$page" "$shots/$case_name.png" "$work/expect.json"
code=$?
echo "screenshot: $shots/$case_name.png"
exit $code
