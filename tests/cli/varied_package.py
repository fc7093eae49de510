# Names of every kind the fast reader takes (ASCII in both cases, UTF-8, backslashes, a right-to-left override,
# folder entries), sizes that compress and do not, and more entries than the classic end record can count.
# Arguments: the package to write and its number of entries.
import sys, zipfile, random
rnd = random.Random(5)
names = ["Alpha", "alpha", "BETA", "\u00e9t\u00e9", "\u4e2d\u6587", "back\\slash", "rtl\u202etxt.exe", "x.tar.gz",
         "Zulu", "\U0001F600smile", "noext", "a b c"]
noise = bytes(rnd.getrandbits(8) for _ in range(600))
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.comment = "n\u00f6tes".encode()
    z.writestr(zipfile.ZipInfo("Folder/", (2001, 2, 3, 4, 5, 6)), "")
    for i in range(int(sys.argv[2])):
        name = "%s/%s%05d.%s" % (rnd.choice(["d1", "D2", "d\u00e9", "a/b/c"]), rnd.choice(names), i % 997,
                                 rnd.choice(["txt", "TXT", "bin", ""]))
        info = zipfile.ZipInfo(name, (rnd.randint(1980, 2107), rnd.randint(1, 12), rnd.randint(1, 28),
                                      rnd.randint(0, 23), rnd.randint(0, 59), rnd.randint(0, 59) & ~1))
        info.compress_type = zipfile.ZIP_DEFLATED if i % 3 else zipfile.ZIP_STORED
        size = rnd.choice([0, 1, 50, 1000, 5000])
        z.writestr(info, (b"ab" * size)[:size] if i % 2 else noise[i % 300:i % 300 + size % 300])
