#!/bin/sh
# Installs what building and testing need, from Debian's packages. Quiet and
# quick when everything is there; run as root (or with sudo available).
set -eu

# fonts-wine: Tahoma and Marlett, which the dialogs are laid out with.
# osslsigncode, openssl: signing a kit, and the test that signs one.
# python3: the dialog pictures are written as PNG by scripts/bmp-to-png.py.
packages="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xauth googletest osslsigncode openssl python3 python3-pefile"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
fetch_wine_i386() {
    # Not a package of this machine's architecture: fetched and unpacked
    # into a cache, quick once it is there.
    "$(dirname "$0")/wine-i386.sh" >/dev/null
}
if [ -z "$missing" ]; then
    fetch_wine_i386
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "install-deps: missing packages:$missing (run as root to install them)" >&2
    exit 1
fi

echo "install-deps: installing$missing" >&2
log=$(mktemp)
# A failing index of an architecture we do not use must not stop us; a
# package that cannot be installed must.
$as_root apt-get update -qq >"$log" 2>&1 || true
if ! DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing >>"$log" 2>&1; then
    echo "install-deps: apt-get could not install$missing; see $log" >&2
    exit 1
fi
rm -f "$log"
fetch_wine_i386
