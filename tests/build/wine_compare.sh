#!/bin/bash
# The Windows program (under Wine) and the Linux program build the same drives and must
# write the same index: "nusk.nrs" byte for byte, and the same item count and file-record
# rows in "nusk.frs" (build times, serial numbers and display names differ between the
# systems and are left out). Two drives, each built on its own:
#   Q: a fixture folder, walked (Wine: the prefix's drive link "q:");
#   N: a checked-in NTFS image, read through its Master File Table (Wine: "n::" points
#      at the image for raw reads of "\\.\N:", "n:" at an empty folder for the rest).
#
#   tests/build/wine_compare.sh <native build folder> <win64 build folder>
# Exits non-zero on any difference; removes the drive links it made.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
native=$(readlink -f "$1"); win=$(readlink -f "$2")
work=$(mktemp -d /tmp/nusk-wine-compare.XXXXXX)
dosdevices=$win/wine/prefix/dosdevices
trap 'rm -rf "$work"; rm -f "$dosdevices/q:" "$dosdevices/n:" "$dosdevices/n::"' EXIT

tree=$work/tree
mkdir -p "$tree/docs/deep/er" "$tree/src/a b" "$tree/empty"
printf hello > "$tree/docs/readme.md"
head -c 70000 /dev/zero > "$tree/docs/deep/er/big.bin"
printf x > "$tree/src/a b/Main.CPP"
printf y > "$tree/src/Ünïcode.txt"
printf z > "$tree/.hidden"
gzip -dc "$repo/tests/data/ntfs/basic4k.img.gz" > "$work/ntfs.img"
mkdir -p "$work/ntfs-folder"

"$win/wine-run" --setup
ln -sfn "$tree" "$dosdevices/q:"
ln -sfn "$work/ntfs.img" "$dosdevices/n::"
ln -sfn "$work/ntfs-folder" "$dosdevices/n:"

compare() {  # letter linux-target
  local letter=$1 target=$2 lin=$work/lin-$1 winhome=$work/win-$1
  mkdir -p "$lin" "$winhome"
  printf '[Drives]\n%s=%s\n' "${letter^^}" "$target" > "$lin/nusk.ini"
  "$native/app/nusk" build --dbdir "$lin" "$letter" > "$lin.out" || { cat "$lin.out"; return 1; }
  "$win/wine-run" "$win/app/nusk.exe" build --dbdir "Z:${winhome//\//\\}\\" "$letter" > "$winhome.out" 2>&1 ||
    { cat "$winhome.out" "$winhome/nusk.build.log"; return 1; }
  grep -q "$3" "$winhome/nusk.build.log" || { echo "drive ${letter^^}: Windows build did not say $3"; cat "$winhome/nusk.build.log"; return 1; }
  cmp "$lin/nusk.nrs" "$winhome/nusk.nrs"
  python3 - "$lin/nusk.frs" "$winhome/nusk.frs" "${letter^^}" <<'PY'
import struct, sys
a, b = (open(p, "rb").read() for p in sys.argv[1:3])
na, nb = struct.unpack_from("<I", a, 4)[0], struct.unpack_from("<I", b, 4)[0]
assert na == nb, f"item counts differ: {na} vs {nb}"
assert a[3456:3456 + 20 * na] == b[3456:3456 + 20 * nb], "file-record rows differ"
print(f"drive {sys.argv[3]}: same index, {na} items")
PY
}

compare q "$tree" "(Non-NTFS Mode)"
compare n "$work/ntfs.img" "(NTFS Mode)"
