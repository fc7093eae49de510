// Packages and targets that are odd, damaged or hostile: the program must neither hang, crash, write outside the
// target, nor give up on the entries that can still be read.

#include "ZipTestTools.h"
#include "zip/ZipSpanWriter.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

using namespace ziptest;

static const QString kData = QStringLiteral(VARNHOLD_TEST_DATA "/");

// Mended: a zip64 end record claiming billions of volumes was believed and sized from.
TEST(ZipHostileTest, Zip64EndRecordClaimingBillionsOfVolumesIsRefusedQuickly) {
    // 189 bytes whose zip64 end record says the package ends on disk 0xFFFFFFFE.
    ZipPackage zip;
    EXPECT_EQ(zip.zOpenZipFile(kData + "Broken-zip64-disk-claim.zip"), kZipFailed);
    EXPECT_TRUE(zip.entries().empty());
    EXPECT_TRUE(errorHas(zip, "Broken-zip64-disk-claim.z01")); // so the file was there
}

TEST(ZipHostileTest, CuttingAPackageWhoseDirectoryClaimsExabytesFailsWithoutSizingFromTheClaim) {
    TempDir dir;
    // The package is small enough for one volume, which the public call would leave whole; cut it into smaller ones.
    const zipdetail::SplitOutcome cut =
        zipdetail::splitPackage(kData + "Broken-directory-size-claim.zip", dir.file("cut.zip"), 64, kNeverCancelled);
    EXPECT_NE(cut.result, kZipOk);
    EXPECT_TRUE(cut.message.contains("beyond the end of the file")) << qPrintable(cut.message);
    EXPECT_EQ(listTree(dir.path()), QStringList()); // no volume was started
    // Nor is it opened by the reader of last resort, which would read the entry from its local header alone and
    // call the package sound.
    ZipPackage zip;
    EXPECT_EQ(zip.zOpenZipFile(kData + "Broken-directory-size-claim.zip"), kZipFailed);
}

TEST(ZipHostileTest, SizesNearTwoToTheSixtyThreeNeitherWrapNorPassTheTest) {
    OPEN_ZIP(zip, kData + "Broken-huge-sizes.zip");
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    EXPECT_EQ(zip.entries().at(findEntry(zip, "big1.bin")).size, 0x7FFFFFFFFFFF0000);
    EXPECT_EQ(zip.entries().at(findEntry(zip, "huge.bin")).size, kMax); // 2^64 - 1 is kept in range
    EXPECT_EQ(zip.zGetTotalBytes(), kMax);                              // and so is the sum

    // Five real bytes each: the sizes the directory claims are not what comes out. Mended: the two workers named
    // the failures in the order they met them, which changed from run to run; it is the package's order now.
    for (int round = 0; round < 300; ++round) {
        QStringList failures;
        EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipFailed);
        EXPECT_EQ(failures.replaceInStrings(QRegularExpression(": the data is damaged .*"), ""),
                  QStringList({"big1.bin", "big2.bin", "huge.bin"}));
    }
    // Sizes no disk holds are refused before a byte is written.
    TempDir out;
    EXPECT_EQ(zip.zExtractAll(out.path(), {}, {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(errorHas(zip, "bytes are free there"));
    EXPECT_EQ(listTree(out.path()), QStringList());
}

// Zip bombs that make many entries out of one stored stream: directory records that all point at one local entry,
// and an entry whose data runs over the next one's header. unzip refuses both; so do list, test and extract here.
TEST(ZipHostileTest, EntriesThatShareTheirDataAreRefused) {
    TempDir dir;
    const QString shared = dir.file("shared.zip"), overlapping = dir.file("overlapping.zip");
    python("import sys, struct, zipfile\n"
           "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z: z.writestr('one.bin', bytes(1 << 20))\n"
           "data = open(sys.argv[1], 'rb').read(); cd = data.find(b'PK\\x01\\x02')\n"
           "record = data[cd:data.rfind(b'PK\\x05\\x06')]\n"
           "records = b''.join(record[:46] + b'%03d.bin' % i + record[53:] for i in range(50))\n"
           "tail = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 50, 50, len(records), cd, 0)\n"
           "open(sys.argv[1], 'wb').write(data[:cd] + records + tail)\n"
           "with zipfile.ZipFile(sys.argv[2], 'w') as z:\n"
           "    z.writestr('a.txt', b'a' * 100); z.writestr('b.txt', b'b' * 100)\n"
           "data = bytearray(open(sys.argv[2], 'rb').read())\n"
           "struct.pack_into('<I', data, data.find(b'PK\\x01\\x02') + 20, 200)\n"
           "open(sys.argv[2], 'wb').write(data)\n",
           {shared, overlapping});
    ASSERT_NE(runTool("unzip", {"-t", shared}).exitCode, 0);
    for (const QString& package : {shared, overlapping}) {
        for (const auto purpose : {ZipPackage::OpenPurpose::Listing, ZipPackage::OpenPurpose::Everything}) {
            ZipPackage zip;
            EXPECT_EQ(zip.zOpenZipFile(package, purpose), kZipFailed) << qPrintable(package);
            EXPECT_TRUE(errorHas(zip, "zip bomb"));
        }
    }
}

// An entry that declares 10 bytes and inflates to 8 MiB is stopped at its declared size: a lying size must not
// fill the disk before it is found out.
TEST(ZipHostileTest, AnEntryIsNeverInflatedPastItsDeclaredSize) {
    TempDir dir;
    const QString package = dir.file("liar.zip");
    python("import sys, struct, zipfile\n"
           "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z: z.writestr('liar.bin', bytes(8 << 20))\n"
           "data = bytearray(open(sys.argv[1], 'rb').read()); struct.pack_into('<I', data, 22, 10)\n"
           "struct.pack_into('<I', data, data.rfind(b'PK\\x01\\x02') + 24, 10)\n"
           "open(sys.argv[1], 'wb').write(data)\n",
           {package});
    OPEN_ZIP(zip, package);
    ASSERT_EQ(zip.entries().at(0).size, 10);
    for (const bool testOnly : {true, false}) {
        qint64 mostBytes = 0;
        const ZipProgressCallback progress = [&](const ZipProgress& p) {
            mostBytes = std::max(mostBytes, p.bytesDone);
        };
        QStringList failures;
        ExtractReport report;
        EXPECT_EQ(testOnly ? zip.zTestAll({}, &failures, kNeverCancelled, progress)
                           : zip.zExtractAll(dir.file("out"), {}, {}, kNeverCancelled, progress, &report),
                  kZipFailed);
        failures += report.failed;
        ASSERT_EQ(failures.size(), 1);
        EXPECT_TRUE(failures[0].contains("damaged")) << qPrintable(failures[0]);
        EXPECT_LE(mostBytes, 10);
    }
    EXPECT_EQ(listTree(dir.file("out")), QStringList());
}

TEST(ZipHostileTest, PipesAndDevicesAreRefusedWithoutWaiting) {
    TempDir dir;
    // A pipe, a device, and a pipe in the place of a spanned package's first volume.
    writeFile(dir.file("src/data.bin"), randomBytes(150 * 1024));
    runTool("zip", {"-q", "-s", "64k", dir.file("split.zip"), "data.bin"}, dir.file("src"));
    OPEN_ZIP(zip, dir.file("split.zip"));
    ASSERT_TRUE(QFile::remove(dir.file("split.z01")));
    for (const QString pipe : {"pipe.zip", "split.z01"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir.file(pipe)).constData(), 0600), 0);
    for (const QString& package : {dir.file("pipe.zip"), QString("/dev/null"), dir.file("split.zip")}) {
        EXPECT_EQ(zip.zOpenZipFile(package), kZipFailed);
        EXPECT_TRUE(errorHas(zip, QFileInfo(package).fileName() == "split.zip" ? "split.z01" : package));
        EXPECT_TRUE(errorHas(zip, "not a regular file"));
    }
}

TEST(ZipHostileTest, LinksInsideTheTargetAreNeverFollowed) {
    TempDir dir;
    const QString package = dir.file("p.zip");
    python("import sys, zipfile\n"
           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
           "    z.writestr('sub/', b''); z.writestr('sub/file.txt', b'through the link')\n"
           "    z.writestr('deep/er/file.txt', b'through a deeper link'); z.writestr('top.txt', b'fine')\n"
           "    z.writestr('name.txt', b'replaces the link itself')\n",
           {package});
    const QString target = dir.file("target"), elsewhere = dir.file("elsewhere");
    QDir().mkpath(target + "/deep");
    QDir().mkpath(elsewhere);
    writeFile(dir.file("outside.txt"), "keep me");
    ASSERT_TRUE(QFile::link(elsewhere, target + "/sub"));
    ASSERT_TRUE(QFile::link(elsewhere, target + "/deep/er"));
    ASSERT_TRUE(QFile::link(dir.file("outside.txt"), target + "/name.txt"));
    ASSERT_TRUE(QFile::link(target, dir.file("chosen"))); // the target itself may be a link the user chose

    OPEN_ZIP(zip, package);
    ExtractReport report;
    EXPECT_EQ(zip.zExtractAll(dir.file("chosen"), {}, {}, kNeverCancelled, {}, &report), kZipFailed);
    EXPECT_EQ(listTree(elsewhere), QStringList());
    EXPECT_EQ(readFile(dir.file("outside.txt")), "keep me");
    EXPECT_EQ(readFile(target + "/top.txt"), "fine");
    EXPECT_FALSE(QFileInfo(target + "/name.txt").isSymLink());
    EXPECT_EQ(readFile(target + "/name.txt"), "replaces the link itself");
    EXPECT_EQ(report.extracted, 2);
    EXPECT_EQ(report.failed.size(), 3) << qPrintable(report.failed.join("; "));
    for (const char* name : {"sub/: ", "sub/file.txt: ", "deep/er/file.txt: "})
        EXPECT_EQ(report.failed.filter(QString::fromUtf8(name)).size(), 1) << name;
    EXPECT_TRUE(errorHas(zip, "symbolic link"));
}

TEST(ZipHostileTest, PackagesAlignedByTheRealZipalignAreRead) {
    TempDir dir;
    writeFile(dir.file("src/res/a.txt"), QByteArray("alpha").repeated(7));
    writeFile(dir.file("src/b.bin"), QByteArray("\x01\x02\x03"));
    writeFile(dir.file("src/classes.dex"), QByteArray("dex ").repeated(500));
    // Info-ZIP writes a longer extended-time field in the local headers than in the directory; zipalign pads
    // the stored ones on top (-p aligns to whole pages, as for shared libraries in an APK).
    ASSERT_EQ(runTool("zip", {"-q", "-0", "-r", dir.file("plain.zip"), "res", "b.bin"}, dir.file("src")).exitCode, 0);
    ASSERT_EQ(runTool("zip", {"-q", dir.file("plain.zip"), "classes.dex"}, dir.file("src")).exitCode, 0);
    for (const QStringList& how : {QStringList{"-f", "4"}, QStringList{"-f", "-p", "4"}}) {
        SCOPED_TRACE(how.join(' ').toStdString());
        const ToolRun aligned = runTool("zipalign", how + QStringList{dir.file("plain.zip"), dir.file("app.apk")});
        ASSERT_EQ(aligned.exitCode, 0) << aligned.err.toStdString();
        OPEN_ZIP(zip, dir.file("app.apk"));
        QStringList failures;
        EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipOk) << qPrintable(failures.join("; "));
        TempDir out;
        ASSERT_EQ(zip.zExtractAll(out.path(), {}, {}, kNeverCancelled), kZipOk) << qPrintable(how.join(' '));
        EXPECT_EQ(snapshot(out.path()), snapshot(dir.file("src")));
    }
}
