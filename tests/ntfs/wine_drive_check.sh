#!/usr/bin/env bash
# The Windows build reads an NTFS volume through a drive letter. Drive N: of the win64
# build's Wine prefix is pointed at a checked-in image (the dosdevices link "n::" makes
# "\\.\N:" read the image's raw bytes), and DriveLetterTest of the Windows test program
# scans it with CreateFileW/ReadFile; the Linux test program scans the image file itself.
# Both compare the scan with the image's oracle listing and write the records they
# delivered; the two lists must be identical.
#
#   tests/ntfs/wine_drive_check.sh <native build folder> <win64 build folder>
# Exits non-zero on any difference; removes the drive link it made.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
native=$(readlink -f "$1"); win=$(readlink -f "$2")
work=$(mktemp -d /tmp/nusk-ntfs-wine.XXXXXX)
link=$win/wine/prefix/dosdevices/n::
trap 'rm -rf "$work"; rm -f "$link"' EXIT

gzip -dc "$repo/tests/data/ntfs/basic4k.img.gz" > "$work/basic4k.img"
oracle=$repo/tests/data/ntfs/basic4k.oracle.tsv

NUSK_NTFS_IMAGE=$work/basic4k.img NUSK_NTFS_ORACLE=$oracle NUSK_NTFS_RECORDS=$work/linux.txt \
  "$native/tests/nusk_ntfs_tests" --gtest_filter='DriveLetterTest.*'

"$win/wine-run" --setup
ln -sfn "$work/basic4k.img" "$link"
NUSK_NTFS_DRIVE=N NUSK_NTFS_ORACLE="Z:$oracle" NUSK_NTFS_RECORDS="Z:$work/windows.txt" \
  "$win/wine-run" "$win/tests/nusk_ntfs_tests.exe" --gtest_filter='DriveLetterTest.*'

# A skipped test writes no list: that is a failure here, not a pass.
for list in linux windows; do
  [ -s "$work/$list.txt" ] || { echo "wine_drive_check: no records from the $list build"; exit 1; }
done
diff "$work/linux.txt" "$work/windows.txt" > "$work/diff.txt" || {
  echo "wine_drive_check: the Windows build delivered other records than the Linux build:"
  head -40 "$work/diff.txt"
  exit 1
}
echo "wine_drive_check: drive N: gives the same $(wc -l < "$work/linux.txt") records on Windows (Wine) and Linux"
