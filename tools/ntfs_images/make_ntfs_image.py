#!/usr/bin/env python3
"""Builds NTFS test images with mkntfs, fills them through an ntfs-3g FUSE mount and
writes the oracle listing read back from the mounted file system.

Usage: make_ntfs_image.py CASE OUT_DIR        (CASE: see CASES; 'all' builds every case)
       make_ntfs_image.py --oracle IMAGE OUT.tsv   (re-reads the oracle of an image)

Writes OUT_DIR/CASE.img and OUT_DIR/CASE.oracle.tsv. Each oracle line describes one
name the mounted file system shows (hard links give one line per name):
  inode  parent_inode  is_dir  size  mtime_filetime  hidden  name_utf16le_hex
The inode ntfs-3g reports is the MFT record number. Needs root, /dev/fuse, mkntfs
and ntfs-3g (Debian package ntfs-3g).
"""
import os
import stat
import subprocess
import sys
import tempfile

FILETIME_EPOCH = 116444736000000000


def run(*args, **kw):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, **kw)


class Mount:
    def __init__(self, image, options=""):
        self.image = image
        self.dir = tempfile.mkdtemp(prefix="nusk-ntfs-")
        self.options = options

    def __enter__(self):
        opts = "streams_interface=xattr"
        if self.options:
            opts += "," + self.options
        run("ntfs-3g", "-o", opts, self.image, self.dir)
        return self.dir

    def __exit__(self, *exc):
        subprocess.run(["fusermount", "-u", self.dir], check=False)
        if os.path.ismount(self.dir):
            subprocess.run(["umount", self.dir], check=False)
        os.rmdir(self.dir)


def make_volume(image, size_mb, cluster, sector=512):
    with open(image, "wb") as f:
        f.truncate(size_mb << 20)
    subprocess.run(["mkntfs", "-F", "-Q", "-q", "-c", str(cluster), "-s", str(sector), "-L", "NUSKTEST", image],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def set_hidden(path):
    # ntfs-3g exposes the Windows attribute word as a big-endian extended attribute.
    cur = int.from_bytes(os.getxattr(path, "system.ntfs_attrib_be"), "big")
    os.setxattr(path, "system.ntfs_attrib_be", (cur | 0x2).to_bytes(4, "big"))


def write(path, size=0, byte=b"x"):
    with open(path, "wb") as f:
        if size:
            f.write(byte * size)


def fill_basic(root):
    """Names, namespaces, links, sizes, deletions, markers, hidden items."""
    os.makedirs(f"{root}/Docs/Reports/2024")
    write(f"{root}/Docs/readme.txt", 1234)
    write(f"{root}/Docs/Reports/2024/Quarterly Financial Summary.xlsx", 5000)
    write(f"{root}/Docs/Reports/2024/a.b", 1)
    # Names that differ only in case can live side by side (POSIX namespace).
    write(f"{root}/Docs/Case.txt", 10)
    write(f"{root}/Docs/case.txt", 20)
    # Hard links: one record, several names.
    write(f"{root}/Docs/linked.dat", 77)
    os.link(f"{root}/Docs/linked.dat", f"{root}/Docs/Reports/link2.dat")
    # Names outside the BMP and of the NTFS maximum length.
    write(f"{root}/Docs/emoji-\U0001F600-\U00010348.txt", 3)
    write(f"{root}/Docs/" + "L" * 251 + ".txt", 4)
    os.makedirs(f"{root}/" + "\u00e9t\u00e9 \u4e2d\u6587")
    # Sizes on both sides of the 32-bit size form, and a sparse file over 4 GiB.
    for name, size in (("max31.bin", 0x7FFFFFFF), ("over31.bin", 0x80000000), ("huge.bin", 5 << 30)):
        with open(f"{root}/{name}", "wb") as f:
            f.truncate(size)
    # Alternate data streams must not count as the file's size.
    write(f"{root}/Docs/streams.txt", 5)
    os.setxattr(f"{root}/Docs/streams.txt", "user.extra", b"y" * 3000)
    # Deleted items leave records that are not in use.
    for i in range(30):
        write(f"{root}/Docs/tmp{i}.tmp", i)
    for i in range(0, 30, 2):
        os.remove(f"{root}/Docs/tmp{i}.tmp")
    os.makedirs(f"{root}/Gone/Sub")
    os.rmdir(f"{root}/Gone/Sub")
    # An ignored folder tree and hidden items.
    os.makedirs(f"{root}/Private/Inner")
    write(f"{root}/Private/_nuskignore")
    write(f"{root}/Private/Inner/secret.txt", 9)
    os.makedirs(f"{root}/HiddenDir/Below")
    write(f"{root}/HiddenDir/Below/x.txt", 2)
    set_hidden(f"{root}/HiddenDir")
    write(f"{root}/Docs/hidden.txt", 2)
    set_hidden(f"{root}/Docs/hidden.txt")
    # Many hard links push the names into extension records (an $ATTRIBUTE_LIST).
    os.makedirs(f"{root}/Links")
    write(f"{root}/Links/many.txt", 11)
    for i in range(40):
        os.link(f"{root}/Links/many.txt", f"{root}/Links/many-link-with-a-longer-name-{i:03}.txt")


def fill_small(root):
    os.makedirs(f"{root}/a/b/c")
    write(f"{root}/a/file1.txt", 100)
    write(f"{root}/a/b/c/Long File Name.document", 4097)
    write(f"{root}/top.bin", 70000)
    os.link(f"{root}/top.bin", f"{root}/a/top-link.bin")


def fill_deep(root):
    fd = os.open(root, os.O_RDONLY)
    for i in range(1000):
        name = f"d{i}"
        os.mkdir(name, dir_fd=fd)
        nfd = os.open(name, os.O_RDONLY, dir_fd=fd)
        os.close(fd)
        fd = nfd
    with open(os.open("bottom.txt", os.O_WRONLY | os.O_CREAT, dir_fd=fd), "wb") as f:
        f.write(b"end")
    os.close(fd)


def fill_fragmented(root):
    """Fills the volume with data, punches holes, then grows the MFT into the holes."""
    os.makedirs(f"{root}/pad")
    i = 0
    try:
        while True:
            write(f"{root}/pad/p{i}", 64 << 10)
            i += 1
    except OSError:
        pass  # volume full
    for k in range(0, i, 2):
        os.remove(f"{root}/pad/p{k}")
    for step in range(8):
        os.makedirs(f"{root}/s{step}")
        for n in range(300):
            write(f"{root}/s{step}/f{n}", 1)
        for n in range(0, 300, 3):
            os.remove(f"{root}/s{step}/f{n}")


def fill_many(root, count):
    per = 1000
    for d in range(0, count, per):
        os.makedirs(f"{root}/d{d // per}")
        for i in range(min(per, count - d)):
            write(f"{root}/d{d // per}/file-{i:06}.txt")


# name: (size MiB, cluster bytes, sector bytes, filler)
CASES = {
    "basic4k": (24, 4096, 512, fill_basic),
    "small512": (8, 512, 512, fill_small),
    "small1k": (8, 1024, 512, fill_small),
    "small64k": (48, 65536, 512, fill_small),
    "rec4096": (16, 4096, 4096, fill_small),
    "deep": (16, 4096, 512, fill_deep),
    "fragmented": (12, 4096, 512, fill_fragmented),
    "many100k": (400, 4096, 512, lambda r: fill_many(r, 100000)),
}


def write_oracle(mount, out):
    lines = []
    root_ino = os.stat(mount).st_ino

    # Walks by folder descriptors so that 1,000-level trees stay under PATH_MAX.
    def visit(dir_fd, parent_ino):
        for entry in os.scandir(dir_fd):
            st = os.stat(entry.name, dir_fd=dir_fd, follow_symlinks=False)
            is_dir = stat.S_ISDIR(st.st_mode)
            fd = os.open(entry.name, os.O_RDONLY | os.O_NOFOLLOW, dir_fd=dir_fd)
            try:
                try:
                    attrib = int.from_bytes(os.getxattr(fd, "system.ntfs_attrib_be"), "big")
                except OSError:
                    attrib = 0
                ft = st.st_mtime_ns // 100 + FILETIME_EPOCH
                lines.append(f"{st.st_ino}\t{parent_ino}\t{int(is_dir)}\t{0 if is_dir else st.st_size}\t"
                             f"{ft}\t{int(bool(attrib & 2))}\t{entry.name.encode('utf-16-le').hex()}")
                if is_dir:
                    visit(fd, st.st_ino)
            finally:
                os.close(fd)

    sys.setrecursionlimit(10000)
    top = os.open(mount, os.O_RDONLY)
    visit(top, root_ino)
    os.close(top)
    with open(out, "w") as f:
        f.write("\n".join(sorted(lines)) + "\n")


def build(case, out_dir):
    size, cluster, sector, filler = CASES[case]
    image = os.path.join(out_dir, case + ".img")
    make_volume(image, size, cluster, sector)
    with Mount(image) as m:
        filler(m)
    with Mount(image, "ro") as m:
        write_oracle(m, os.path.join(out_dir, case + ".oracle.tsv"))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--oracle":
        with Mount(sys.argv[2], "ro") as m:
            write_oracle(m, sys.argv[3])
        return
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    case, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    for c in (CASES if case == "all" else [case]):
        if c == "many100k" and case == "all":
            continue  # benchmark image: built on request only
        build(c, out_dir)


if __name__ == "__main__":
    main()
