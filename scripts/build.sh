#!/bin/sh
# Configures and builds both presets: the x86 product and the x64 test build.
set -eu
cd "$(dirname "$0")/.."
for preset in x86 x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
