#!/bin/bash
# Build of a folder drive end to end, against a plain walk of the same tree that stores
# nothing (find -xdev -printf ''), in the same run, warm and optionally cold.
#
#   bench/build_root_bench.sh <nusk binary> [tree] [--cold] [--synthetic N] [--runs R]
#                             [--compare <other nusk binary>]
#
# tree defaults to "/". --synthetic N makes a tree of N empty files (100 per folder,
# tools/gen_tree/gen_tree.py) and measures that instead: in a temporary folder removed at
# the end, or, when a tree folder is given too, in that folder, kept for later runs.
# --cold drops the page cache before each timed run (needs root; slows every other
# process on the machine for a moment). --runs R times R alternating pairs (default 1).
# --compare also times another build of the program (e.g. the previous commit's) in
# the same runs, with its own home folder. The previous index is kept between runs, as in a user's repeated builds.
# Prints the seconds of each run (wall, and user+sys CPU in brackets), the ratio of the
# wall times, and the per-stage "(%d ms)" lines. A second baseline, find printing each
# entry's size and time (-printf '%s%T@' > /dev/null), stats every entry as the build
# must; the plain find stats only folders. On a busy machine the wall times depend on
# how much of the two cores the other processes leave; the CPU times much less.
set -euo pipefail
nusk=$(readlink -f "$1"); shift
[ -x "$nusk" ] || { echo "not a program: $nusk (e.g. build/native/app/nusk)" >&2; exit 2; }
here=$(dirname "$(readlink -f "$0")")
tree=
cold=0
synthetic=0
runs=1
other=
while [ $# -gt 0 ]; do
  case "$1" in
    --cold) cold=1 ;;
    --synthetic) synthetic=$2; shift ;;
    --runs) runs=$2; shift ;;
    --compare) other=$(readlink -f "$2"); [ -x "$other" ] || { echo "not a program: $2" >&2; exit 2; }; shift ;;
    *) tree=$1 ;;
  esac
  shift
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$synthetic" -gt 0 ]; then
  tree=${tree:-$work/tree}
  python3 "$here/../tools/gen_tree/gen_tree.py" "$tree" "$synthetic"
fi
tree=${tree:-/}
home=$work/home
mkdir -p "$home"
printf '[Drives]\nC=%s\n' "$tree" > "$home/nusk.ini"

drop() { if [ "$cold" = 1 ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi; }
# "wall cpu" of one run; the program's output goes to $work/out.
seconds() {
  local TIMEFORMAT='%R %U %S' t
  t=$( { time "$@" > "$work/out" 2>&1 || true; } 2>&1 )
  set -- $t
  echo "$1 $(echo "$2 + $3" | bc)"
}
show() { echo "$1 s [cpu $2 s]"; }

items=$( (find "$tree" -xdev 2>/dev/null || true) | wc -l)  # files may vanish meanwhile
find "$tree" -xdev -printf '' 2>/dev/null || true   # warm-up of both, unless cold
"$nusk" build --dbdir "$home" > /dev/null 2>&1 || true
if [ -n "$other" ]; then
  mkdir -p "$work/other"; cp "$home/nusk.ini" "$work/other/"
  "$other" build --dbdir "$work/other" > /dev/null 2>&1 || true
fi
echo "tree: $tree ($items items), nproc: $(nproc), cold: $cold, load: $(cut -d' ' -f1-3 /proc/loadavg)"
ratio() { echo "scale=2; $1 / $2" | bc; }
for run in $(seq "$runs"); do
  drop; read -r f_wall f_cpu < <(seconds find "$tree" -xdev -printf '')
  drop; read -r s_wall s_cpu < <(seconds find "$tree" -xdev -printf '%s%T@')
  # A build run right after another one is several per cent faster than one run after
  # the single-threaded finds (the host seems slow to give back the second core), so
  # the compared build goes first in every other run.
  if [ -n "$other" ] && [ $((run % 2)) = 0 ]; then
    drop; read -r o_wall o_cpu < <(seconds "$other" build --dbdir "$work/other")
  fi
  drop; read -r b_wall b_cpu < <(seconds "$nusk" build --dbdir "$home")
  if [ -n "$other" ] && [ $((run % 2)) = 1 ]; then
    drop; read -r o_wall o_cpu < <(seconds "$other" build --dbdir "$work/other")
  fi
  echo "run $run: find -xdev -printf '' $(show "$f_wall" "$f_cpu"), with stat $(show "$s_wall" "$s_cpu")," \
       "nusk build $(show "$b_wall" "$b_cpu"), ratio $(ratio "$b_wall" "$f_wall") (to find with stat" \
       "$(ratio "$b_wall" "$s_wall"))"
  if [ -n "$other" ]; then
    echo "       compared build $(show "$o_wall" "$o_cpu"), ratio $(ratio "$o_wall" "$f_wall")" \
         "($([ $((run % 2)) = 0 ] && echo first || echo second))"
  fi
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "-- stages (status output of the last build run)"; grep -E '\(.*ms\)|ms$' "$work/out" || true
echo "-- stages (build log of $nusk)"; grep -E 'ms\)|ms$' "$home/nusk.build.log" || true
