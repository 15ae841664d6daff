#!/usr/bin/env python3
"""Writes the golden database files of a five-item index straight from the byte
layout, independently of the C++ writer, so the writer test compares against bytes
that were not produced by the code under test.

Index: C:\\Users\\ReadMe.TXT, C:\\Café (3 GiB), D:\\ with label "Data", mount slot 1,
last full build 123456, and ReadMe.TXT hidden (255)."""
import struct

def ref(rec, drive, mount=0, seq=0):
    return rec | (drive << 32) | (mount << 40) | (seq << 48)

def bits(lower):
    b = 0
    special = {'.': 26, '_': 27, '0': 28, '1': 29, '2': 30, '3': 31}
    for ch in lower:
        c = ord(ch)
        if c > 0x7A:
            continue
        b |= 1 << special.get(ch, (c - 0x61) % 32)
    return b

def key(name, folder):
    lower = name.lower()  # these names only need ASCII/Latin-1 lowering
    pos = [i + 1 for i, (a, b) in enumerate(zip(name, lower)) if a != b]
    k = ('1' if folder else '2') + lower
    if pos:
        k += '\x1f' + ''.join(chr(p) for p in pos)
    return k, lower, len(pos)

C, D = 2, 3
# (name, folder, reference, parent reference, time, size form)
items = [
    ("C:", True, ref(5, C, 0, 1), 0, 10, 0),
    ("Users", True, ref(10, C), ref(5, C, 0, 1), 1000, 0),
    ("ReadMe.TXT", False, ref(20, C), ref(10, C), 2000, 1234),
    ("Caf\u00e9", False, ref(21, C), ref(5, C, 0, 1), 3000, (-(3 << 20)) & 0xFFFFFFFF),
    ("D:", True, ref(5, D), 0, 20, 0),
]
names = sorted((key(n, f)[0], i) for i, (n, f, *_ ) in enumerate(items))
order = [i for _, i in names]          # one item per name here
new_index = {old: new for new, old in enumerate(order)}
by_ref = {items[i][2]: new_index[i] for i in range(len(items)) if items[i][1]}

nrs = struct.pack('<I', len(names))
texts = b''
for k, i in names:
    name, folder = items[i][0], items[i][1]
    _, lower, cases = key(name, folder)
    wide = any(ord(c) > 0x7F for c in lower)
    nrs += struct.pack('<IIBBB', bits(lower), new_index[i], 1 if wide else 0, len(name), cases)
    texts += k.encode('utf-16-le') if wide else k.encode('latin-1')
nrs += texts

header = struct.pack('<III', 0x400, len(items), 123456) + bytes(116)
drives = b''
label_start = 0
for d in range(26):
    if d == D:
        label = "Data"
        block = struct.pack('<QQIIII', 0x0102030405060708, 99, 0xABCDEF01, 777, label_start, len(label))
        block += b'\x01' + bytes(128 - 33)
        label_start += len(label)
    else:
        block = bytes(128)
    drives += block
rows = b''
for i in order:
    _, _, r, parent, t, size = items[i]
    rows += struct.pack('<QIII', r, by_ref[parent] if parent else 0xFFFFFFFF, t, size)
pool = "Data".encode('utf-16-le')
mounts = b''
for m in range(256):
    if m == 1:
        block = struct.pack('<QQ', 5, 6) + bytes(33 - 16) + b'vol-guid'.ljust(37, b'\0') + struct.pack('<Q', ref(10, C))
        block += bytes(128 - len(block))
    else:
        block = bytes(128)
    mounts += block
frs = header + drives + rows + pool + mounts

hid = struct.pack('<II', 1, new_index[2]) + b'\xff'

for name, data in (("golden.frs", frs), ("golden.nrs", nrs), ("golden.hid", hid)):
    with open(name, 'wb') as f:
        f.write(data)
