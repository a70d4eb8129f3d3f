# Sourced by test scripts that run a Windows program as the unprivileged user
# "nobody": Wine run as root ignores permissions, so access-denied cases need
# another user, with a Wine prefix of its own.
#   source as_nobody.sh PREFIX      (exits 77, "skipped", unless run as root)
#   as_nobody wine PROGRAM.exe ...  runs a command as nobody in that prefix
# The prefix's wineserver is stopped when the sourcing script exits.
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
    echo "needs root (to run programs as another user): skipped"
    exit 77
fi
nobody_prefix=$(realpath -m "$1")

as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$nobody_prefix.home" WINEPREFIX="$nobody_prefix" WINEDEBUG=-all \
        WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
}

stop_nobody_wine() {
    as_nobody wineserver -k 2>/dev/null
    as_nobody wineserver -w 2>/dev/null
}

mkdir -p "$nobody_prefix" "$nobody_prefix.home"
chown nobody:nogroup "$nobody_prefix" "$nobody_prefix.home"
# Wine's start-up helpers must not hold the caller's output pipe: create the
# prefix and start the server with every inherited descriptor closed.
as_nobody sh -c 'wineserver -p10 && wine wineboot -i' </dev/null >/dev/null 2>&1 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-
