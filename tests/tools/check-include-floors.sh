#!/bin/sh
# Fails when a product folder includes a header of a folder on its own floor
# or above it. The folders stand on floors; a folder may include its own
# headers and those of lower floors only, so that the include graph never
# runs back up and a folder compiles knowing only the floors below it:
#   4  bootstrap
#   3  language  prerequisites  product
#   2  platform
#   1  support  resources
# An include without a folder ("resource.h" in a resource script) is one of
# the folder's own files.
#   check-include-floors.sh <source root>
set -eu
root=${1:?usage: check-include-floors.sh <source root>}
cd "$root"
folders='bootstrap language prerequisites product platform support resources'
for folder in $folders; do
    [ -d "$folder" ] || { echo "no folder $folder under $root"; exit 2; }
done

find $folders -type f | sort | xargs grep -InE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' /dev/null |
awk '
    BEGIN {
        floor["bootstrap"] = 4
        floor["language"] = 3; floor["prerequisites"] = 3; floor["product"] = 3
        floor["platform"] = 2
        floor["support"] = 1; floor["resources"] = 1
    }
    {
        # grep -n gives "file:line:text"; neither part holds a colon here.
        file = $0; sub(/:.*/, "", file)
        rest = substr($0, length(file) + 2)
        line = rest; sub(/:.*/, "", line)
        header = substr(rest, length(line) + 2)
        sub(/^[^"]*"/, "", header); sub(/".*/, "", header)

        from = file; sub(/\/.*/, "", from)
        if (index(header, "/") == 0)
            next  # beside the including file
        to = header; sub(/\/.*/, "", to)
        if (to == from)
            next
        # A folder that is on no floor (tests, standins...) is never below.
        if ((to in floor) && floor[to] < floor[from])
            next
        printf "%s:%s: %s includes %s of a floor above or beside it\n", file, line, from, header
        offences++
    }
    END { exit (offences > 0) }
' && { echo "every include runs to the own folder or a lower floor"; exit 0; }
exit 1
