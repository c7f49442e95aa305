#!/bin/sh
# The benchmark (not a test): how the bootstrapper compares with minimal
# programs doing the same platform work, and how large the x86 product is.
# See docs/benchmark.md for what each figure means.
#
# Usage: scripts/benchmark.sh [runs]   (runs per program and figure, at least 10; default 15)
#
# Installs and builds what it needs, then runs both kits under wine64 (the x86
# one in its WoW64 mode) on a virtual display, with one wineserver kept alive,
# in a Wine prefix of its own (the machine state set below must not leak into
# the tests' prefix).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
bench="$root/build/x64/benchmark"
kit="$bench/kit"
WINEPREFIX="$bench/wineprefix"

# The measuring part, run again by this script on the virtual display.
if [ "${1:-}" = "--on-display" ]; then
    runs="$2"
    . scripts/wine-env.sh
    "$WINESERVER64" -p </dev/null >/dev/null 2>&1
    "$WINE64" cmd /c exit 0 </dev/null >/dev/null 2>&1
    # Nothing missing: the values that the .NET Framework 2.0 and MDAC 2.8
    # detections read (32-bit view). Windows Installer comes with every
    # Windows that Wine emulates by default, an English user needs no
    # language pack, and the product is not installed.
    "$WINE64" reg add 'HKLM\Software\Wow6432Node\Microsoft\NET Framework Setup\NDP\v2.0.50727' \
        /v Install /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
    "$WINE64" reg add 'HKLM\Software\Wow6432Node\Microsoft\DataAccess' \
        /v FullInstallVer /t REG_SZ /d 2.81.1117.0 /f </dev/null >/dev/null 2>&1
    status=0
    (cd "$kit" && "$WINE64" bsbench.exe silent "$runs" </dev/null) || status=1
    # The download-and-run stand-in keeps a journal of every installation it
    # is asked for; with nothing missing there is none.
    if [ -f "$kit/downloadandrun-journal.txt" ]; then
        echo "benchmark: the silent runs installed prerequisites; that figure is void" >&2
        status=1
    fi
    # The product itself, the x86 kit, in Wine's WoW64 mode (the reference
    # program stays the 64-bit one); and the same kit built with ole32 and
    # oleaut32 imported at start instead of on first use: what the choice
    # of delay-loading them saves a silent run.
    for variant in x86 x86-com-at-start; do
        echo "benchmark: the $variant kit"
        (cd "$bench/kit-$variant" && "$WINE64" bsbench.exe silent "$runs" </dev/null) || status=1
    done
    (cd "$kit" && "$WINE64" bsbench.exe dialog "$runs" </dev/null) || status=1
    # Not a target: how much of the dialog figure the platform's part is.
    (cd "$kit" && "$WINE64" bsbench.exe dialog-platform "$runs" </dev/null) || status=1
    "$WINESERVER64" -k >/dev/null 2>&1 || true
    "$WINESERVER64" -w >/dev/null 2>&1 || true
    exit $status
fi

runs="${1:-15}"
case "$runs" in
    ''|*[!0-9]*) echo "usage: scripts/benchmark.sh [runs]" >&2; exit 2 ;;
esac
if [ "$runs" -lt 10 ]; then
    echo "benchmark: at least 10 runs per figure" >&2
    exit 2
fi

scripts/install-deps.sh
scripts/build.sh >/dev/null
cmake --preset x86 -B "$root/build/x86-com-at-start" -DBOOTSTRAPPER_DELAY_LOAD_COM=OFF >/dev/null
cmake --build "$root/build/x86-com-at-start" -j 2 --target SetupBootstrapper morvanto9 downloadandrun >/dev/null
scripts/wine-prefix.sh "$WINEPREFIX"

# A kit of its own: the kit's files and the bench programs side by side.
rm -rf "$kit"
mkdir -p "$kit"
cp "$root/build/x64/kit/"* "$kit/"
cp "$bench/bin/"*.exe "$kit/"
for variant in x86 x86-com-at-start; do
    rm -rf "$bench/kit-$variant"
    mkdir -p "$bench/kit-$variant"
    cp "$root/build/$variant/kit/"* "$bench/bin/"*.exe "$bench/kit-$variant/"
    rm -f "$bench/kit-$variant/"*-received.txt "$bench/kit-$variant/"*-journal.txt
done

. scripts/wine-env.sh
echo "benchmark: $runs runs of each program per figure, alternating; $("$WINE64" --version 2>/dev/null)"
status=0
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/benchmark.sh" --on-display "$runs" || status=1

# The x86 product's size without the embedded parser libraries ("BIN" 110
# and 111), read with Debian's python3-pefile as the static tests read it.
/usr/bin/python3 - "$root/build/x86/kit/SetupBootstrapper.exe" <<'PYTHON' || status=1
import os, sys, pefile
path = sys.argv[1]
sizes = {entry.id: language.data.struct.Size
         for kind in pefile.PE(path).DIRECTORY_ENTRY_RESOURCE.entries if str(kind.name) == 'BIN'
         for entry in kind.directory.entries for language in entry.directory.entries}
if not (sizes.get(110) and sizes.get(111)):
    sys.exit('benchmark: %s lacks "BIN" 110 or 111' % path)
total = os.path.getsize(path)
without = total - sizes[110] - sizes[111]
print('size: file %d bytes, BIN 110 %d bytes, BIN 111 %d bytes' % (total, sizes[110], sizes[111]))
print('size without the embedded libraries: %d bytes = %.1f KiB (target 160 KiB)' % (without, without / 1024))
PYTHON
exit $status
