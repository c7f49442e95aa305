#!/bin/sh
# Wine's 32-bit PE libraries, without which wine64 cannot run the x86 product
# in its WoW64 mode. They come from Debian's libwine:i386 of the very version
# of the installed wine64, downloaded with an apt configuration of our own
# and unpacked, never installed: the machine keeps one architecture, and a
# broken i386 index of the mirror cannot harm its package state.
#
# Usage: scripts/wine-i386.sh
#   Downloads and unpacks once per wine64 version into a cache outside the
#   checkout (BS_WINE_I386_CACHE, else ~/.cache/setup-bootstrapper), so that
#   a clean clone does not fetch the 95 MB again, and prints the folder that
#   scripts/wine-env.sh gives wine64 as WINEDLLPATH.
set -eu

. "$(dirname "$0")/wine-env.sh"
version=$(dpkg-query -W -f '${Version}' wine64 2>/dev/null) ||
    { echo "wine-i386: wine64 is not installed (scripts/install-deps.sh)" >&2; exit 1; }
root="$BS_WINE_I386_ROOT"
dllpath="$WINEDLLPATH"

if [ -f "$root/.complete" ]; then
    echo "$dllpath"
    exit 0
fi

# The mirror the system already uses, from the deb822 sources or the old list.
mirror=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\(http[^[:space:]]*\).*/\2/p' \
    /etc/apt/sources.list 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/archives/partial"
echo "deb [arch=i386 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $suite main" >"$work/sources.list"
apt_options="-o Dir::Etc::sourcelist=$work/sources.list -o Dir::Etc::sourceparts=/nonexistent
    -o Dir::State::lists=$work/lists -o Dir::Cache=$work -o Dir::State::status=/dev/null
    -o APT::Architecture=i386 -o APT::Architectures::=i386 -o Debug::NoLocking=1"

echo "wine-i386: fetching libwine:i386 $version from $mirror" >&2
# shellcheck disable=SC2086
apt-get -qq $apt_options update >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; echo "wine-i386: the i386 index of $mirror could not be read" >&2; exit 1; }
# shellcheck disable=SC2086
(cd "$work" && apt-get -qq $apt_options download "libwine:i386=$version") >>"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; echo "wine-i386: libwine:i386 $version could not be downloaded" >&2; exit 1; }

rm -rf "$root"
mkdir -p "$root"
dpkg-deb -x "$work"/libwine_*_i386.deb "$root"
[ -f "$dllpath/i386-windows/kernel32.dll" ] ||
    { echo "wine-i386: the package holds no $dllpath/i386-windows/kernel32.dll" >&2; exit 1; }
touch "$root/.complete"
echo "$dllpath"
