# Sourced by the scripts that run Windows programs: where this project's
# Wine lies, and the environment of every Wine process. Set WINEPREFIX to
# the prefix first:
#   WINEPREFIX=<prefix>; . scripts/wine-env.sh
# then `wine <program> [arguments]` and `wineserver <options>` run in that
# prefix, through scripts/wine-run.sh.
#
# Wine is Debian's, in a root of its own that scripts/wine-root.sh makes,
# with its 32-bit half under qemu-i386 (docs/testing.md). Nothing runs the
# host's Wine, if it has one.
# Only scripts of scripts/ source it: their folder is this one.
BS_SCRIPTS=$(cd "$(dirname "$0")" && pwd)
BS_PROJECT=$(cd "$BS_SCRIPTS/.." && pwd)
export BS_SCRIPTS BS_PROJECT
export BS_WINE_CACHE="${BS_WINE_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/setup-bootstrapper}"
# Raise it when scripts/wine-root.sh makes a different root.
export BS_WINE_RECIPE=1
export BS_WINE_ROOT="$BS_WINE_CACHE/wine-r$BS_WINE_RECIPE"
# The name under which binfmt_misc sends 32-bit Linux programs to qemu-i386.
export BS_BINFMT_ENTRY=/proc/sys/fs/binfmt_misc/setup-bootstrapper-i386

[ -z "${WINEPREFIX:-}" ] || export WINEPREFIX
# Quiet, unless BS_WINEDEBUG asks for Wine's traces (docs/benchmark.md,
# "Where the time goes": BS_WINEDEBUG=+timestamp,+relay).
export WINEDEBUG="${BS_WINEDEBUG:--all}"
# No Mono or Gecko prompts, no menu entries written into a home that the
# root does not have.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export LC_ALL=C.UTF-8   # the user locale Wine derives: English

wine() { "$BS_SCRIPTS/wine-run.sh" "$WINEPREFIX" "$@"; }
wineserver() { "$BS_SCRIPTS/wine-run.sh" "$WINEPREFIX" --server "$@"; }
