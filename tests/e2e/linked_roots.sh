#!/usr/bin/env bash
# Makes (or removes) a drive letter and a UNC share in the test Wine prefix that
# lead to empty folders of the build tree:  L:\ -> DIR/drive and
# \\qmlocal\share -> DIR/share. Wine resolves both through links beside the
# prefix (dosdevices/l: and dosdevices/unc/qmlocal/share); its own
# DefineDosDeviceW does not reach the file system.
#   linked_roots.sh make|remove PREFIX DIR
set -eu
action=$1
prefix=$(realpath -m "$2")
dir=$(realpath -m "$3")
here=$(cd "$(dirname "$0")/../.." && pwd)

case $action in
make)
    # The prefix is made by the first Wine program; make sure it exists.
    [ -d "$prefix/dosdevices" ] || "$here/scripts/wine-run" "$prefix" cmd /c exit >/dev/null 2>&1
    rm -rf "$dir"
    mkdir -p "$dir/drive" "$dir/share" "$prefix/dosdevices/unc/qmlocal"
    ln -sfn "$dir/drive" "$prefix/dosdevices/l:"
    ln -sfn "$dir/share" "$prefix/dosdevices/unc/qmlocal/share"
    echo "L:\\ -> $dir/drive, \\\\qmlocal\\share -> $dir/share"
    ;;
remove)
    rm -f "$prefix/dosdevices/l:" "$prefix/dosdevices/unc/qmlocal/share"
    rmdir "$prefix/dosdevices/unc/qmlocal" 2>/dev/null || true
    rm -rf "$dir"
    ;;
*)
    echo "usage: linked_roots.sh make|remove PREFIX DIR" >&2
    exit 2
    ;;
esac
