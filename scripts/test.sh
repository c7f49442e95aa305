#!/bin/sh
# The test command of the README: installs what is missing, builds both
# presets (the product with its tests, the benchmark's x64 build), runs every
# test under Wine on a virtual display, prints CTest's summary and exits
# non-zero when anything fails.
# Needs root: binfmt_misc and mount namespaces (docs/testing.md).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh >/dev/null
# The tests open windows: they run on their own virtual display, whether or
# not the caller has one.
exec xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset x86 "$@"
