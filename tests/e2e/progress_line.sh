#!/usr/bin/env bash
# The live progress line: shown to a person at an interactive console, never
# written into a pipe or a file.
#   console  the tool in a tmux pane (Wine gives it a console there): while a
#            test runs the pane shows the status line; when the run has ended
#            the pane shows exactly the lines a pipe gets (timings aside),
#            with no trace of the status line
#   file     stdout at that console, stderr into a file: the file stays empty
#   pipe     both through pipes: stderr stays empty
#   progress_line.sh QUILLMARSH_EXE PREFIX
set -u
exe=$1
prefix=$2
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run
command -v tmux >/dev/null || { echo "tmux is missing (scripts/setup installs it): skipped"; exit 77; }

work=$(mktemp -d /tmp/qm-progress-XXXXXX)
socket=qm-progress-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/target"
target="Z:${work//\//\\}\\target"
fail=0

# The lines a person reads, with the test file's name and every number masked
# and blanks squeezed: names, timings and so the columns' widths differ per run.
masked() { tr -d '\r' | grep -v '^ *$' | sed -E 's/[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}/UUID/; s/[0-9]+(\.[0-9]+)?/N/g; s/ +/ /g'; }

# pipe: the reference output.
"$wine_run" "$prefix" "$exe" -target "$target" -iterations 1500 >"$work/pipe.out" 2>"$work/pipe.err" </dev/null
rc=$?
[ $rc -eq 0 ] || { echo "the piped run exited $rc"; fail=1; }
[ ! -s "$work/pipe.err" ] || { echo "standard error through a pipe is not empty:"; od -c "$work/pipe.err" | head; fail=1; }

# file: standard output at a console, standard error into a file.
tmux -L "$socket" new-session -d -x 200 -y 60 \
    "'$wine_run' '$prefix' '$exe' -target '$target' -iterations 1500 2>'$work/file.err'; echo \$? >'$work/file.rc'"
for _ in $(seq 600); do [ -f "$work/file.rc" ] && break; sleep 0.1; done
[ "$(cat "$work/file.rc" 2>/dev/null)" = 0 ] || { echo "the run with standard error in a file did not exit 0"; fail=1; }
[ ! -s "$work/file.err" ] || { echo "standard error into a file is not empty:"; od -c "$work/file.err" | head; fail=1; }
tmux -L "$socket" kill-server 2>/dev/null

# console: both at the console.
tmux -L "$socket" new-session -d -x 200 -y 60 \
    "'$wine_run' '$prefix' '$exe' -target '$target' -iterations 1500; echo \$? >'$work/console.rc'; sleep 600"
status='^(Write with custom function|ReadPrivateProfileString|Read with custom function|Create/delete loop): [0-9]+ of 1500 passes, [0-9]+%, [0-9]+:[0-9]{2} elapsed'
seen=""
for _ in $(seq 1200); do
    screen=$(tmux -L "$socket" capture-pane -p)
    line=$(printf '%s\n' "$screen" | grep -E "$status" | head -n 1)
    [ -n "$line" ] && [ -z "$seen" ] && seen=$line
    [ -f "$work/console.rc" ] && break
    sleep 0.05
done
[ "$(cat "$work/console.rc" 2>/dev/null)" = 0 ] || { echo "the run at the console did not exit 0"; fail=1; }
[ -n "$seen" ] || { echo "no status line was ever shown at the console"; fail=1; }
tmux -L "$socket" capture-pane -p -S - >"$work/screen"
masked <"$work/pipe.out" >"$work/pipe.masked"
masked <"$work/screen" >"$work/screen.masked"
[ "$(grep -c '(s):' "$work/pipe.masked")" -eq 4 ] || { echo "the piped run has no four result lines"; fail=1; }
if ! diff "$work/pipe.masked" "$work/screen.masked" >"$work/diff"; then
    echo "the console's final screen differs from what a pipe gets:"
    cat "$work/diff"
    fail=1
fi
[ $fail -eq 0 ] || exit 1
echo "status line at the console ($seen), none in a pipe or a file, final screen as through a pipe"
