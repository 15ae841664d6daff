#!/usr/bin/env bash
# The Windows zip unpacks to one folder that runs "portable" under Wine: nusk.exe -v, a
# build of a fixture drive that keeps its index in ".nusk" beside nusk.exe, a find in it.
# Usage: zip_test.sh ZIP WIN64_BUILD_FOLDER   (the build folder lends its Wine prefix)
set -euo pipefail
zip=$(realpath "$1") win=$(realpath "$2")
work=$(mktemp -d /tmp/nusk-zip-test.XXXXXX)
dosdevices=$win/wine/prefix/dosdevices
trap 'rm -rf "$work"; rm -f "$dosdevices/q:"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

python3 -m zipfile -e "$zip" "$work/unpacked"
folders=("$work"/unpacked/*)
[ ${#folders[@]} -eq 1 ] && [ -d "${folders[0]}" ] || fail "the zip does not hold exactly one folder"
dir=${folders[0]}
for name in nusk.exe sumtor.exe README.txt LICENSE.txt; do
  [ -n "$(find "$dir" -maxdepth 1 -iname "$name")" ] || fail "$name is missing"
done
grep -q $'\r$' "$dir/README.txt" || fail "README.txt does not have Windows line ends"

version=$(sed -n 's/^project(nusk VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
"$win/wine-run" --setup
out=$("$win/wine-run" "$dir/nusk.exe" -v 2>&1) || fail "nusk.exe -v exited non-zero"
grep -q "nusk version: $version" <<<"$out" || fail "nusk.exe -v printed: $out"

mkdir -p "$work/tree/docs"
printf hello >"$work/tree/docs/readme.md"
ln -sfn "$work/tree" "$dosdevices/q:"
(cd "$work" && "$win/wine-run" "$dir/nusk.exe" build q) >"$work/build.out" 2>&1 || fail "build: $(cat "$work/build.out")"
[ -s "$dir/.nusk/nusk.frs" ] || fail "the index is not in .nusk beside nusk.exe"
found=$(cd "$work" && "$win/wine-run" "$dir/nusk.exe" find readme 2>/dev/null | tr -d '\r') || fail "find exited non-zero"
grep -qix 'q:\\docs\\readme.md' <<<"$found" || fail "find readme printed: $found"

[ $failed -eq 0 ] && echo "the zip runs portable under Wine"
exit $failed
