#!/bin/bash
# The real program end to end under Wine: "nusk.exe build" indexes a fixture drive, the
# program started without arguments opens its window on that database, a query is typed
# through X (xdotool) as a user would, and the window's list must hold as many rows as
# "nusk.exe find" prints lines for the same query. A CJK query goes in through WM_SETTEXT
# (xdotool drops CJK characters). The window must end with status 0 when closed.
#
#   tests/gui/wine_window.sh [<native build folder>] <win64 build folder>
# Screenshots of the run land in <win64>/screenshots/e2e_*.png.
set -euo pipefail
win=$(readlink -f "${2:-$1}")
work=$(mktemp -d /tmp/nusk-wine-window.XXXXXX)
dosdevices=$win/wine/prefix/dosdevices
gui_pid=
cleanup() {
  [ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null || true
  rm -rf "$work"
  rm -f "$dosdevices/q:"
}
trap cleanup EXIT

tree=$work/tree
mkdir -p "$tree/docs/reports" "$tree/src/app" "$tree/photos 2024" "$tree/日本語"
for i in $(seq 1 40); do printf "r$i" > "$tree/docs/reports/report_$i.txt"; done
for i in $(seq 1 15); do printf "c$i" > "$tree/src/app/module_$i.cpp"; done
printf x > "$tree/docs/annual report.pdf"
printf y > "$tree/photos 2024/beach.jpg"
printf z > "$tree/日本語/資料.txt"
head -c 300000 /dev/zero > "$tree/photos 2024/video.mp4"

"$win/wine-run" --setup
export DISPLAY=$(cat "$win/wine/display")
ln -sfn "$tree" "$dosdevices/q:"
home="Z:${work//\//\\}\\home\\"
mkdir -p "$work/home"
# No tip of the day over the window: it would take the keys typed below.
printf '[Global]\r\nShowTipOnStartup=0\r\n' > "$work/home/nusk.ini"

"$win/wine-run" "$win/app/nusk.exe" build --dbdir "$home" q > "$work/build.out" 2>&1 ||
  { cat "$work/build.out"; exit 1; }
find_count() {
  "$win/wine-run" "$win/app/nusk.exe" find --dbdir "$home" "$@" 2>/dev/null | tr -d '\r' | grep -c . || true
}
probe() { "$win/wine-run" "$win/tests/nusk_window_probe.exe" "$@" | tr -d '\r'; }
wait_count() {  # expected: the list count settles on it within 5 s
  local want=$1 got=
  for _ in $(seq 1 50); do
    got=$(probe count)
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  echo "list shows $got rows, find printed $want lines"; return 1
}

# The program without a sub-command opens the window.
"$win/wine-run" "$win/app/nusk.exe" --dbdir "$home" > "$work/gui.out" 2>&1 &
gui_pid=$!
probe wait || { echo "no main window appeared"; cat "$work/gui.out"; exit 1; }
xid=$(xdotool search --name '^Nusk( |$)' | head -1)
[ -n "$xid" ] || { echo "xdotool does not see the window"; exit 1; }
all=$(find_count)
wait_count "$all"  # an empty box shows every item

xdotool windowfocus --sync "$xid"
sleep 0.3
xdotool type --delay 30 "report"
want=$(find_count report)
[ "$want" -gt 40 ] || { echo "find printed only $want lines for 'report'"; exit 1; }
wait_count "$want"
status=$(probe status)
case "$status" in "Found $want items ("*") ms") ;; *) echo "status bar says: $status"; exit 1 ;; esac
mkdir -p "$win/screenshots"
eval "$(xdotool getwindowgeometry --shell "$xid")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$win/screenshots/e2e_report.png" 2>/dev/null || true

xdotool type --delay 30 " .txt"
wait_count "$(find_count report .txt)"

probe settext "資料"
wait_count "$(find_count 資料)"
[ "$(probe count)" = 1 ] || { echo "the CJK name was not found"; exit 1; }

probe close
wait "$gui_pid"; rc=$?
gui_pid=
[ "$rc" = 0 ] || { echo "the window ended with status $rc"; exit 1; }
python3 - "$work/home/nusk.ini" <<'PY' || { echo "the window did not save its columns and recent search"; exit 1; }
import sys
raw = open(sys.argv[1], "rb").read()
text = raw.decode("utf-16") if raw[:2] == b"\xff\xfe" else raw.decode("utf-8")
assert "Columns=0,1,4,2" in text and "Item0=資料" in text, text
PY
echo "window end to end: $all items, 'report' $want rows, CJK name found, closed cleanly"
