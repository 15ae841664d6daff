#!/usr/bin/env python3
"""Makes a synthetic tree of empty files for build benchmarks.

Usage: gen_tree.py ROOT COUNT [PER_FOLDER]

Writes COUNT empty files under ROOT, PER_FOLDER (default 100) per folder, in folders
ROOT/dNNN/sNNN (100 sub-folders per top folder), so a 1,000,000-file tree has 10,000
leaf folders and 100 top folders. File names mix a shared stem with the running
number and a few extensions, so the index sees both distinct and repeated name parts.
A finished tree leaves ROOT/.gen_tree holding COUNT and PER_FOLDER; running again with
the same arguments does nothing, with others it refuses (remove ROOT first).
Each empty file costs one inode and no data blocks: check `df -i` first.
"""
import os
import sys

EXTENSIONS = ("txt", "cpp", "h", "jpg", "dll")


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__)
        sys.exit(2)
    root, count = sys.argv[1], int(sys.argv[2])
    per = int(sys.argv[3]) if len(sys.argv) == 4 else 100
    if count < 0 or per <= 0:
        sys.exit("COUNT must be >= 0 and PER_FOLDER > 0")
    stamp = os.path.join(root, ".gen_tree")
    want = f"{count} {per}\n"
    if os.path.exists(stamp):
        with open(stamp) as f:
            have = f.read()
        if have == want:
            return
        sys.exit(f"{root} holds another tree ({have.strip()}); remove it first")
    if os.path.exists(root) and os.listdir(root):
        sys.exit(f"{root} is not empty; remove it first")
    flags = os.O_WRONLY | os.O_CREAT | os.O_TRUNC
    folder = None
    for i in range(count):
        leaf = i // per
        if i % per == 0:
            folder = os.path.join(root, "d%03d" % (leaf // 100), "s%03d" % (leaf % 100))
            os.makedirs(folder, exist_ok=True)
        name = "file%07d.%s" % (i, EXTENSIONS[i % len(EXTENSIONS)])
        os.close(os.open(os.path.join(folder, name), flags, 0o644))
    os.makedirs(root, exist_ok=True)
    with open(stamp, "w") as f:
        f.write(want)


if __name__ == "__main__":
    main()
