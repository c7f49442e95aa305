#!/bin/sh
# Configures and builds the x86 preset: the product's kit and the test
# programs. (The x64 preset serves the benchmark, which builds it itself.)
set -eu
cd "$(dirname "$0")/.."
cmake --preset x86 >/dev/null
cmake --build --preset x86
