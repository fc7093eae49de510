#!/usr/bin/env python3
"""Writes the crafted packages of this folder (see README.md). Run from this folder."""
import struct
import zlib


def local(name, data, method=0, comp=None, size=None):
    comp = data if comp is None else comp
    return (struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, 0, 0x21, zlib.crc32(data),
                        len(comp), len(data) if size is None else size, len(name), 0) + name + comp)


def central(name, data, offset, method=0, comp_size=None, size=None, extra=b""):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, 0, 0x21, zlib.crc32(data),
                       len(data) if comp_size is None else comp_size, len(data) if size is None else size,
                       len(name), len(extra), 0, 0, 0, 0, offset) + name + extra


def end(entries, cd_size, cd_offset, disk=0):
    return struct.pack("<IHHHHIIH", 0x06054B50, disk, disk, entries, entries, cd_size, cd_offset, 0)


# One stored entry; the zip64 end record claims that the package ends on disk 0xFFFFFFFE of 0xFFFFFFFF.
data = b"hello"
body = local(b"a.txt", data)
cd = central(b"a.txt", data, 0)
zip64_end = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0xFFFFFFFE, 0, 1, 1, len(cd), len(body))
locator = struct.pack("<IIQI", 0x07064B50, 0xFFFFFFFE, len(body) + len(cd), 0xFFFFFFFF)
with open("Broken-zip64-disk-claim.zip", "wb") as f:
    f.write(body + cd + zip64_end + locator + end(0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF))

# Two deflated entries whose zip64 fields claim sizes near 2^63 (together more than 2^63 - 1), and a third
# claiming 2^64 - 1; the data is five real bytes each.
packed = zlib.compress(data)[2:-4]
body, cd = b"", b""
for name, size in ((b"big1.bin", 0x7FFFFFFFFFFF0000), (b"big2.bin", 0x7FFFFFFFFFFF0000),
                   (b"huge.bin", 0xFFFFFFFFFFFFFFFF)):
    offset = len(body)
    body += local(name, data, 8, packed, 0xFFFFFFFF)
    cd += central(name, data, offset, 8, len(packed), 0xFFFFFFFF, struct.pack("<HHQ", 1, 8, size))
with open("Broken-huge-sizes.zip", "wb") as f:
    f.write(body + cd + end(3, len(cd), len(body)))

# One stored entry; its zip64 end record claims a central directory of 2^62 bytes in a file of 189 bytes.
body = local(b"a.txt", data)
cd = central(b"a.txt", data, 0)
zip64_end = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 1, 1, 1 << 62, len(body))
locator = struct.pack("<IIQI", 0x07064B50, 0, len(body) + len(cd), 1)
with open("Broken-directory-size-claim.zip", "wb") as f:
    f.write(body + cd + zip64_end + locator + end(0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF))
