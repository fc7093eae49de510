#!/usr/bin/env python3
"""Makes, in the current folder, the zip packages the self-extractor tests append to the stub.

src/                  the files packed: a text, a random binary in a folder, an executable script
plain.zip             `zip -r`
crypto.zip            `zip -r -P pw` (ZipCrypto)
aes2.zip, aes1.zip    `7z a -tzip -mem=AES256 -ppw` (AE-2), and the same with the AE-1 mark and the real CRCs
zip64.zip             Python's zipfile, zip64 forced for a small entry, a name that is not UTF-8
dotdot.zip, absolute.zip, link.zip
                      hostile: "../" names, an absolute name (into ./outside), a symbolic link and a file below it
"""
import os
import random
import struct
import subprocess
import zipfile
import zlib

HERE = os.getcwd()
FILES = {"a.txt": b"hello\n", "sub/b.bin": random.Random(7).randbytes(300_000), "run.sh": b"#!/bin/sh\necho hi\n"}


def make_tree():
    for name, data in FILES.items():
        path = os.path.join("src", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.chmod("src/run.sh", 0o755)


def fields(data, at):
    """Offsets of the AES extra field's version and of the CRC in the header at `at` (local or central)."""
    central = data[at:at + 4] == b"PK\x01\x02"
    name_len, extra_len = struct.unpack_from("<HH", data, at + (28 if central else 26))
    extra = at + (46 if central else 30) + name_len
    end = extra + extra_len
    while extra + 4 <= end:
        tag, size = struct.unpack_from("<HH", data, extra)
        if tag == 0x9901:
            return extra + 4, at + (16 if central else 14), name_len
        extra += 4 + size
    return None, None, name_len


def to_ae1(source, target):
    """AE-1 keeps the plain data's CRC beside the authentication code; 7-Zip writes AE-2 (CRC 0)."""
    data = bytearray(open(source, "rb").read())
    with zipfile.ZipFile(source) as z:
        infos = z.infolist()
        directory = z.start_dir
    for at in [i.header_offset for i in infos]:
        version, crc, name_len = fields(data, at)
        name = bytes(data[at + 30:at + 30 + name_len]).decode()
        if version:
            struct.pack_into("<HI", data, version, 1, 0)
            struct.pack_into("<I", data, crc, zlib.crc32(FILES[name]))
    at = directory
    while data[at:at + 4] == b"PK\x01\x02":
        version, crc, name_len = fields(data, at)
        if version:
            struct.pack_into("<H", data, version, 1)
            struct.pack_into("<I", data, crc, zlib.crc32(FILES[bytes(data[at + 46:at + 46 + name_len]).decode()]))
        extra_len, comment_len = struct.unpack_from("<HH", data, at + 30)
        at += 46 + name_len + extra_len + comment_len
    open(target, "wb").write(data)


def hostile(path, entries):
    with zipfile.ZipFile(path, "w") as z:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name)
            info.external_attr = mode << 16
            z.writestr(info, data)


def main():
    make_tree()
    names = sorted(FILES)
    subprocess.run(["zip", "-qr", "../plain.zip", *names], cwd="src", check=True)
    subprocess.run(["zip", "-qr", "-P", "pw", "../crypto.zip", *names], cwd="src", check=True)
    subprocess.run(["7z", "a", "-tzip", "-mem=AES256", "-ppw", "../aes2.zip", *names], cwd="src", check=True,
                   stdout=subprocess.DEVNULL)
    to_ae1("aes2.zip", "aes1.zip")
    with zipfile.ZipFile("zip64.zip", "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("small64.txt", "w", force_zip64=True) as f:
            f.write(b"zip64 " * 100)
        z.writestr("cafX.txt", b"latin-1 name")
    data = open("zip64.zip", "rb").read()
    open("zip64.zip", "wb").write(data.replace(b"cafX", b"caf\xe9"))
    hostile("dotdot.zip", [("ok.txt", b"ok", 0o100644), ("../evil.txt", b"evil", 0o100644),
                           ("sub/../../evil2.txt", b"evil", 0o100644)])
    hostile("absolute.zip", [(os.path.join(HERE, "outside", "abs.txt"), b"evil", 0o100644)])
    hostile("link.zip", [("link", os.path.join(HERE, "outside").encode(), 0o120777),
                         ("link/evil.txt", b"evil", 0o100644)])


if __name__ == "__main__":
    main()
