#!/bin/sh
# Runs a Windows program in a prefix with the project's Wine, inside the
# Wine root (scripts/wine-root.sh), as CTest's emulator and for every script:
#
#   scripts/wine-run.sh <prefix> <program> [arguments...]
#   scripts/wine-run.sh <prefix> --server <wineserver options...>
#
# The loader is the prefix's: wine64 for a 64-bit prefix (it hands 32-bit
# programs to the 32-bit Wine, as WoW64 does), the 32-bit wine for a 32-bit
# one (WINEARCH, else what scripts/wine-prefix.sh noted in the prefix).
#
# The root is entered in a mount namespace of its own: /dev, /proc,
# /tmp (the X display's socket and the wineserver's), the checkout, and the
# host's users and clock are bound into it at the same paths. Every Wine
# process of a prefix must see the same files as its wineserver, so nothing
# else is: programs, prefixes and scratch folders live in the checkout or
# under /tmp.
set -eu
prefix="$1"
shift
case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac
WINEPREFIX="$prefix"
. "$(dirname "$0")/wine-env.sh"

[ -f "$BS_WINE_ROOT/.complete" ] ||
    { echo "wine-run: no Wine root in $BS_WINE_CACHE (scripts/install-deps.sh makes it)" >&2; exit 1; }
[ -f "$BS_BINFMT_ENTRY" ] || "$BS_SCRIPTS/wine-emulator.sh"

arch="${WINEARCH:-}"
[ -n "$arch" ] || arch=$(cut -d' ' -f2 "$prefix/.bootstrapper-prefix" 2>/dev/null || true)
case "$arch" in
    win32) loader=/usr/lib/wine/wine ;;
    *) loader=/usr/lib/wine/wine64 ;;
esac
[ "${1:-}" != --server ] || { shift; loader=/usr/lib/wine/wineserver; }

case "$PWD/" in
    "$BS_PROJECT"/*|/tmp/*) ;;
    *) echo "wine-run: Wine sees only the checkout and /tmp, not the current folder $PWD" >&2; exit 1 ;;
esac

# Wine's helper processes (the desktop, services, a COM surrogate) outlive
# the program and inherit its standard output and error. When those are a
# pipe, the reader (CTest) would wait for the helpers too: the program's
# output then goes through a file, passed on when the program has ended.
output=""
if [ "${1:-}" != --server ] && { [ -p /dev/stdout ] || [ -p /dev/stderr ]; }; then
    output=$(mktemp /tmp/wine-run.XXXXXX)
    exec 3>&1 4>&2 >"$output" 2>&1
fi

# shellcheck disable=SC2016
set -- unshare --mount --propagation private /bin/sh -c '
    set -e
    root=$(readlink -f "$1") project=$2
    shift 2
    mount --rbind /dev "$root/dev"
    mount --rbind /proc "$root/proc"
    mount --bind /tmp "$root/tmp"
    mkdir -p "$root$project"
    mount --bind "$project" "$root$project"
    for file in /etc/passwd /etc/group /etc/localtime; do
        [ ! -e "$file" ] || mount --bind "$file" "$root$file"
    done
    exec unshare --root="$root" --wd="$PWD" "$@"
' wine-run "$BS_WINE_ROOT" "$BS_PROJECT" "$loader" "$@"
if [ -z "$output" ]; then
    exec "$@"
fi
status=0
"$@" 3>&- 4>&- || status=$?
exec 1>&3 2>&4
cat "$output"
rm -f "$output"
exit $status
