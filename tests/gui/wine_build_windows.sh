#!/bin/bash
# Two real windows of the program on one home folder, and a console "nusk.exe build":
# the build tells every main window of the same executable (message 20424, no sender
# window), so both windows ask "Database changed, reload now?"; answered OK, both show the
# new index (as many rows as "nusk.exe find" prints).
#
#   tests/gui/wine_build_windows.sh <win64 build folder>
# Runs through <win64>/wine-run, or through $NUSK_WINE (for instance "wine") with the
# caller's WINEPREFIX and DISPLAY.
set -euo pipefail
win=$(readlink -f "$1")
work=$(mktemp -d /tmp/nusk-wine-builds.XXXXXX)
if [ -n "${NUSK_WINE:-}" ]; then
  run() { $NUSK_WINE "$@"; }
  dosdevices=$WINEPREFIX/dosdevices
else
  run() { "$win/wine-run" "$@"; }
  "$win/wine-run" --setup
  export DISPLAY=$(cat "$win/wine/display")
  dosdevices=$win/wine/prefix/dosdevices
fi
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
  rm -f "$dosdevices/q:"
}
trap cleanup EXIT

tree=$work/tree
mkdir -p "$tree/docs" "$work/home"
for i in $(seq 1 5); do printf "r$i" > "$tree/docs/report_$i.txt"; done
ln -sfn "$tree" "$dosdevices/q:"
home="Z:${work//\//\\}\\home\\"
# Both windows stay (no hand-over to the first), every search shows all items.
printf '[Options]\r\nMultiInstance=1\r\nShowAllItemsForEmptySearch=1\r\nVolumeStates=Q1\r\n' > "$work/home/nusk.ini"

probe() { run "$win/tests/nusk_window_probe.exe" "$@" | tr -d '\r'; }
find_count() { run "$win/app/nusk.exe" find --dbdir "$home" 2>/dev/null | tr -d '\r' | grep -c .; }
# A first database, built before any window is open.
run "$win/app/nusk.exe" build --dbdir "$home" q > "$work/build.out" 2>&1 || { cat "$work/build.out"; exit 1; }
before=$(find_count)
for n in 1 2; do
  run "$win/app/nusk.exe" --dbdir "$home" > "$work/gui$n.out" 2>&1 &
  pids+=($!)
  probe wait || { echo "window $n did not appear"; exit 1; }
  sleep 1
done
for _ in $(seq 1 50); do [ "$(probe counts | grep -c .)" = 2 ] && break; sleep 0.1; done
got=
for _ in $(seq 1 50); do
  got=$(probe counts | tr '\n' ' ')
  [ "$got" = "$before $before " ] && break
  sleep 0.1
done
[ "$got" = "$before $before " ] || { echo "windows before the build: $got (want $before each)"; exit 1; }
for i in $(seq 6 25); do printf "r$i" > "$tree/docs/report_$i.txt"; done

run "$win/app/nusk.exe" build --dbdir "$home" q > "$work/build.out" 2>&1 || { cat "$work/build.out"; exit 1; }
answered=$(probe answer 2 "Database changed, reload now?") ||
  { echo "reload prompts answered: $answered of 2"; exit 1; }
want=$(find_count)
[ "$want" -gt "$before" ] || { echo "find printed only $want lines"; exit 1; }
got=
for _ in $(seq 1 100); do
  got=$(probe counts | tr '\n' ' ')
  [ "$got" = "$want $want " ] && break
  sleep 0.1
done
[ "$got" = "$want $want " ] || { echo "after the reload the windows show: $got (want $want each)"; exit 1; }
for _ in 1 2; do probe close; sleep 0.5; done
echo "console build: both windows asked and reloaded $want items"
