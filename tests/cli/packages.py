# The packages and files the CLI cases read, made in the current folder; every entry is stored, so each cell of a
# listing is known. hostile.zip has names that forge entry and status lines, hide an extension behind a right-to-left
# override, or send a terminal control sequence (the one-character CSI), and a comment with a line break; dst.zip has
# times on both sides of summer time changes in Europe, America and Australia. damage() changes the byte after
# marker: a CRC error.
import os, zipfile
T = (2024, 3, 9, 8, 7, 6)
def pack(path, entries, comment=b""):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with zipfile.ZipFile(path, "w") as z:
        z.comment = comment
        for name, data, *time in entries:
            z.writestr(zipfile.ZipInfo(name, time[0] if time else T), data)
pack("Sample Pack.zip", [("zeta.txt", "z" * 1234), ("docs/", "", (2024, 1, 1, 0, 0, 0)), ("docs/Alpha.TXT", "a" * 10,
     (1999, 12, 31, 23, 59, 58)), ("docs/empty", "", (2010, 5, 1, 12, 0, 0)), ("beta.bin", "b" * 9)], b"weekly docs")
pack("hostile.zip", [(n, "x") for n in ["a\n  (forged.zip)  Files = 0\tx.txt", "invoice\u202etxt.exe",
     "csi\u009b31mr\u00f8d", "back\\slash\tz", "../up\rcr"]], b"two\nlines\x07\x1b")
pack("dst.zip", [("f%d.txt" % i, "x", t) for i, t in enumerate([(2021, 3, 28, 1, 59, 58), (2021, 3, 28, 3, 0, 0),
     (2021, 10, 31, 1, 59, 58), (2021, 10, 31, 2, 30, 0), (2021, 10, 31, 3, 0, 0), (2021, 3, 14, 1, 59, 58),
     (2021, 3, 14, 3, 0, 0), (2021, 11, 7, 1, 30, 0), (2021, 7, 1, 12, 0, 0), (2022, 1, 1, 0, 0, 0)])])
pack("evil.zip", [("../escape.txt", "bad"), ("fine.txt", "good")])
pack("p.zip", [("f%02d.txt" % i, ("Q" if i == 4 else chr(97 + i)) * 2000) for i in range(14)] +
     [("back\\slash.txt", "kept as a name")])
def damage(path, marker, to):
    data = bytearray(open(path, "rb").read())
    data[data.index(marker) + len(marker)] = ord("R")
    open(to, "wb").write(bytes(data))
damage("p.zip", b"Q" * 1000, "p.zip")
damage("Sample Pack.zip", b"z" * 100, "damaged.zip")
damage("hostile.zip", "invoice\u202etxt.exe".encode(), "damaged hostile.zip")
open("truncated.zip", "wb").write(open("Sample Pack.zip", "rb").read()[:-30])
open("notes.zip", "w").write("just some text, not a package\n")
open("empty.zip", "w").close()
os.mkfifo("pipe.zip")
pack("pack.zip", [("a.txt", "alpha", (2020, 1, 2, 3, 4, 6))])
for path, name in [("tree/b.zip", "docs/ReadMe.txt"), ("tree/A dir/c.ZIP", "notes.txt"),
                   ("tree/tab\there.zip", "sub/readme.TXT")]:
    pack(path, [(name, "data of " + name)])
open("tree/broken.zip", "wb").write(b"b" * 1234)
for path, data in [("s/b/Report.txt", "Quarterly NUMBERS\n"), ("s/a/new\nline.txt", "numbers"),
                   ("s/a/big.bin", "n" * 10240), ("s/c/other.dat", "nothing to see")]:
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "w").write(data)
