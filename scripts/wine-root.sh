#!/bin/sh
# The Wine that runs the kit: Debian's 64-bit and 32-bit Wine in one folder
# of their own (the "root"), as classic WoW64 installs them, with the 32-bit
# Linux half run by QEMU's user-mode emulator. These machines cannot exec a
# 32-bit Linux program, and some cannot run 32-bit x86 code at all; under
# qemu-i386 every machine runs the 32-bit Wine alike, windows and MSXML
# included.
#
# Usage: scripts/wine-root.sh     (as root; prints the root's folder)
#
# The packages are downloaded with an apt configuration of our own and
# unpacked, never installed: the host keeps its one architecture and its
# package state. The mirror is the one the system's apt sources name.
# qemu-i386 comes from bookworm-backports: bookworm's own qemu 7.2 spins for
# most of a minute at every Wine start.
#
# The root is kept in a cache outside the checkout (BS_WINE_CACHE, else
# ~/.cache/setup-bootstrapper), in a folder named after the Wine version that
# the system's apt offers and the recipe (scripts/wine-env.sh): an update of
# Debian's Wine, or a change of the recipe, makes a new root; an existing one
# is used as it is, without the network. The link wine-r<recipe> names
# the current one, so that running a program does not ask apt again.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

fail() { echo "wine-root: $*" >&2; exit 1; }

# The version of Debian's Wine that the system's apt lists offer.
v=$(apt-cache policy wine64 2>/dev/null | sed -n 's/^  Candidate: //p')
case "$v" in
    ''|'(none)') fail "apt offers no wine64 here: is this Debian 12 with its apt lists (apt-get update)?" ;;
esac
target="$BS_WINE_CACHE/wine-$(echo "$v" | tr ':~' '__')-r$BS_WINE_RECIPE"
if [ -f "$target/.complete" ]; then
    [ "$(readlink "$BS_WINE_ROOT" 2>/dev/null)" = "$(basename "$target")" ] ||
        ln -sfn "$(basename "$target")" "$BS_WINE_ROOT"
    echo "$BS_WINE_ROOT"
    exit 0
fi
[ "$(id -u)" -eq 0 ] || fail "making the Wine root needs root"
mkdir -p "$BS_WINE_CACHE"

# The system's mirror: the first URIs of the deb822 sources, else the first
# "deb" line of the old list. No host name of our own.
mirror=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    grep -v -- '-security' | head -n 1 || true)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\([a-z]*:[^[:space:]]*\).*/\2/p' \
    /etc/apt/sources.list 2>/dev/null | grep -v -- '-security' | head -n 1 || true)
[ -n "$mirror" ] ||
    fail "no Debian mirror in /etc/apt/sources.list.d/*.sources or /etc/apt/sources.list; add the system's apt source first"
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ "$suite" = bookworm ] || fail "made for Debian 12 (bookworm), this is '${suite:-unknown}'"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
[ -f "$keyring" ] || fail "no $keyring (package debian-archive-keyring)"

work="$BS_WINE_CACHE/work.$$"
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"

# download <name> <architectures> <suites> <packages...>: into $work/<name>/archives.
download() {
    name=$1 architectures=$2 suites=$3
    shift 3
    d="$work/$name"
    mkdir -p "$d/lists/partial" "$d/archives/partial"
    : >"$d/status"
    for s in $suites; do
        echo "deb [signed-by=$keyring] $mirror $s main"
    done >"$d/sources.list"
    {
        echo "APT::Architecture \"amd64\";"
        printf 'APT::Architectures {'
        for a in $architectures; do printf ' "%s";' "$a"; done
        echo ' };'
        echo "Dir::State \"$d\"; Dir::State::lists \"$d/lists\"; Dir::State::status \"$d/status\";"
        echo "Dir::Cache \"$d\"; Dir::Cache::archives \"$d/archives\";"
        echo "Dir::Etc::sourcelist \"$d/sources.list\"; Dir::Etc::sourceparts \"$d/none\";"
        echo "Dir::Etc::Preferences \"$d/none\"; Dir::Etc::PreferencesParts \"$d/none\";"
        echo "Debug::NoLocking \"true\"; APT::Install-Recommends \"false\"; APT::Sandbox::User \"root\";"
    } >"$d/apt.conf"
    mkdir -p "$d/none"
    APT_CONFIG="$d/apt.conf" apt-get -qq update >"$d/log" 2>&1 ||
        { cat "$d/log" >&2; fail "the package index of $mirror ($suites) could not be read"; }
    APT_CONFIG="$d/apt.conf" apt-get -qq -y install --download-only "$@" >>"$d/log" 2>&1 ||
        { cat "$d/log" >&2; fail "could not download $*"; }
}

echo "wine-root: fetching Wine $v (amd64 and i386) from $mirror" >&2
# libwine recommends what its window driver and TLS need; libc-bin brings
# the C.UTF-8 locale, without which Wine's Unix code page is ASCII and a
# folder named outside ASCII fails with error 267.
extras="libxrender1 libxi6 libxrandr2 libxfixes3 libxcursor1 libxinerama1 libxcomposite1 libxxf86vm1 libgnutls30"
packages="wine64=$v libwine=$v wine32:i386=$v libwine:i386=$v fonts-wine libc-bin dash $extras"
for p in $extras; do packages="$packages $p:i386"; done
# shellcheck disable=SC2086
download wine "amd64 i386" "$suite $suite-updates" $packages
echo "wine-root: fetching qemu-i386 from $suite-backports" >&2
download qemu amd64 "$suite-backports" qemu-user

new="$target.new"
rm -rf "$new"
mkdir -p "$new/usr/bin" "$new/usr/sbin" "$new/usr/lib" "$new/usr/lib64" "$new/usr/lib32"
for d in bin sbin lib lib64 lib32; do ln -s "usr/$d" "$new/$d"; done
# Documentation is not needed to run; two at a time, for the two cores.
ls "$work"/wine/archives/*.deb | xargs -P 2 -I{} sh -c \
    'dpkg-deb --fsys-tarfile "$1" | tar -x --keep-directory-symlink --exclude=./usr/share/doc \
        --exclude=./usr/share/man --exclude=./usr/share/locale -C "$2"' sh {} "$new"

# What the packages' install scripts would have done. libwine's: each Wine
# library folder gets MinGW's zlib1.dll, marked as a Wine builtin.
for folder in "$new"/usr/lib/*-linux-gnu/wine/*-windows; do
    case "$folder" in
        *i386-windows) zlib="$new/usr/i686-w64-mingw32/lib/zlib1.dll" ;;
        *) zlib="$new/usr/x86_64-w64-mingw32/lib/zlib1.dll" ;;
    esac
    [ -f "$zlib" ] || fail "no $zlib in the packages"
    { head -c 64 "$zlib"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$zlib"; } >"$folder/zlib1.dll"
done
# The host's users and clock are bound over these when the root is entered.
mkdir -p "$new/etc" "$new/tmp" "$new/proc" "$new/dev"
: >"$new/etc/passwd"; : >"$new/etc/group"; : >"$new/etc/localtime"
unshare --root="$new" /sbin/ldconfig || fail "ldconfig in the root failed"

qemu_deb=$(ls "$work"/qemu/archives/qemu-user_*.deb)
dpkg-deb --fsys-tarfile "$qemu_deb" | tar -x -O ./usr/bin/qemu-i386 >"$new/qemu-i386"
chmod 755 "$new/qemu-i386"
qemu_version=$(dpkg-deb -f "$qemu_deb" Version)
case "$qemu_version" in
    [1-9]:[0-7].*|[0-7].*) fail "qemu-user $qemu_version is too old (8 or later needed)" ;;
esac

[ -x "$new/usr/lib/wine/wine" ] && [ -x "$new/usr/lib/wine/wine64" ] && [ -x "$new/usr/lib/wine/wineserver64" ] ||
    fail "the packages hold no complete Wine"
{
    echo "wine $v (amd64, i386) from $mirror"
    echo "qemu-user $qemu_version"
    echo "recipe $BS_WINE_RECIPE"
} >"$new/.complete"
rm -rf "$target"
mv "$new" "$target"
ln -sfn "$(basename "$target")" "$BS_WINE_ROOT"
# Earlier Wine versions of this recipe, and the 32-bit libraries that an
# earlier harness fetched, are of no use any more.
for old in "$BS_WINE_CACHE"/wine-*-r"$BS_WINE_RECIPE" "$BS_WINE_CACHE"/libwine-i386-*; do
    [ "$old" = "$target" ] || rm -rf "$old"
done
echo "wine-root: ready in $target ($(du -sh "$target" | cut -f1))" >&2
echo "$BS_WINE_ROOT"
