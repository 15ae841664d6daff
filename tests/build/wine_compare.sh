#!/bin/bash
# The Windows program (under Wine) and the Linux program build the same fixture tree as
# drive Q: and must write the same index: "nusk.nrs" byte for byte, and the same item
# count and file-record rows in "nusk.frs" (build times, serial numbers and display names
# differ between the systems and are left out).
#
#   tests/build/wine_compare.sh <native build folder> <win64 build folder>
set -euo pipefail
native=$(readlink -f "$1"); win=$(readlink -f "$2")
work=$(mktemp -d /tmp/nusk-wine-compare.XXXXXX)
trap 'rm -rf "$work"; rm -f "$win/wine/prefix/dosdevices/q:"' EXIT
tree=$work/tree
mkdir -p "$tree/docs/deep/er" "$tree/src/a b" "$tree/empty"
printf hello > "$tree/docs/readme.md"
head -c 70000 /dev/zero > "$tree/docs/deep/er/big.bin"
printf x > "$tree/src/a b/Main.CPP"
printf y > "$tree/src/Ünïcode.txt"
printf z > "$tree/.hidden"
"$win/wine-run" --setup
ln -sfn "$tree" "$win/wine/prefix/dosdevices/q:"
mkdir -p "$work/lin" "$work/win"
printf '[Drives]\nQ=%s\n' "$tree" > "$work/lin/nusk.ini"
"$native/app/nusk" build --dbdir "$work/lin" q > "$work/lin.out"
"$win/wine-run" "$win/app/nusk.exe" build --dbdir "Z:${work//\//\\}\\win" q > "$work/win.out" 2>&1
cmp "$work/lin/nusk.nrs" "$work/win/nusk.nrs"
python3 - "$work/lin/nusk.frs" "$work/win/nusk.frs" <<'PY'
import struct, sys
a, b = (open(p, "rb").read() for p in sys.argv[1:3])
na, nb = struct.unpack_from("<I", a, 4)[0], struct.unpack_from("<I", b, 4)[0]
assert na == nb, f"item counts differ: {na} vs {nb}"
assert a[3456:3456 + 20 * na] == b[3456:3456 + 20 * nb], "file-record rows differ"
print(f"same index: {na} items")
PY
