#!/bin/sh
# The benchmark (not a test): how the bootstrapper compares with minimal
# programs doing the same platform work, what delay-loading COM saves a
# silent run, and how large the x86 product is. See docs/benchmark.md for
# what each figure means.
#
# Usage: scripts/benchmark.sh [runs]   (runs per program and figure, at least 10; default 40)
#
# Installs and builds what it needs, then times the x64 build of the same
# sources under wine64, on a virtual display, with one wineserver kept
# alive, in a Wine prefix of its own (the machine state set below must not
# leak into the tests' prefixes). The x86 kit's timings are left out where
# its 32-bit Wine runs under an emulator: emulation time is not product time.
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
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1
    # Nothing missing: the values that the .NET Framework 2.0 and MDAC 2.8
    # detections read (32-bit view). Windows Installer comes with every
    # Windows that Wine emulates by default, an English user needs no
    # language pack, and the product is not installed.
    wine reg add 'HKLM\Software\Wow6432Node\Microsoft\NET Framework Setup\NDP\v2.0.50727' \
        /v Install /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
    wine reg add 'HKLM\Software\Wow6432Node\Microsoft\DataAccess' \
        /v FullInstallVer /t REG_SZ /d 2.81.1117.0 /f </dev/null >/dev/null 2>&1
    status=0
    (cd "$kit" && wine bsbench.exe silent "$runs" </dev/null) || status=1
    # The same run against a program that makes the silent run's platform
    # calls and writes its log: what stays above it is ours.
    (cd "$kit" && wine bsbench.exe silent-platform "$runs" </dev/null) || status=1
    # That platform work against starting the setup alone: the lowest
    # silent figure that any program doing the bootstrapper's work reaches.
    (cd "$kit" && wine bsbench.exe silent-floor "$runs" </dev/null) || status=1
    # Most of that platform work is the log: what one of its lines costs.
    (cd "$kit" && wine bslogline.exe 200 </dev/null) || status=1
    # The download-and-run stand-in keeps a journal of every installation it
    # is asked for; with nothing missing there is none.
    if [ -f "$kit/downloadandrun-journal.txt" ]; then
        echo "benchmark: the silent runs installed prerequisites; those figures are void" >&2
        status=1
    fi
    # The same kit built with ole32 and oleaut32 imported at start instead
    # of on first use: what the choice of delay-loading them saves a silent
    # run (the mechanism is the same in both builds).
    echo "benchmark: the kit with COM imported at start"
    (cd "$bench/kit-com-at-start" && wine bsbench.exe silent "$runs" </dev/null) || status=1
    (cd "$kit" && wine bsbench.exe dialog "$runs" </dev/null) || status=1
    # The same against a program that makes the full-UI run's platform calls
    # until its dialog shows and writes its log: what stays above it is ours.
    (cd "$kit" && wine bsbench.exe dialog-platform "$runs" </dev/null) || status=1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    exit $status
fi

runs="${1:-40}"
case "$runs" in
    ''|*[!0-9]*) echo "usage: scripts/benchmark.sh [runs]" >&2; exit 2 ;;
esac
if [ "$runs" -lt 10 ]; then
    echo "benchmark: at least 10 runs per figure" >&2
    exit 2
fi

scripts/install-deps.sh
scripts/build.sh >/dev/null
cmake --preset x64 -B "$root/build/x64-com-at-start" -DBOOTSTRAPPER_DELAY_LOAD_COM=OFF >/dev/null
cmake --build "$root/build/x64-com-at-start" -j 2 --target SetupBootstrapper morvanto9 downloadandrun >/dev/null
scripts/wine-prefix.sh "$WINEPREFIX" win64

# A kit of its own: the kit's files and the bench programs side by side;
# without the product's package, whose installation is not what is timed.
rm -rf "$kit" "$bench/kit-com-at-start"
mkdir -p "$kit" "$bench/kit-com-at-start"
cp "$root/build/x64/kit/"* "$bench/bin/"*.exe "$kit/"
cp "$root/build/x64-com-at-start/kit/"* "$bench/bin/"*.exe "$bench/kit-com-at-start/"
rm -f "$kit/morvanto9.msi" "$bench/kit-com-at-start/morvanto9.msi" "$kit/"*-received.txt "$kit/"*-journal.txt

. scripts/wine-env.sh
echo "benchmark: $runs runs of each program per figure, alternating; $(wine --version 2>/dev/null)"
# The product is the x86 kit. Its timings mean something only where its
# 32-bit Wine runs natively; here a 32-bit Linux program runs through the
# binfmt_misc entry that hands it to qemu-i386.
if [ -f "$BS_BINFMT_ENTRY" ] && grep -q '^interpreter .*qemu' "$BS_BINFMT_ENTRY"; then
    echo "benchmark: the x86 kit's timings are left out: its 32-bit Wine runs under qemu-i386 here," \
        "and emulation time is not product time. The x64 build of the same sources stands in for it."
fi
# Wine on one processor. Nearly every call a Windows program makes under
# Wine is a round trip to its wineserver; on this virtual machine waking a
# process on the other processor made each such trip several times slower
# (bslogline: a log line about 300 us on two processors, about 80 on one),
# which is the machine's latency, not the programs' work, and scattered the
# figures by tenths (docs/benchmark.md). BS_BENCH_CPUS=all runs Wine on
# every processor, as before; any other value is a taskset list.
cpus="${BS_BENCH_CPUS:-0}"
pin=""
if [ "$cpus" != all ]; then
    pin="taskset -c $cpus"
    echo "benchmark: Wine runs on processor $cpus only (BS_BENCH_CPUS=all: on every processor)"
fi
# A server left from earlier would not be pinned: the measuring part starts its own.
wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
status=0
# Everything printed is kept for the summary at the end; a pipe keeps no
# exit code in sh, so a failure leaves a mark of its own.
results="$bench/results.txt"
rm -f "$bench/failed"
{ $pin xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/benchmark.sh" --on-display "$runs" ||
    touch "$bench/failed"; } | tee "$results"

# The x86 product's size without the embedded parser libraries ("BIN" 110
# and 111), read with Debian's python3-pefile as the static tests read it.
(/usr/bin/python3 - "$root/build/x86/kit/SetupBootstrapper.exe" <<'PYTHON' || touch "$bench/failed"
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
print('size without the embedded libraries: %d bytes = %.1f KiB (target 200 KiB, later 160 KiB)' % (without, without / 1024))
PYTHON
) | tee -a "$results"
[ ! -f "$bench/failed" ] || status=1

# Each figure against its target (docs/benchmark.md, "The figures"). The
# second silent line is the kit with COM imported at start, which has none.
awk '
    function verdict(value, target) { return value <= target ? "met" : "missed" }
    { sub(/\r$/, "") }
    / median of / {
        figure = $1
        if (figure == "silent" && seen_silent++) figure = "silent, COM at start"
        ratio[figure] = $NF
        order[++n] = figure
    }
    /^size without the embedded libraries/ { for (i = 1; i < NF; i++) if ($i == "=") size = $(i + 1) }
    END {
        target["silent"] = 1.20; target["silent-platform"] = 1.05
        target["dialog"] = 1.30; target["dialog-platform"] = 1.05
        print "summary:"
        for (i = 1; i <= n; i++) {
            f = order[i]
            if (f in target) printf "  %-22s ratio %s   target %.2f   %s\n", f, ratio[f], target[f], verdict(ratio[f], target[f])
            else printf "  %-22s ratio %s   (no target)\n", f, ratio[f]
        }
        if (size != "") printf "  %-22s %s KiB   target 200 KiB   %s\n", "size", size, verdict(size, 200)
    }' "$results"
exit $status
