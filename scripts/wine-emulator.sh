#!/bin/sh
# Makes the kernel run 32-bit Linux programs (the 32-bit half of Wine)
# through the Wine root's qemu-i386, by a binfmt_misc entry of our own.
# Quiet and quick when the entry is there; otherwise it needs root, and says
# in one line why it cannot be made (for example in a container that may not
# mount binfmt_misc).
#
# The entry is kernel-wide and stays until reboot or until
#   echo -1 > /proc/sys/fs/binfmt_misc/setup-bootstrapper-i386
# It is the newest entry for 32-bit x86 programs, so it is the one the
# kernel takes, whatever else the machine has registered. Flag F opens the
# emulator once, at registration, so that it also works inside the root.
set -eu
. "$(dirname "$0")/wine-env.sh"
fail() { echo "wine-emulator: $*" >&2; exit 1; }

qemu=$(readlink -f "$BS_WINE_ROOT/qemu-i386" 2>/dev/null || true)
[ -n "$qemu" ] && [ -x "$qemu" ] || fail "no Wine root with qemu-i386 in $BS_WINE_CACHE (scripts/install-deps.sh makes it)"
if [ -f "$BS_BINFMT_ENTRY" ] && grep -qx enabled "$BS_BINFMT_ENTRY" &&
    grep -qx "interpreter $qemu" "$BS_BINFMT_ENTRY"; then
    exit 0
fi
[ "$(id -u)" -eq 0 ] || fail "registering qemu-i386 with binfmt_misc needs root"
binfmt=$(dirname "$BS_BINFMT_ENTRY")
if [ ! -f "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
        fail "cannot mount binfmt_misc on $binfmt (no privilege for it here?): 32-bit Wine cannot run"
fi
[ ! -f "$BS_BINFMT_ENTRY" ] || echo -1 >"$BS_BINFMT_ENTRY"
# The ELF header of an i386 executable (type 2 or 3), as qemu's own
# binfmt definitions have it.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":$(basename "$BS_BINFMT_ENTRY"):M::$magic:$mask:$qemu:F" >"$binfmt/register" 2>/dev/null ||
    fail "binfmt_misc refused the entry for $qemu"
grep -qx enabled "$BS_BINFMT_ENTRY" || fail "the binfmt_misc entry for $qemu is not enabled"
