#!/bin/sh
# Checks how the x86 kit is built, from a second build of the same sources in
# another folder (so that a build path leaking into a binary shows up):
#
#   check-kit-build.sh reproducible <build dir> <reference kit>
#       builds the x86 preset into <build dir> and compares its kit, file by
#       file and byte by byte, with <reference kit>;
#   check-kit-build.sh signed <build dir> <reference kit>
#       rebuilds that kit with a throw-away self-signed certificate, verifies
#       the Authenticode signature of every .exe and .dll, and checks that
#       without its signature each file is the reference file again.
set -eu
mode=$1 build=$2 reference=$3
cd "$(dirname "$0")/.."

fail() { echo "check-kit-build: $*" >&2; exit 1; }

case "$mode" in
reproducible)
    rm -rf "$build"
    # Without the unit-test program, which is no part of the kit.
    cmake --preset x86 -B "$build" -DBOOTSTRAPPER_TESTS=OFF >/dev/null
    cmake --build "$build" -j 2 >/dev/null || fail "the second build failed"
    status=0
    for file in "$reference"/* "$build"/kit/*; do
        name=$(basename "$file")
        if [ ! -f "$reference/$name" ] || [ ! -f "$build/kit/$name" ]; then
            echo "only in one kit: $name" >&2; status=1
        elif ! cmp -s "$reference/$name" "$build/kit/$name"; then
            echo "differs: $name" >&2; status=1
        fi
    done
    [ $status -eq 0 ] || fail "the two builds differ"
    echo "check-kit-build: $(ls "$build/kit" | wc -l) kit files, byte-identical in both builds"
    ;;
signed)
    [ -d "$build/kit" ] || fail "no kit in $build: run the reproducible check first"
    signer="$build/throw-away-signer"
    rm -rf "$signer" && mkdir -p "$signer"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throw-away kit signer" \
        -addext "keyUsage=digitalSignature" -addext "extendedKeyUsage=codeSigning" \
        -keyout "$signer/key.pem" -out "$signer/cert.pem" >/dev/null 2>&1 || fail "openssl could not make a certificate"
    cmake --preset x86 -B "$build" -DBOOTSTRAPPER_TESTS=OFF \
        -DBOOTSTRAPPER_SIGN_CERT="$signer/cert.pem" -DBOOTSTRAPPER_SIGN_KEY="$signer/key.pem" >/dev/null
    # Only the link and its signing step run again: the objects are unchanged.
    rm -f "$build"/kit/*.exe "$build"/kit/*.dll
    cmake --build "$build" -j 2 >/dev/null || fail "the signed build failed"
    count=0
    for file in "$build"/kit/*.exe "$build"/kit/*.dll; do
        name=$(basename "$file")
        osslsigncode verify -CAfile "$signer/cert.pem" -in "$file" >"$signer/verify.txt" 2>&1 ||
            { cat "$signer/verify.txt" >&2; fail "$name: no valid signature"; }
        grep -q "Subject: /CN=Throw-away kit signer" "$signer/verify.txt" || fail "$name: signed by someone else"
        osslsigncode remove-signature -in "$file" -out "$signer/$name" >/dev/null 2>&1 || fail "$name: cannot remove the signature"
        cmp -s "$signer/$name" "$reference/$name" || fail "$name: signing changed more than the signature"
        count=$((count + 1))
    done
    [ $count -ge 3 ] || fail "expected the bootstrapper, the setup and the library, signed $count files"
    # Leave the build as the reproducible check expects to find it next time.
    cmake --preset x86 -B "$build" -DBOOTSTRAPPER_TESTS=OFF -DBOOTSTRAPPER_SIGN_CERT= -DBOOTSTRAPPER_SIGN_KEY= >/dev/null
    echo "check-kit-build: $count kit files signed and verified"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
