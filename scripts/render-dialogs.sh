#!/bin/sh
# Takes a picture of every dialog of the bootstrapper and saves it as PNG:
#
#   language.png                          the language-selection dialog
#   prerequisites-en|it|de.png            the prerequisites dialog, two lines listed
#   failure-en|it|de.png                  the prerequisite failure dialog
#   downgrade.png                         the downgrade message
#
# Usage: scripts/render-dialogs.sh [output folder]      (default: docs/pictures)
#
# The pictures of docs/ change only when someone runs this on purpose. It
# builds dialogcamera.exe, which opens each dialog through the bootstrapper's
# own functions and resources, for x86 like the product, and runs it in the
# tests' 64-bit Windows on a virtual display of its own. The same picture
# always gives the same PNG bytes. It waits for the prefix's wineserver to
# end before the display goes, so run it while no test run holds that server.
#
# The test suite runs it as "render-dialogs.sh --in-test <folder>": the build,
# the Wine prefix, the wineserver and the virtual display are then the test
# run's, and the pictures go to a folder of the build.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

names="language prerequisites-en prerequisites-it prerequisites-de failure-en failure-it failure-de downgrade"
build="${BS_BUILD_DIR:-$root/build/x86}"
prefix="${BS_WINE_PREFIX:-$build/wine/win64}"
camera="$build/tools/dialogcamera.exe"
kit="$build/kit"

mode=standalone
case "${1:-}" in
    --in-test) mode=in-test; shift ;;
    --in-display) mode=in-display; shift ;;
esac
out="${1:-$root/docs/pictures}"
mkdir -p "$out"
out=$(cd "$out" && pwd)

if [ "$mode" = standalone ]; then
    scripts/install-deps.sh
    cmake --preset x86 >/dev/null
    cmake --build --preset x86 --target dialogcamera >/dev/null
    scripts/wine-prefix.sh "$prefix" win64
    # Always a virtual display of its own: the same depth and no window
    # manager, whatever display the caller has.
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/render-dialogs.sh" --in-display "$out"
fi

WINEPREFIX="$prefix"
. scripts/wine-env.sh

if [ "$mode" = in-test ]; then
    # Pictures of an earlier run must not pass for this one's.
    for name in $names; do rm -f "$out/$name.png"; done
fi

# Under /tmp, which Wine sees.
work=$(mktemp -d /tmp/render-dialogs.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
wine "$camera" "Z:$kit" "Z:$work" </dev/null || status=$?
if [ "$mode" = in-display ]; then
    # The prefix's wineserver ends before the virtual display does.
    wineserver -w >/dev/null 2>&1 || true
fi
if [ "$status" -ne 0 ]; then
    echo "render-dialogs: dialogcamera.exe failed (exit code $status)" >&2
    exit 1
fi

for name in $names; do
    if [ ! -f "$work/$name.bmp" ]; then
        echo "render-dialogs: no picture of $name" >&2
        exit 1
    fi
    /usr/bin/python3 scripts/bmp-to-png.py "$work/$name.bmp" "$out/$name.png"
done
echo "render-dialogs: $(echo $names | wc -w) pictures in $out"
