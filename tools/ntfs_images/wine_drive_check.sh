#!/usr/bin/env bash
# Shows that the Windows build reads an NTFS volume through a drive letter: points drive
# N: of the build's Wine prefix at a checked-in image (a dosdevices link "n::"), then runs
# the Windows test DriveLetterTest, which opens "\\.\N:" with CreateFileW/ReadFile and
# compares the full scan with the image's oracle listing.
# Usage: tools/ntfs_images/wine_drive_check.sh BUILD_DIR   (a mingw-w64 build folder)
set -eu
build=$(realpath "$1")
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$build/ntfs-wine
mkdir -p "$work"
gzip -dc "$repo/tests/data/ntfs/basic4k.img.gz" > "$work/basic4k.img"
"$build/wine-run" --setup
link=$build/wine/prefix/dosdevices/n::
ln -sfn "$work/basic4k.img" "$link"
trap 'rm -f "$link"' EXIT
NUSK_NTFS_DRIVE=N NUSK_NTFS_ORACLE="Z:$repo/tests/data/ntfs/basic4k.oracle.tsv" \
  "$build/wine-run" "$build/tests/nusk_ntfs_tests.exe" --gtest_filter='DriveLetterTest.*'
