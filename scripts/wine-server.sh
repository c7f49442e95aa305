#!/bin/sh
# Starts or stops the one wineserver that a test run keeps alive for a
# prefix: a program then starts in a fraction of a second instead of one or
# more (docs/testing.md).
#
# Usage: scripts/wine-server.sh start|stop <prefix>
#
# All output goes to /dev/null: Wine's helper processes (services, explorer)
# inherit it, and CTest would wait for them to close the pipes.
set -eu
action="$1" prefix="$2"
run="$(dirname "$0")/wine-run.sh"
case "$action" in
    start)
        "$run" "$prefix" --server -p </dev/null >/dev/null 2>&1
        # The first program starts the helpers, with nothing to inherit.
        "$run" "$prefix" cmd /c exit 0 </dev/null >/dev/null 2>&1
        ;;
    stop)
        "$run" "$prefix" --server -k </dev/null >/dev/null 2>&1 || true
        "$run" "$prefix" --server -w </dev/null >/dev/null 2>&1 || true
        ;;
    *) echo "usage: scripts/wine-server.sh start|stop <prefix>" >&2; exit 2 ;;
esac
