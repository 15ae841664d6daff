#!/bin/bash
# Two real windows of the program on one home folder, and a console "nusk.exe build":
# the build tells every main window of the same executable (message 20424, no sender
# window), so both windows ask "Database changed, reload now?"; answered OK, both show the
# new index (as many rows as "nusk.exe find" prints).
#
#   tests/gui/wine_build_windows.sh [<native build folder>] <win64 build folder>
# Runs through <win64>/wine-run, or through $NUSK_WINE (for instance "wine") with the
# caller's WINEPREFIX and DISPLAY.
set -euo pipefail
win=$(readlink -f "${2:-$1}")
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
  # The windows are asked to close (killing the shell that started one may leave it).
  for _ in "${pids[@]}"; do run "$win/tests/nusk_window_probe.exe" close >/dev/null 2>&1 || true; sleep 0.3; done
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
printf '[Global]\r\nShowTipOnStartup=0\r\n[Options]\r\nMultiInstance=1\r\nShowAllItemsForEmptySearch=1\r\nVolumeStates=Q1\r\n' > "$work/home/nusk.ini"

probe() { run "$win/tests/nusk_window_probe.exe" "$@" | tr -d '\r'; }
find_count() { run "$win/app/nusk.exe" find --dbdir "$home" 2>/dev/null | tr -d '\r' | grep -c .; }
build() { run "$win/app/nusk.exe" build --dbdir "$home" q > "$work/build.out" 2>&1 || { cat "$work/build.out"; exit 1; }; }
# Both windows settle on `want` rows within 10 s, or the script fails saying `when`.
wait_counts() {
  local want=$1 when=$2 got=
  for _ in $(seq 1 100); do
    got=$(probe counts | tr '\n' ' ')
    [ "$got" = "$want $want " ] && return 0
    sleep 0.1
  done
  echo "$when the windows show: $got (want $want each)"; exit 1
}
# A first database, built before any window is open.
build
before=$(find_count)
for n in 1 2; do
  run "$win/app/nusk.exe" --dbdir "$home" > "$work/gui$n.out" 2>&1 &
  pids+=($!)
  probe wait || { echo "window $n did not appear"; exit 1; }
  sleep 1
done
wait_counts "$before" "before the build"
for i in $(seq 6 25); do printf "r$i" > "$tree/docs/report_$i.txt"; done

build
answered=$(probe answer 2 "Database changed, reload now?") ||
  { echo "reload prompts answered: $answered of 2"; exit 1; }
want=$(find_count)
[ "$want" -gt "$before" ] || { echo "find printed only $want lines"; exit 1; }
wait_counts "$want" "after the reload"
echo "console build: both windows asked and reloaded $want items"
