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
