#!/bin/sh
# Makes the private Wine prefix of the tests and the demo, once. A prefix that
# is already complete (its stamp file matches) is left as it is.
# Usage: scripts/wine-prefix.sh <prefix directory>
set -eu
prefix="$1"
WINEPREFIX="$prefix"
. "$(dirname "$0")/wine-env.sh"

stamp="$prefix/.bootstrapper-prefix"
recipe="3"   # raise it when the recipe below changes, to rebuild old prefixes
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then
    exit 0
fi

# A half-made prefix from an interrupted run is not worth repairing.
"$WINESERVER64" -k >/dev/null 2>&1 || true
rm -rf "$prefix"
mkdir -p "$prefix"

# Booted with Wine's 32-bit libraries (WINEDLLPATH, scripts/wine-i386.sh),
# the prefix gets its C:\windows\syswow64 and runs the x86 product too.
[ -d "$WINEDLLPATH/i386-windows" ] ||
    { echo "wine-prefix: no 32-bit Wine libraries in $WINEDLLPATH (scripts/install-deps.sh fetches them)" >&2; exit 1; }
"$WINE64" wineboot -i </dev/null >/dev/null 2>&1
[ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] ||
    { echo "wine-prefix: the prefix has no 32-bit system folder" >&2; exit 1; }

# Without Wine's own fonts dialogs lose Tahoma and Marlett and change size.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true

reg() { "$WINE64" reg add "$@" /f </dev/null >/dev/null 2>&1; }
# No window manager runs under Xvfb; unmanaged windows close without the 2 s
# stall that Wine otherwise waits for one.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
# A crashing test program must fail its test, not wait for a click.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0

# The registry reaches the disk only when the server exits.
"$WINESERVER64" -k >/dev/null 2>&1 || true
"$WINESERVER64" -w >/dev/null 2>&1 || true
echo "$recipe" > "$stamp"
