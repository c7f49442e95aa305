#!/bin/sh
# Installs what building and testing need, from Debian's packages, and makes
# the Wine root that runs the kit (scripts/wine-root.sh). Quiet and quick when
# everything is there; run as root (or with sudo available).
set -eu
here=$(dirname "$0")

# osslsigncode, openssl: signing a kit, and the test that signs one.
# python3, python3-pefile: the dialog pictures as PNG, the kit's static proof.
# wixl: the sample product's Windows Installer package.
# Wine itself is not installed on the host: the root has its own.
packages="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 xvfb xauth googletest osslsigncode openssl python3 python3-pefile wixl"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
# The Wine root takes the Wine version the system's apt lists offer.
no_lists=""
apt-cache policy wine64 2>/dev/null | grep -q '^  Candidate: [0-9]' || no_lists=yes

if [ -n "$missing$no_lists" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        as_root=""
    elif command -v sudo >/dev/null 2>&1; then
        as_root="sudo"
    else
        echo "install-deps: missing packages:$missing (run as root to install them)" >&2
        exit 1
    fi
    log=$(mktemp)
    # A failing index of an architecture we do not use must not stop us; a
    # package that cannot be installed must.
    $as_root apt-get update -qq >"$log" 2>&1 || true
    if [ -n "$missing" ]; then
        echo "install-deps: installing$missing" >&2
        if ! DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq $missing >>"$log" 2>&1; then
            echo "install-deps: apt-get could not install$missing; see $log" >&2
            exit 1
        fi
    fi
    rm -f "$log"
fi
"$here/wine-root.sh" >/dev/null
