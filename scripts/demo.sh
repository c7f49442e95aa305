#!/bin/sh
# The demo of the README: builds the kit and runs the bootstrapper on it under
# Wine, as a user would start it, then shows what it did: its diagnostic log
# and the command line the (stand-in) product setup received.
#
# With a display ($DISPLAY set) the run is interactive: pick a language and
# go through the dialogs. Without one it is a silent run on a virtual display.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/install-deps.sh
scripts/build.sh >/dev/null

prefix="$root/build/x64/wineprefix"
scripts/wine-prefix.sh "$prefix"
WINEPREFIX="$prefix"
. scripts/wine-env.sh

# A kit folder of its own, so that the demo leaves the build's kit untouched.
demo="$root/build/x64/demo"
rm -rf "$demo"
mkdir -p "$demo/kit" "$demo/temp"
cp "$root/build/x64/kit/"* "$demo/kit/"
windows_temp="Z:$(echo "$demo/temp" | tr / '\\')"

cd "$demo/kit"
# The prefix's own environment would override a TMP given from here: it is
# set inside Windows, so that the logs land in the demo folder.
in_kit="set TMP=$windows_temp&& set TEMP=$windows_temp&& start /wait SetupBootstrapper.exe"
if [ -n "${DISPLAY:-}" ]; then
    echo "demo: starting SetupBootstrapper.exe (interactive: choose a language, go through the dialogs)"
    "$WINE64" cmd /c "$in_kit" || true
else
    echo "demo: no display; silent run on a virtual display: SetupBootstrapper.exe /s setup.iss /l 1031"
    xvfb-run -a -s "-screen 0 1024x768x24" "$WINE64" cmd /c "$in_kit /s setup.iss /l 1031" || true
fi
"$WINESERVER64" -w >/dev/null 2>&1 || true

log="$demo/temp/dravo_v9_installhelperBS.csv"
echo
echo "=== diagnostic log ($log)"
if [ -f "$log" ]; then iconv -f UTF-16 -t UTF-8 "$log"; else echo "(none written)"; fi
echo
echo "=== command line received by morvanto9.exe"
if [ -f "$demo/kit/morvanto9-received.txt" ]; then
    iconv -f UTF-16 -t UTF-8 "$demo/kit/morvanto9-received.txt"; echo
else
    echo "(the setup was not started)"
fi
