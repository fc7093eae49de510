#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into corpus/<target>/ (run it in this folder to write them again).

The seeds are tiny on purpose: libFuzzer grows its own corpus from them; they only show it the shapes each reader
expects (a stored and a deflated entry, a folder, a comment, zip64 fields, a traditional-encrypted entry, a name
that climbs out of the target; a set file in plain and enciphered form; a pattern and a path)."""
import io
import os
import struct
import subprocess
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
FIXED_TIME = (2020, 1, 2, 3, 4, 6)


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def make_zip(entries, comment=b"", zip64=False):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name, FIXED_TIME)
            info.compress_type = method
            info.external_attr = (0o40755 << 16) | 0x10 if name.endswith("/") else 0o100644 << 16
            if zip64:
                with z.open(info, "w", force_zip64=True) as f:
                    f.write(data)
            else:
                z.writestr(info, data)
        z.comment = comment
    return buf.getvalue()


def overlapping_zip():
    """Three directory records that all point at one local entry: a zip bomb's shape."""
    data = make_zip([("one.bin", bytes(4096), zipfile.ZIP_DEFLATED)])
    cd, end = data.find(b"PK\x01\x02"), data.rfind(b"PK\x05\x06")
    record = data[cd:end]
    records = b"".join(record[:46] + b"%03d.bin" % i + record[53:] for i in range(3))
    return data[:cd] + records + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 3, 3, len(records), cd, 0)


def lying_size_zip():
    """An entry that declares 10 bytes and inflates to 64 KiB."""
    data = bytearray(make_zip([("liar.bin", bytes(65536), zipfile.ZIP_DEFLATED)]))
    struct.pack_into("<I", data, 22, 10)
    struct.pack_into("<I", data, data.rfind(b"PK\x01\x02") + 24, 10)
    return bytes(data)


def encrypted_zip():
    """One entry enciphered with the traditional zip password "secret", made by Info-ZIP's zip."""
    with tempfile.TemporaryDirectory() as tmp:
        with open(os.path.join(tmp, "a.txt"), "wb") as f:
            f.write(b"hello hello hello\n")
        os.utime(os.path.join(tmp, "a.txt"), (1577934246, 1577934246))
        subprocess.run(["zip", "-q", "-X", "-P", "secret", "p.zip", "a.txt"], cwd=tmp, check=True)
        with open(os.path.join(tmp, "p.zip"), "rb") as f:
            return f.read()


# The set cipher as the program applies it (src/utility/FileCipher.cpp): XOR with a keystream of the key and the
# byte's position, so the same call enciphers and deciphers.
MASK = (1 << 64) - 1


def mix(x):
    x = (x + 0x9E3779B97F4A7C15) & MASK
    x = ((x ^ (x >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    x = ((x ^ (x >> 27)) * 0x94D049BB133111EB) & MASK
    return x ^ (x >> 31)


def cipher(data, key=b"TKWillow"):
    h = 0xCBF29CE484222325
    for c in key:
        h = ((h ^ c) * 0x100000001B3) & MASK
    seed = mix(h ^ len(key))
    out = bytearray(data)
    for p in range(len(out)):
        word = mix(seed ^ mix(p // 8))
        out[p] ^= ((word >> (8 * (p % 8))) & 0xFF) ^ key[p % len(key)]
    return bytes(out)


def main():
    S, D = zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED
    packages = {
        "empty.zip": make_zip([]),
        "stored.zip": make_zip([("a.txt", b"abc\n", S)]),
        "deflated.zip": make_zip([("docs/", b"", S), ("docs/b.txt", b"xyz " * 8, D)], comment=b"note"),
        "zip64.zip": make_zip([("big.bin", b"0123456789", S)], zip64=True),
        "encrypted.zip": encrypted_zip(),
    }
    for target in ("open_package", "extract_package", "package_directory"):
        for name, data in packages.items():
            put(target, name, data)
    put("extract_package", "climbs.zip", make_zip([("../up.txt", b"up", S), ("x/../../y.txt", b"y", S)]))
    for target in ("open_package", "extract_package"):
        put(target, "overlap.zip", overlapping_zip())
        put(target, "lying-size.zip", lying_size_zip())

    put("rebuild_journal", "rebuild", b"varnhold rebuild journal 1\nrename .p.zip.vhw-PID-1 p.z01\nremove p.z02\n")
    put("rebuild_journal", "climbs", b"varnhold rebuild journal 1\nrename .p.zip.vhw-PID-1 ../outside.txt\n"
                                     b"remove ..%2Foutside.txt\nremove other.txt\n")

    plain = (b"*Comment*Weekly\r\n"
             b"/home/u/docs/\t12\t3,456\t*.*\tpagefile.sys  *.tmp\r\n"
             b"/home/u/notes.txt\t1\t10\t\t\r\n")
    encoded = b"*Comment*odd\r\n%/data/a%09b.txt\t1\t1\t\t\r\n"
    damaged = b"no marker\r\nrow\twith\ttoo few\r\n/x/y\t1"
    for name, data in (("weekly", plain), ("encoded", encoded), ("damaged", damaged)):
        put("backup_set", name + ".txt", data)
        put("backup_set", name + ".set", cipher(data))

    for name, data in (("star", b"*.txt\0/home/u/a.TXT"), ("list", b"[!a-c]?#*\0d17x"),
                       ("open-bracket", b"a[b\0a[b"), ("words", b"*.tmp  *.swp system.dat\0/x/system.dat")):
        put("patterns", name, data)

    index = b"/home/u/Zips/Weekly.zip\r\n/data/backup one.ZIP\r\n"
    for name, data in (("index", cipher(index)), ("plain", index), ("not-paths", cipher(b"x\r\n\x01\r\n"))):
        put("package_index", name, data)


if __name__ == "__main__":
    main()
