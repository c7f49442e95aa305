#!/bin/sh
# Makes a private Wine prefix of the tests, the demo or the benchmark, once.
# A prefix that is already complete (its stamp matches) is left as it is.
#
# Usage: scripts/wine-prefix.sh <prefix directory> win64|win32
#   win64  a 64-bit Windows whose C:\windows\syswow64 the 32-bit Wine fills,
#          as on 64-bit Windows: the x86 kit runs there under WoW64
#   win32  a 32-bit Windows, as most Windows 2000 and XP machines were: no
#          Wow6432Node, and only 32-bit programs run there
set -eu
prefix="$1" arch="$2"
case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac
case "$arch" in
    win32|win64) ;;
    *) echo "usage: scripts/wine-prefix.sh <prefix> win64|win32" >&2; exit 2 ;;
esac
WINEPREFIX="$prefix"
. "$(dirname "$0")/wine-env.sh"
# Until the stamp below names it, the prefix's architecture is this.
export WINEARCH="$arch"
fail() { echo "wine-prefix: $*" >&2; exit 1; }

stamp="$prefix/.bootstrapper-prefix"
recipe="4"   # raise it when the recipe below changes, to rebuild old prefixes
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe $arch $(readlink "$BS_WINE_ROOT")" ]; then
    exit 0
fi
"$BS_SCRIPTS/wine-emulator.sh"

# A half-made prefix from an interrupted run is not worth repairing.
[ ! -d "$prefix" ] || wineserver -k >/dev/null 2>&1 || true
rm -rf "$prefix"
mkdir -p "$prefix"
wine wineboot -i </dev/null >"$prefix.boot.log" 2>&1 ||
    { cat "$prefix.boot.log" >&2; fail "wineboot failed in $prefix"; }
rm -f "$prefix.boot.log"
if [ "$arch" = win64 ]; then
    [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] ||
        fail "the 64-bit prefix has no 32-bit system folder: the 32-bit Wine did not run"
else
    [ -f "$prefix/drive_c/windows/system32/kernel32.dll" ] && [ ! -d "$prefix/drive_c/windows/syswow64" ] ||
        fail "$prefix is not a 32-bit Windows"
fi

# Without Wine's own fonts dialogs lose Tahoma and Marlett and change size.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp "$BS_WINE_ROOT"/usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/"

reg() { wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
# No window manager runs under Xvfb; unmanaged windows close without the 2 s
# stall that Wine otherwise waits for one.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
# A crashing test program must fail its test, not wait for a click.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0

# The registry reaches the disk only when the server exits.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
echo "$recipe $arch $(readlink "$BS_WINE_ROOT")" >"$stamp"
