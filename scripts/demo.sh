#!/bin/sh
# The demo of the README: builds the kit and shows its life cycle under Wine,
# on a 64-bit Windows as most machines are now:
#
#   1. a first installation: the bootstrapper, then the kit's setup, which
#      hands the sample product's package to the Windows Installer;
#   2. what the Windows Installer now knows of the product;
#   3. the same kit again: an update, which keeps the installed language
#      and clears the installer's memory of the package's place;
#   4. the product's removal.
#
# With a display ($DISPLAY set) the two runs are interactive: pick a
# language and go through the dialogs. Without one they are silent, on a
# virtual display: "/s setup.iss /l 1031", then "/s setup.iss".
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
prefix="$root/build/x86/wine/win64"
demo="$root/build/x86/demo"
product_code="{CBE19707-CF6D-4819-9574-3DFD568960FA}"

if [ "${1:-}" != --on-display ]; then
    scripts/install-deps.sh
    scripts/build.sh >/dev/null
    scripts/wine-prefix.sh "$prefix" win64
    if [ -n "${DISPLAY:-}" ]; then
        exec "$0" --on-display interactive
    fi
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display silent
fi
mode="$2"
WINEPREFIX="$prefix"
. scripts/wine-env.sh

# A kit folder of its own, so that the demo leaves the build's kit untouched.
rm -rf "$demo"
mkdir -p "$demo/kit" "$demo/temp"
cp "$root/build/x86/kit/"* "$demo/kit/"
windows_temp="Z:$(echo "$demo/temp" | tr / '\\')"
log="$demo/temp/dravo_v9_installhelperBS.csv"
wineserver -p </dev/null >/dev/null 2>&1 || true
# A product left by an earlier demo that was stopped half-way goes first.
wine msiexec /x "$product_code" /qn </dev/null >/dev/null 2>&1 || true

# The prefix's own environment would override a TMP given from here: it is
# set inside Windows, so that the logs land in the demo folder.
kit() {
    (cd "$demo/kit" &&
        wine cmd /c "set TMP=$windows_temp&& set TEMP=$windows_temp&& start /wait SetupBootstrapper.exe $*" \
            </dev/null) || true
}
say() { printf '\n=== %s\n' "$*"; }
received() {
    if [ -f "$demo/kit/morvanto9-received.txt" ]; then
        echo "the setup was started as:"
        printf '  %s\n' "$(iconv -f UTF-16 -t UTF-8 "$demo/kit/morvanto9-received.txt")"
        rm -f "$demo/kit/morvanto9-received.txt"
    else
        echo "the setup was not started"
    fi
}
installed() {
    wine uninstaller --list </dev/null 2>/dev/null | tr -d '\r' | grep -F "$product_code" ||
        echo "  (the Windows Installer knows no Zel Morvanto 9.5)"
}

if [ "$mode" = interactive ]; then
    say "1. first installation: SetupBootstrapper.exe (choose a language, go through the dialogs)"
    kit
else
    say "1. first installation: SetupBootstrapper.exe /s setup.iss /l 1031"
    kit /s setup.iss /l 1031
fi
received
mv "$log" "$demo/temp/first-run.csv" 2>/dev/null || true

say "2. what the Windows Installer knows (wine uninstaller --list)"
installed
echo "the product's folder (HKLM\\SOFTWARE\\Zel\\DRVS9, Path, 32-bit view):"
wine reg query 'HKLM\SOFTWARE\Zel\DRVS9' /v Path /reg:32 </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_SZ *//p' |
    sed 's/^/  /'
settings="$prefix/drive_c/Program Files (x86)/Zel/Morvanto 9.5/crmiini.xml"
if [ -f "$settings" ]; then
    echo "its crmiini.xml:"
    sed 's/^/  /' "$settings"
fi

if [ "$mode" = interactive ]; then
    say "3. the same kit again: SetupBootstrapper.exe (an update: no language dialog)"
    kit
else
    say "3. the same kit again: SetupBootstrapper.exe /s setup.iss (an update, on an English machine)"
    kit /s setup.iss
fi
received
echo "what decided the update ($log):"
if [ -f "$log" ]; then
    iconv -f UTF-16 -t UTF-8 "$log" | tr -d '\r' | grep -E \
        'Product is installed|downgrade|Zel_DeleteDRVS9CachedKey: key:|app language ID is|running installation|with args' |
        cut -c21- | sed 's/^/  /'
else
    echo "  (no log written)"
fi

say "4. removal: msiexec /x $product_code /qn"
wine msiexec /x "$product_code" /qn </dev/null >/dev/null 2>&1 && echo "removed" || echo "msiexec failed"
installed

say "the logs"
echo "  $demo/temp/first-run.csv and $log (UTF-16: iconv -f UTF-16 -t UTF-8)"
echo "  $demo/temp/DRAVO_v9_InstallKitLog.log (the Windows Installer's own, of the last run)"
# The prefix's wineserver ends before the virtual display does.
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true
