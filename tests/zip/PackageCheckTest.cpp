// The read-back check of a written package: what the peer programs write passes, damage names the entry it hit,
// broken packages fail without a crash, what the check does not read itself is handed back, and a cancel stops it.

#include "zip/PackageCheck.h"
#include "ZipTestTools.h"

#include <QRegularExpression>

using namespace ziptest;
using Verdict = PackageCheck::Verdict;

static const QString kData = QStringLiteral(VARNHOLD_TEST_DATA "/");

// Entries of ~210 bytes of text, deflated: argv[1] package, argv[2] how many.
static const char* kManySmall =
    "import sys, zipfile\n"
    "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
    "    for i in range(int(sys.argv[2])):\n"
    "        z.writestr('d%d/f%d.txt' % (i % 97, i), ('entry %d, some text. ' % i * 12)[:210])\n";

static PackageCheck checked(const QString& package, ZipProgress* last = nullptr) {
    return checkWrittenPackage(package, kNeverCancelled, [last](const ZipProgress& p) {
        if (last) *last = p;
    });
}

struct Writer {
    const char* name;
    std::function<void(const QString& src, const QString& package)> write;
    friend void PrintTo(const Writer& w, std::ostream* os) { *os << w.name; }
};

class PackageCheckPeers : public ::testing::TestWithParam<Writer> {};

TEST_P(PackageCheckPeers, PackagesOfPeerWritersPass) {
    TempDir dir;
    const QString src = dir.file("src"), package = dir.file("p.zip");
    writeFile(src + "/a.txt", sampleText(5000, 1));
    writeFile(src + "/sub/b.bin", randomBytes(3000, 2)); // stored by zip and 7z: it does not shrink
    writeFile(src + "/sub/deeper/c.txt", sampleText(70000, 3));
    writeFile(src + "/empty", {});
    GetParam().write(src, package);
    ZipProgress last;
    const PackageCheck check = checked(package, &last);
    EXPECT_EQ(check.verdict, Verdict::Passed) << qPrintable(check.message + check.failures.join("; "));
    EXPECT_TRUE(check.failures.isEmpty() && check.message.isEmpty());
    EXPECT_GT(last.filesTotal, 3);
    EXPECT_EQ(std::pair(last.filesDone, last.bytesDone), std::pair(last.filesTotal, last.bytesTotal));
}

static void tool(const QString& program, const QStringList& args, const QString& workDir) {
    const ToolRun run = runTool(program, args, workDir);
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
}

INSTANTIATE_TEST_SUITE_P(
    Writers, PackageCheckPeers,
    ::testing::Values(
        Writer{"InfoZip",
               [](const QString& src, const QString& p) {
                   tool("zip", {"-q", "-r", p, "."}, src);
               }},
        Writer{"SevenZip",
               [](const QString& src, const QString& p) {
                   tool("7z", {"a", "-tzip", "-bd", p, "."}, src);
               }},
        Writer{"SevenZipStored",
               [](const QString& src, const QString& p) {
                   tool("7z", {"a", "-tzip", "-bd", "-mx=0", p, "."}, src);
               }},
        // Written to a stream that cannot seek, so every entry has a data descriptor.
        Writer{"PythonDescriptors",
               [](const QString& src, const QString& p) {
                   python("import os, sys, zipfile\n"
                          "class Stream:\n"
                          "    def __init__(self, f): self.f = f\n"
                          "    def write(self, b): return self.f.write(b)\n"
                          "    def flush(self): self.f.flush()\n"
                          "with open(sys.argv[2], 'wb') as f, zipfile.ZipFile(Stream(f), 'w') as z:\n"
                          "    for i, name in enumerate(['a.txt', 'sub/b.bin', 'sub/deeper/c.txt', 'empty']):\n"
                          "        z.write(os.path.join(sys.argv[1], name), name, (zipfile.ZIP_DEFLATED, 0)[i % 2])\n",
                          {src, p});
               }},
        // Above the size inflated in one go, and above one read.
        Writer{"PythonLarge",
               [](const QString&, const QString& p) {
                   python("import random, sys, zipfile\n"
                          "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                          "    z.writestr('a.txt', 'small')\n"
                          "    z.writestr('big.txt', bytes(range(256)) * 140000, 8)\n"
                          "    z.writestr('big.bin', random.Random(1).randbytes(9 << 20))\n"
                          "    z.writestr('big.rnd', random.Random(2).randbytes(9 << 20), 8)\n"
                          "    z.writestr('b.txt', 'after', 8)\n",
                          {p});
               }},
        Writer{"PythonZip64",
               [](const QString&, const QString& p) {
                   python(kManySmall, {p, "70000"});
               }},
        Writer{"Ours", [](const QString& src, const QString& p) { makePackage(p, src, listTree(src)); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PackageCheckTest, DamageFailsNamingTheEntryItHit) {
    TempDir dir;
    // argv: package, entry, "crc" (its local header's CRC) or "data" (the middle of its data); flips one byte.
    const char* flip = "import struct, sys, zipfile\n"
                       "info = zipfile.ZipFile(sys.argv[1]).getinfo(sys.argv[2])\n"
                       "data = bytearray(open(sys.argv[1], 'rb').read()); at = info.header_offset\n"
                       "n, m = struct.unpack('<HH', data[at + 26:at + 30])\n"
                       "at += 14 if sys.argv[3] == 'crc' else 30 + n + m + info.compress_size // 2\n"
                       "data[at] ^= 0x20; open(sys.argv[1], 'wb').write(data)\n";
    const struct {
        const char *entry, *where, *reason;
    } cases[] = {
        {"b.bin", "data", "CRC error: the data is damaged"},
        {"c.txt", "data", ""}, // deflated: a CRC, size or inflate error
        {"big.txt", "data", ""},
        {"a.txt", "crc", "the package is damaged (its local header does not match its directory)"},
    };
    python("import os, sys, zipfile\n"
           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
           "    z.writestr('a.txt', 'alpha ' * 3000, 8); z.writestr('b.bin', os.urandom(5000))\n"
           "    z.writestr('c.txt', os.urandom(300).hex() * 20, 8)\n"
           "    z.writestr('big.txt', bytes(range(256)) * 140000, 8)\n",
           {dir.file("whole.zip")});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        const QString package = dir.file(QString("%1-%2.zip").arg(c.entry, c.where));
        ASSERT_TRUE(QFile::copy(dir.file("whole.zip"), package));
        python(flip, {package, c.entry, c.where});
        const PackageCheck check = checked(package);
        EXPECT_EQ(check.verdict, Verdict::Failed);
        ASSERT_EQ(check.failures.size(), 1) << qPrintable(check.failures.join("; "));
        EXPECT_TRUE(check.failures[0].startsWith(QString(c.entry) + ": " + c.reason)) << qPrintable(check.failures[0]);
    }
}

TEST(PackageCheckTest, BrokenPackagesFailWithTheirReason) {
    TempDir dir;
    python(kManySmall, {dir.file("good.zip"), "300"});
    const QByteArray good = readFile(dir.file("good.zip"));
    writeFile(dir.file("half.zip"), good.left(good.size() / 2));
    writeFile(dir.file("short.zip"), good.chopped(1));
    const struct {
        QString package;
        QString message;
        QStringList failing;
    } cases[] = {
        {dir.file("half.zip"), "no end-of-directory record", {}},
        {dir.file("short.zip"), "no end-of-directory record", {}},
        {dir.file("missing.zip"), "Cannot open", {}},
        {kData + "Broken-directory-size-claim.zip", "beyond the end of the file", {}},
        {kData + "Broken-huge-sizes.zip", "", {"big1.bin", "big2.bin", "huge.bin"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.package.toStdString());
        PackageCheck check = checked(c.package);
        EXPECT_EQ(check.verdict, Verdict::Failed);
        EXPECT_TRUE(c.message.isEmpty() ? check.message.isEmpty() : check.message.contains(c.message))
            << qPrintable(check.message);
        EXPECT_EQ(check.failures.replaceInStrings(QRegularExpression(": .*"), ""), c.failing);
    }
}

TEST(PackageCheckTest, WhatItDoesNotReadItselfIsLeftToLibzip) {
    TempDir dir;
    writeFile(dir.file("src/a.txt"), sampleText(4000));
    for (const QString how : {"-mem=AES256", "-mem=ZipCrypto", "-mm=BZip2"}) {
        const QString package = dir.file(how.mid(5) + ".zip");
        tool("7z", {"a", "-tzip", "-bd", how, how.startsWith("-mem") ? "-psecret" : "-mx=5", package, "."},
             dir.file("src"));
        EXPECT_EQ(checked(package).verdict, Verdict::NotPlain) << qPrintable(how);
    }
    EXPECT_EQ(checked(kData + "Broken-zip64-disk-claim.zip").verdict, Verdict::NotPlain);
}

TEST(PackageCheckTest, ACancelStopsTheCheck) {
    TempDir dir;
    python(kManySmall, {dir.file("many.zip"), "5000"});
    CancelToken cancel;
    ZipProgress last;
    const PackageCheck check = checkWrittenPackage(dir.file("many.zip"), cancel, [&](const ZipProgress& p) {
        last = p;
        if (p.filesDone > 0) cancel.cancel();
    });
    EXPECT_EQ(check.verdict, Verdict::Cancelled);
    EXPECT_LT(last.filesDone, 5000);
}
