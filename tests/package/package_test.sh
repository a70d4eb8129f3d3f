#!/usr/bin/env bash
# The release zip of scripts/package, checked as a Windows administrator gets it:
#   package_test.sh SOURCE_DIR BUILD_DIR WINEPREFIX
# - SHA256SUMS matches the zip; the zip holds the exe and three text files, all
#   in CR LF; README.txt carries the exe's own -help output;
# - unpacked into a fresh folder, the exe shows the version of the zip's name
#   and a three-iteration run against a fresh folder succeeds and leaves nothing
#   there or beside the exe;
# - THIRD-PARTY-NOTICES.txt holds the licence of every library in the exe: the
#   Debian packages of the archive members the link takes (relinked with a
#   trace), of the headers its objects include (ninja's deps) and the vendored
#   folders its resources embed;
# - a second packaging, after the exe's time stamp, the umask and the time zone
#   changed, gives the same bytes.
set -uo pipefail
src=$(realpath "$1")
build=$(realpath "$2")
prefix=$3
if [ "$build" != "$src/build/windows" ]; then
    echo "SKIP: scripts/package packages $src/build/windows, not this build tree ($build)"
    exit 77
fi
dist=$src/build/dist
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

"$src/scripts/package" >"$work/package.log" 2>&1 || {
    cat "$work/package.log"
    echo "FAIL: scripts/package failed"
    exit 1
}

# --- The zip and its checksum ------------------------------------------------
zip_name=$(awk '{print $2}' "$dist/SHA256SUMS")
[[ "$zip_name" =~ ^Quillmarsh-([0-9.]+)-win64\.zip$ ]] || fail "SHA256SUMS names <$zip_name>, not Quillmarsh-<version>-win64.zip"
version=${BASH_REMATCH[1]:-}
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match $zip_name"
zip=$dist/$zip_name
first_hash=$(sha256sum "$zip" | cut -d' ' -f1)

unpacked=$work/Quillmarsh
python3 - "$zip" "$unpacked" <<'EOF' || failures=$((failures + 1))
import sys, zipfile
expected = ["Quillmarsh.exe", "README.txt", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt"]
with zipfile.ZipFile(sys.argv[1]) as archive:
    names = archive.namelist()
    archive.extractall(sys.argv[2])
    bad = []
    if sorted(names) != sorted(expected):
        bad.append(f"the zip holds {names}, not {expected}")
    for name in names:
        if name.endswith(".exe"):
            continue
        data = archive.read(name)
        if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
            bad.append(f"{name} has line ends other than CR LF")
        if not data.endswith(b"\r\n"):
            bad.append(f"{name} does not end in CR LF")
for message in bad:
    print("FAIL:", message)
sys.exit(1 if bad else 0)
EOF
[ -f "$unpacked/Quillmarsh.exe" ] || {
    echo "FAIL: no Quillmarsh.exe in the zip"
    exit 1
}

# --- The unpacked exe under Wine, started from its folder ----------------------
run_unpacked() { (cd "$unpacked" && "$src/scripts/wine-run" "$prefix" "$unpacked/Quillmarsh.exe" "$@"); }
before=$(ls -A "$unpacked")
run_unpacked -help 2>&1 | tr -d '\r' >"$work/help"
shown=$(sed -n 's/^Version: *//p' "$work/help")
if [ -z "$version" ] || [ "$shown" != "$version" ]; then
    fail "-help shows version <$shown>, the zip's name <$version>"
fi

target=$work/target
mkdir "$target"
run_unpacked -target "$(winpath "$target")" -iterations 3 >"$work/run" 2>&1
code=$?
run=$(tr -d '\r' <"$work/run")
[ "$code" -eq 0 ] || fail "the three-iteration run exited with $code: $run"
for line in "Write with custom function (s):" "ReadPrivateProfileString (s):" "Read with custom function (s):" \
    "Create/delete loop (s):" "Quillmarsh finished successfully"; do
    grep -qF "$line" <<<"$run" || fail "the run printed no <$line>"
done
[ -z "$(ls -A "$target")" ] || fail "the run left in the target: $(ls -A "$target")"
[ "$(ls -A "$unpacked")" = "$before" ] || fail "the run left beside the exe: $(ls -A "$unpacked")"

# README.txt carries what the exe prints for -help, line by line and in order.
python3 - "$unpacked/README.txt" "$work/help" <<'EOF' || fail "README.txt does not carry the exe's -help output"
import sys
readme = [line.strip() for line in open(sys.argv[1], encoding="utf-8").read().splitlines()]
usage = [line.strip() for line in open(sys.argv[2], encoding="utf-8").read().splitlines() if line.strip()]
at = 0
for line in usage:
    try:
        at = readme.index(line, at) + 1
    except ValueError:
        print(f"missing or out of order: <{line}>")
        sys.exit(1)
EOF

# --- Every library in the exe has its licence in the notices -----------------
link=$(cd "$build" && ninja -t commands Quillmarsh.exe | tail -n 1)
link=${link#: && }
link=${link% && :}
# -t -t: every input file and every archive member the link takes.
(cd "$build" && eval "$link -o '$work/relinked.exe' -Wl,--out-implib,'$work/relinked.a' -Wl,-t,-t") \
    >"$work/trace" 2>&1 || fail "relinking with a trace failed: $(tail -n 5 "$work/trace")"
(cd "$build" && ninja -t inputs Quillmarsh.exe) >"$work/inputs"
mapfile -t objects < <(grep -E '\.(obj|res)$' "$work/inputs")
(cd "$build" && ninja -t deps "${objects[@]}") >"$work/deps"
python3 - "$src" "$build" "$work" "$unpacked/THIRD-PARTY-NOTICES.txt" <<'EOF' || failures=$((failures + 1))
import os, re, subprocess, sys
src, build, work, notices_path = sys.argv[1:]
notices = open(notices_path, "rb").read().replace(b"\r\n", b"\n")

def outside_tree(paths):
    resolved = {os.path.realpath(os.path.join(build, p)) for p in paths}
    return sorted(p for p in resolved if not p.startswith((src + "/", build + "/")))

def packages_of(paths):
    result = subprocess.run(["dpkg-query", "-S", *paths], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"FAIL: files in the exe that no Debian package holds: {result.stderr.strip()}")
    owners = set()
    for line in result.stdout.splitlines():
        for owner in line.split(": ", 1)[0].split(", "):
            owners.add(owner.split(":")[0])
    return owners

linked = []
for line in open(f"{work}/trace").read().splitlines():
    member = re.match(r"^\((.+)\)[^()]+$", line)
    if member:
        linked.append(member.group(1))
    elif re.search(r"\.(o|obj|res)$", line):
        linked.append(line)
headers = [line.strip() for line in open(f"{work}/deps") if line.startswith(" ") and line.strip()]
from_link, from_headers = packages_of(outside_tree(linked)), packages_of(outside_tree(headers))
if not from_link or not from_headers:
    sys.exit("FAIL: no library derived from the link trace or the headers: their format changed")

missing = []
for package in sorted(from_link | from_headers):
    copyright = f"/usr/share/doc/{package}/copyright"
    if not os.path.isfile(copyright) or open(copyright, "rb").read() not in notices:
        missing.append(f"{package} ({copyright})")
vendored = {m.group(1) for m in (re.match(rf"^{re.escape(src)}/third_party/([^/]+)/", line)
                                 for line in open(f"{work}/inputs")) if m}
for folder in sorted(vendored):
    licence = f"{src}/third_party/{folder}/LICENSE"
    if not os.path.isfile(licence) or open(licence, "rb").read() not in notices:
        missing.append(f"third_party/{folder}/LICENSE")
print("libraries in the exe:", ", ".join(sorted(from_link | from_headers) + sorted(vendored)))
for name in missing:
    print("FAIL: THIRD-PARTY-NOTICES.txt lacks the licence of", name)
sys.exit(1 if missing else 0)
EOF

# --- Reproducible: the same inputs give the same bytes ---------------------------
# The exe's time stamp, the umask and the time zone are not inputs.
touch "$build/Quillmarsh.exe"
(umask 077 && TZ=Asia/Kolkata "$src/scripts/package") >"$work/package2.log" 2>&1 ||
    fail "the second scripts/package failed: $(tail -n 5 "$work/package2.log")"
second_hash=$(sha256sum "$zip" 2>/dev/null | cut -d' ' -f1)
[ "$second_hash" = "$first_hash" ] || fail "a second packaging gave other bytes ($first_hash, then $second_hash)"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package: $zip_name checked"
