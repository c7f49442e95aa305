#!/bin/sh
# Runs a Windows program of the x64 build under wine64 in the given prefix.
# CTest uses it as the cross-compiling emulator.
# Usage: scripts/wine-run.sh <prefix directory> <program.exe> [arguments...]
prefix="$1"
shift
WINEPREFIX="$prefix"
. "$(dirname "$0")/wine-env.sh"
exec "$WINE64" "$@"
