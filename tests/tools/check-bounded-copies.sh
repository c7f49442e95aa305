#!/bin/sh
# Fails when a C or C++ source of the tree copies, appends or formats into a
# buffer without a bound. Use the StringCch* functions of <strsafe.h>.
#   check-bounded-copies.sh <source root>
set -eu
root=${1:?usage: check-bounded-copies.sh <source root>}
cd "$root"
unbounded='wcscpy|wcscat|strcpy|strcat|lstrcpy[AW]?|lstrcat[AW]?|sprintf|swprintf|vsprintf|vswprintf|wsprintf[AW]?|wvsprintf[AW]?|_stprintf|_tcscpy|_tcscat|StrCpy[AW]?|StrCat[AW]?'
# A name followed by "(" is a call (or a declaration of one).
found=$(find . -path ./build -prune -o -type f \
            \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) -print0 |
        sort -z | xargs -0 -r grep -nE "(^|[^A-Za-z0-9_])($unbounded)[[:space:]]*\(" || true)
if [ -n "$found" ]; then
    echo "unbounded copy, append or format (use StringCchCopy/Cat/Printf):"
    echo "$found"
    exit 1
fi
echo "no unbounded copy, append or format in the sources"
