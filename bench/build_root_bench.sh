#!/bin/bash
# Build of a folder drive end to end, against a plain walk of the same tree that stores
# nothing (find -xdev -printf ''), in the same run, warm and optionally cold.
#
#   bench/build_root_bench.sh <nusk binary> [tree] [--cold] [--synthetic N]
#
# tree defaults to "/". --synthetic N first makes a tree of N files (100 per folder) in a
# temporary folder and measures that instead. --cold drops the page cache before each
# timed run (needs root; slows every other process on the machine for a moment).
# Prints the seconds of each run, the ratio, and the per-stage "(%d ms)" lines.
set -euo pipefail
nusk=$(readlink -f "$1"); shift
tree=/
cold=0
synthetic=0
while [ $# -gt 0 ]; do
  case "$1" in
    --cold) cold=1 ;;
    --synthetic) synthetic=$2; shift ;;
    *) tree=$1 ;;
  esac
  shift
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$synthetic" -gt 0 ]; then
  tree=$work/tree
  mkdir -p "$tree"
  python3 - "$tree" "$synthetic" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(root, "d%03d" % (i // 10000), "s%03d" % ((i // 100) % 100))
    if i % 100 == 0:
        os.makedirs(d, exist_ok=True)
    open(os.path.join(d, "file%07d.txt" % i), "w").close()
PY
fi
home=$work/home
mkdir -p "$home"
printf '[Drives]\nC=%s\n' "$tree" > "$home/nusk.ini"

drop() { if [ "$cold" = 1 ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi; }
seconds() { local s e; s=$(date +%s.%N); "$@" > "$work/out" 2>&1 || true; e=$(date +%s.%N); echo "$e - $s" | bc; }

items=$(find "$tree" -xdev 2>/dev/null | wc -l)
find "$tree" -xdev -printf '' 2>/dev/null || true   # warm-up of both, unless cold
"$nusk" build --dbdir "$home" > /dev/null 2>&1 || true
drop; t_find=$(seconds find "$tree" -xdev -printf '')
drop; t_build=$(seconds "$nusk" build --dbdir "$home")
echo "tree: $tree ($items items), nproc: $(nproc), cold: $cold"
echo "find -xdev -printf '': ${t_find} s"
echo "nusk build:            ${t_build} s"
echo "ratio build/find:      $(echo "scale=2; $t_build / $t_find" | bc)"
echo "-- stages (status output)"; grep -E '\(.*ms\)|ms$' "$work/out" || true
echo "-- stages (build log)"; grep -E 'ms\)' "$home/nusk.build.log" || true
