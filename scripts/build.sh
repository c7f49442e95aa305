#!/bin/sh
# Configures and builds both presets: the x86 product with its tests, and
# the x64 build of the same sources that the benchmark times. The tests run
# only the x86 kit; building the x64 one here keeps it from rotting unseen.
set -eu
cd "$(dirname "$0")/.."
for preset in x86 x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
