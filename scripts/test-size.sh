#!/bin/sh
# How large the tests are against the rest of the code: lines of the code
# files under tests/ (C++, Python, shell, CMake, resource scripts) against
# those of every other code file in the repository, and the ratio. Expected
# records, catalogues and other data files are not code and not counted.
#
# Usage: scripts/test-size.sh     (counts what git tracks, from any folder)
set -eu
cd "$(dirname "$0")/.."
code='\.(c|cc|cpp|h|hpp|py|sh|cmake|rc|ps1)$|(^|/)CMakeLists\.txt$'
lines() { git ls-files -- "$@" | grep -E "$code" | while read -r f; do cat "$f"; done | wc -l; }
tests=$(lines tests)
other=$(lines . ':!tests' ':!docs')
awk -v t="$tests" -v o="$other" 'BEGIN {
    printf "tests: %d lines\nother code: %d lines\nratio: %.2f\n", t, o, t / o
}'
