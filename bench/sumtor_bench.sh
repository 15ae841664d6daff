#!/bin/bash
# Hashing tool throughput against reading the same files with cat, in the same run.
#
#   bench/sumtor_bench.sh <nusk binary> <sumtor binary> [tree] [--mb N] [--sizes "S1 S2 ..."]
#
# Without a tree, makes one in a temporary folder: about N MB (default 512) of random
# content spread evenly over files of the given sizes in bytes (default 4 KiB, 64 KiB,
# 1 MiB, 8 MiB), several files per size so that sumtor reads every one (a file whose size
# no other file has is recorded without reading). The tree is indexed as
# drive C: of a fresh home folder; then, with a warm page cache, both are timed twice:
# `sumtor --dbdir HOME` and `cat` of the files sumtor reads into /dev/null.
# Prints seconds, MB/s and the ratio sumtor/cat.
set -euo pipefail
nusk=$(readlink -f "$1"); sumtor=$(readlink -f "$2"); shift 2
tree=""
mb=512
sizes="4096 65536 1048576 8388608"
while [ $# -gt 0 ]; do
  case "$1" in
    --mb) mb=$2; shift ;;
    --sizes) sizes=$2; shift ;;
    *) tree=$(readlink -f "$1") ;;
  esac
  shift
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -z "$tree" ]; then
  tree=$work/tree
  python3 - "$tree" "$mb" $sizes <<'PY'
import os, sys
root, total = sys.argv[1], int(sys.argv[2]) << 20
sizes = [int(x) for x in sys.argv[3:]]
for s in sizes:
    d = os.path.join(root, "s%d" % s)
    os.makedirs(d)
    for i in range(max(2, (total // len(sizes)) // s)):
        with open(os.path.join(d, "f%06d.bin" % i), "wb") as f:
            f.write(os.urandom(s))
PY
fi
home=$work/home
mkdir -p "$home"
printf '[Drives]\nC=%s\n' "$tree" > "$home/nusk.ini"
"$nusk" build --dbdir "$home" > /dev/null

# The files sumtor reads: regular files whose size another file shares.
find "$tree" -xdev -type f -printf '%s\t%p\n' | sort -n > "$work/by_size"
awk -F'\t' '{n[$1]++; p[NR]=$2; s[NR]=$1} END {for (i=1;i<=NR;i++) if (n[s[i]]>1) print p[i]}' "$work/by_size" \
  > "$work/shared"
bytes=$(tr '\n' '\0' < "$work/shared" | xargs -0 stat -c %s | awk '{t+=$1} END {print t+0}')

seconds() { local s e; s=$(date +%s.%N); "$@" > "$work/out" 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }
cat_all() { tr '\n' '\0' < "$work/shared" | xargs -0 cat > /dev/null; }

cat_all; "$sumtor" --dbdir "$home" > /dev/null  # warm the page cache and the program
for run in 1 2; do
  t_cat=$(seconds cat_all)
  t_sum=$(seconds "$sumtor" --dbdir "$home")
  echo "run $run: $(wc -l < "$work/shared") files, $((bytes >> 20)) MB"
  echo "  cat:    ${t_cat} s  $(echo "scale=0; $bytes / 1048576 / $t_cat" | bc) MB/s"
  echo "  sumtor: ${t_sum} s  $(echo "scale=0; $bytes / 1048576 / $t_sum" | bc) MB/s"
  echo "  ratio sumtor/cat: $(echo "scale=2; $t_sum / $t_cat" | bc)"
  echo "  sumtor says: $(cat "$work/out")"
done
