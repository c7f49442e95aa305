# Sourced by the scripts that run Windows programs: the Wine environment of
# this project. Set WINEPREFIX to the prefix directory first:
#   WINEPREFIX=<prefix>; . scripts/wine-env.sh
#
# wine64 and wineserver64 are called directly: /usr/bin/wine would pick a
# 32-bit loader when one is installed, and these machines cannot run it.
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko prompts
export LC_ALL=C.UTF-8                        # the user locale Wine derives: English
export WINE64=/usr/lib/wine/wine64
export WINESERVER64=/usr/lib/wine/wineserver64

# Wine's 32-bit PE libraries, which scripts/wine-i386.sh fetches: with them
# wine64 runs the x86 product in its WoW64 mode. The loader reads them from
# its Unix environment, and every Windows process it starts inherits that,
# so a 64-bit test program can start the 32-bit kit.
BS_WINE_I386_ROOT="${BS_WINE_I386_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/setup-bootstrapper}/libwine-i386-$(
    dpkg-query -W -f '${Version}' wine64 2>/dev/null | tr ':~' '__')"
export WINEDLLPATH="$BS_WINE_I386_ROOT/usr/lib/i386-linux-gnu/wine"
