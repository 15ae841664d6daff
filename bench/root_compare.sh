#!/usr/bin/env bash
# Builds "/" (drive C: by default) into a fresh home folder and checks that the database
# holds every entry `find / -xdev` lists, with the same kind, size and time, and nothing
# else. Entries that changed while the two listings were taken (a time or a parent
# folder's time at or after the build started) are counted apart, not as faults.
#   bench/root_compare.sh <native build folder> [tree]     exit 1 on a real difference
set -euo pipefail
build=$(readlink -f "$1"); tree=${2:-/}
work=$(mktemp -d /tmp/nusk-root-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
if [ "$tree" != / ]; then printf '[Drives]\nC=%s\n' "$tree" > "$work/nusk.ini"; fi
start=$(date +%s)
"$build/app/nusk" build --dbdir "$work" c > "$work/build.out" 2>&1 || { cat "$work/build.out"; exit 1; }
"$build/tools/index_dump/index_dump" "$work" > "$work/index.tsv"
find "$tree" -xdev -printf '%p\t%y\t%s\t%T@\n' > "$work/find.tsv" 2>/dev/null || true
python3 - "$work/index.tsv" "$work/find.tsv" "$start" "$tree" <<'PY'
import os, sys
index_file, find_file, start, tree = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
def load(path, from_find):
    items = {}
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            p, kind, size, t = line.rstrip("\n").split("\t")
            if from_find:
                kind = "d" if kind == "d" else "f"    # a link is an item, never followed
                t = int(float(t) // 1)
                size = int(size) if kind == "f" else 0
                if size > 0x7FFFFFFF: size = size >> 10 << 10
            else:
                t, size = int(t), int(size)
            items[p.rstrip("/") or "/"] = (kind, size, t % (1 << 32))
    return items
index, found = load(index_file, False), load(find_file, True)
root = tree.rstrip("/") or "/"
index.pop(root, None); found.pop(root, None)
def changed(p):
    for q in (p, os.path.dirname(p)):
        try:
            if os.lstat(q).st_mtime >= start - 1: return True
        except OSError:
            return True
    return False
faults, churn = [], 0
for p in set(index) | set(found):
    a, b = index.get(p), found.get(p)
    if a == b: continue
    if changed(p): churn += 1
    else: faults.append((p, a, b))
print(f"index {len(index):,} items, find {len(found):,} entries, "
      f"{churn:,} changed during the run, {len(faults):,} differences")
for p, a, b in sorted(faults)[:20]:
    print(f"  {p}: index {a}, find {b}")
sys.exit(1 if faults else 0)
PY
