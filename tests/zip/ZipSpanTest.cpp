// Packages cut into volumes: what we write is the standard split form that 7-Zip reads and Info-ZIP joins, every
// directory record points at its local header in the right volume, we read our volumes back, and a failed or
// cancelled cut leaves the old package and its volumes as they were. Volumes are cut from a finished package with
// splitIntoVolumes, as the build does once its package passed the check.

#include "ZipTestTools.h"
#include "zip/ZipSpanWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

using namespace ziptest;

namespace {

constexpr qint64 kVolume = 64 * 1024;

/// Checks the volumes of a split package with Python, independently of our reader: split signature first, no
/// volume over the limit, every directory record naming the volume and offset of its local header, each local
/// header whole within its volume, and the end record's counts. Prints the number of volumes.
int checkVolumeLayout(const QString& lastVolume, qint64 limit) {
    const ToolRun run =
        python("import struct, sys\n"
               "last, limit = sys.argv[1], int(sys.argv[2])\n"
               "stem = last[:-4]\n"
               "data = open(last, 'rb').read()\n"
               "pos = data.rfind(b'PK\\x05\\x06')\n"
               "_, disk, cddisk, ondisk, total, cdsize, cdoff, _ = struct.unpack('<IHHHHIIH', data[pos:pos + 22])\n"
               "vols = [open('%s.z%02d' % (stem, i + 1), 'rb').read() for i in range(disk)] + [data]\n"
               "assert vols[0][:4] == b'PK\\x07\\x08', 'no split signature'\n"
               "assert all(len(v) <= limit for v in vols), [len(v) for v in vols]\n"
               "recs, d, off = [], cddisk, cdoff\n"
               "need = cdsize\n"
               "cd = b''\n"
               "while len(cd) < cdsize:\n"
               "    part = vols[d][off:off + cdsize - len(cd)]\n"
               "    recs += [(d, off + i) for i in range(len(part))]\n"
               "    cd += part; d += 1; off = 0\n"
               "p, count, on_last = 0, 0, 0\n"
               "while p < len(cd):\n"
               "    assert cd[p:p + 4] == b'PK\\x01\\x02'\n"
               "    nlen, elen, clen, dstart = struct.unpack('<HHHH', cd[p + 28:p + 36])\n"
               "    loff = struct.unpack('<I', cd[p + 42:p + 46])[0]\n"
               "    v = vols[dstart]\n"
               "    assert v[loff:loff + 4] == b'PK\\x03\\x04', (dstart, loff)\n"
               "    ln, le = struct.unpack('<HH', v[loff + 26:loff + 30])\n"
               "    assert loff + 30 + ln + le <= len(v), 'local header straddles volumes'\n"
               "    assert v[loff + 30:loff + 30 + ln] == cd[p + 46:p + 46 + nlen]\n"
               "    assert recs[p][0] == recs[p + 45 + nlen + elen + clen][0], 'record straddles volumes'\n"
               "    on_last += recs[p][0] == disk\n"
               "    count += 1\n"
               "    p += 46 + nlen + elen + clen\n"
               "assert count == total, (count, total)\n"
               "assert on_last == ondisk, (on_last, ondisk)\n"
               "print(disk + 1)\n",
               {lastVolume, QString::number(limit)});
    return run.out.trimmed().toInt();
}

/// Joins the volumes with Info-ZIP and expects unzip and 7-Zip to accept the result.
void expectJoinedAccepted(const QString& lastVolume, const QString& whole) {
    const ToolRun join = runTool("zip", {"-s", "0", lastVolume, "--out", whole});
    ASSERT_EQ(join.exitCode, 0) << qPrintable(join.out + join.err);
    expectPeersAccept(whole);
}

void expectSevenZipAccepts(const QString& lastVolume, const QString& password = {}) {
    const ToolRun run = runTool("7z", {"t", "-bd", "-p" + password, lastVolume});
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
}

class ZipSpanTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        const QString src = s_dir->file("src");
        for (int i = 0; i < 12; ++i)
            writeFileAt(src + QStringLiteral("/text/t%1.txt").arg(i), sampleText(20000 + i * 15000, i + 1),
                        fixedTime(-i));
        for (int i = 0; i < 4; ++i)
            writeFileAt(src + QStringLiteral("/bin/r%1.bin").arg(i), randomBytes(90000 + i * 20000, i + 7),
                        fixedTime(-1));
        writeFileAt(src + "/empty.dat", {}, fixedTime(0));
        QDir().mkpath(src + "/folder");
        s_names = listTree(src);
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QString src() { return s_dir->file("src"); }
    /// Packs the source tree into one ordinary package at package.
    static void pack(const QString& package, const QString& password = {}) {
        ZipPackage zip;
        ASSERT_EQ(zip.zCreateNewZip(package), kZipOk);
        for (const QString& name : s_names)
            ASSERT_EQ(zip.zOrderFile(src() + "/" + name, name, UpdateCode::AddReplace), kZipOk);
        ASSERT_EQ(zip.zOrderFile(src() + "/folder", "folder", UpdateCode::AddReplace), kZipOk);
        ASSERT_EQ(zip.zCompressFiles(password, CompressionLevel::Normal, "Split", kNeverCancelled), kZipOk)
            << qPrintable(zip.zGetLastErrorAsText());
    }
    /// Packs the tree elsewhere and cuts that package into volumes at package, as a build does once its package
    /// passed the check; when it fits in one volume it takes package's place whole. Returns what
    /// splitIntoVolumes returns.
    static int make(const QString& package, qint64 volumeSize, const QString& password = {}, QString* error = nullptr,
                    const CancelToken& cancel = kNeverCancelled) {
        TempDir scratch;
        const QString whole = scratch.file("whole.zip");
        pack(whole, password);
        QString why;
        const int volumes = splitIntoVolumes(whole, package, volumeSize, &why, cancel);
        EXPECT_TRUE(volumes != 0 || error) << qPrintable(why);
        if (volumes < 0) {
            QFile::remove(package);
            EXPECT_TRUE(QFile::rename(whole, package));
        }
        if (error) *error = why;
        return volumes;
    }
    static void expectReadsBack(const QString& package, const QString& password = {}) {
        ZipPackage zip;
        ASSERT_EQ(zip.zOpenZipFile(package), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
        EXPECT_EQ(zip.zGetTotalFiles(), s_names.size() + 1);
        EXPECT_EQ(zip.zGetComment(), "Split");
        TempDir out;
        ASSERT_EQ(zip.zExtractAll(out.path(), password, {}, kNeverCancelled), kZipOk)
            << qPrintable(zip.zGetLastErrorAsText());
        EXPECT_EQ(listTree(out.path()), s_names);
        for (const QString& name : s_names)
            EXPECT_EQ(readFile(out.file(name)), readFile(src() + "/" + name)) << qPrintable(name);
        EXPECT_TRUE(QDir(out.file("folder")).exists());
    }

    static TempDir* s_dir;
    static QStringList s_names;
};
TempDir* ZipSpanTest::s_dir = nullptr;
QStringList ZipSpanTest::s_names;

TEST_F(ZipSpanTest, VolumesAreStandardSplitPackagesThatPeersAndWeRead) {
    // Info-ZIP's zip 3.0 mis-joins volumes of exactly 64 KiB when an entry runs over a whole volume (its own
    // "zip -s 64k" packages too), so the join is checked on slightly larger ones; 7-Zip reads any size.
    constexpr qint64 volume = 100000;
    TempDir dir;
    const int volumes = make(dir.file("p.zip"), volume);
    EXPECT_GE(volumes, 7);
    EXPECT_EQ(checkVolumeLayout(dir.file("p.zip"), volume), volumes);
    ZipPackage zip;
    ASSERT_EQ(zip.zOpenZipFile(dir.file("p.zip")), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_TRUE(zip.zIsSpanned());
    EXPECT_EQ(zip.zGetTotalFiles(), s_names.size() + 1);
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("p.z%1").arg(volumes - 1, 2, 10, QLatin1Char('0')))));
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("p.z%1").arg(volumes, 2, 10, QLatin1Char('0')))));
    expectSevenZipAccepts(dir.file("p.zip"));
    expectJoinedAccepted(dir.file("p.zip"), dir.file("whole.zip"));
    expectReadsBack(dir.file("p.zip"));
    QStringList failures;
    EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipOk) << qPrintable(failures.join("; "));
}

TEST_F(ZipSpanTest, EncryptedVolumesPassSevenZipWithThePassword) {
    TempDir dir;
    ASSERT_GE(make(dir.file("s.zip"), 3 * kVolume, "pw 42"), 3);
    EXPECT_GE(checkVolumeLayout(dir.file("s.zip"), 3 * kVolume), 3);
    expectSevenZipAccepts(dir.file("s.zip"), "pw 42");
    EXPECT_NE(runTool("7z", {"t", "-bd", "-pwrong", dir.file("s.zip")}).exitCode, 0);
    expectReadsBack(dir.file("s.zip"), "pw 42");
}

TEST_F(ZipSpanTest, PackageThatFitsStaysOneFile) {
    TempDir dir;
    // Automatic spanning with plenty of room, or a volume size above the package size, leaves the package whole:
    // one ordinary package (no split marker in front) that peers read.
    for (const qint64 size : {qint64(0), qint64(64) << 20}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(make(dir.file("one.zip"), size), -1);
        EXPECT_EQ(listTree(dir.path()), QStringList{"one.zip"}); // no volumes, no work files left
        EXPECT_EQ(packageVolumeCount(dir.file("one.zip")), 1);
        EXPECT_EQ(readFile(dir.file("one.zip")).left(4), QByteArray("PK\x03\x04", 4));
        expectPeersAccept(dir.file("one.zip"));
    }
    // Automatic: one package when it fits the free space, else volumes the size of that space.
    using zipdetail::automaticVolumeSize;
    EXPECT_EQ(automaticVolumeSize(1000, 5000), -1);
    EXPECT_EQ(automaticVolumeSize(5000, 5000), -1);
    EXPECT_EQ(automaticVolumeSize(10 << 20, 3 << 20), 3 << 20);
    EXPECT_EQ(automaticVolumeSize(10 << 20, 1000), zipdetail::kMinVolumeSize);
    EXPECT_EQ(automaticVolumeSize(10 << 20, -1), -1); // free space unknown
    EXPECT_GT(zipdetail::freeBytesAt(dir.path()), 0);
}

TEST_F(ZipSpanTest, RewritingAPackageRemovesTheVolumesItNoLongerHas) {
    TempDir dir;
    const QString package = dir.file("r.zip");
    const int many = make(package, kVolume);
    ASSERT_EQ(checkVolumeLayout(package, kVolume), many);
    const int few = make(package, 4 * kVolume);
    ASSERT_EQ(checkVolumeLayout(package, 4 * kVolume), few);
    ASSERT_LT(few, many);
    QStringList expected{"r.zip"};
    for (int i = 1; i < few; ++i)
        expected << QStringLiteral("r.z%1").arg(i, 2, 10, QLatin1Char('0'));
    expected.sort();
    EXPECT_EQ(listTree(dir.path()), expected);
    expectReadsBack(package);

    // An ordinary package written in its place takes every volume along.
    pack(package);
    EXPECT_EQ(listTree(dir.path()), QStringList{"r.zip"});
    expectPeersAccept(package);

    // An ordinary package updated (in a copy, as a build does) and cut into volumes keeps its entries and adds the
    // new one.
    writeFileAt(dir.file("extra/new.txt"), sampleText(70000, 99), fixedTime(0));
    TempDir scratch;
    ASSERT_TRUE(QFile::copy(package, scratch.file("copy.zip")));
    ZipPackage zip;
    ASSERT_EQ(zip.zOpenZipFile(scratch.file("copy.zip")), kZipOk);
    ASSERT_EQ(zip.zOrderFile(dir.file("extra/new.txt"), "new.txt", UpdateCode::Update), kZipOk);
    ASSERT_EQ(zip.zCompressFiles({}, CompressionLevel::Fast, {}, kNeverCancelled), kZipOk)
        << qPrintable(zip.zGetLastErrorAsText());
    zip.zCloseZipFile();
    QString why;
    ASSERT_GT(splitIntoVolumes(scratch.file("copy.zip"), package, kVolume, &why, kNeverCancelled), 1)
        << qPrintable(why);
    ASSERT_EQ(zip.zOpenZipFile(package), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_TRUE(zip.zIsSpanned());
    EXPECT_EQ(zip.zGetTotalFiles(), s_names.size() + 2);
    EXPECT_EQ(zip.zGetComment(), "Split");
    checkVolumeLayout(package, kVolume);
    expectSevenZipAccepts(package);
}

TEST_F(ZipSpanTest, CancelOrFailureWhileCuttingLeavesEverythingAsItWas) {
    TempDir dir;
    const QString package = dir.file("c.zip");
    ASSERT_EQ(make(package, 8 * kVolume), 2);
    const QStringList files = listTree(dir.path());
    ASSERT_EQ(files, (QStringList{"c.z01", "c.zip"}));
    QMap<QString, QByteArray> before;
    for (const QString& f : files)
        before[f] = readFile(dir.file(f));
    const auto expectUntouched = [&] {
        EXPECT_EQ(listTree(dir.path()), files); // no temporary volumes or work files either
        for (const QString& f : files)
            EXPECT_EQ(readFile(dir.file(f)), before[f]) << qPrintable(f);
    };

    // The token is read at every new volume: a cancel stops the cut before anything is put in place.
    CancelToken cancel;
    cancel.cancel();
    QString why = "not cleared";
    EXPECT_EQ(make(package, kVolume, {}, &why, cancel), 0);
    EXPECT_EQ(why, QString()) << "a cancel is no failure";
    expectUntouched();

    // A folder where a volume must go is found before any volume is put in place.
    QDir().mkpath(dir.file("c.z05"));
    EXPECT_EQ(make(package, kVolume, {}, &why), 0);
    EXPECT_TRUE(why.contains("c.z05")) << qPrintable(why);
    QDir().rmdir(dir.file("c.z05"));
    expectUntouched();
}

} // namespace

namespace {

// A rebuild journal is a file like any other: anybody who can put a file beside a package (a hostile package
// extracted there) can put one there. Reading a package never carries one out, and the writer carries out only
// what a rebuild of that one package leaves: that run's own volume work files renamed to the package's volume
// names and its earlier volumes removed, in a journal of this user's that nobody else may write.
struct ForgedJournal {
    const char* what;
    QStringList lines; // DEAD is the id of an ended process, OTHER one that wrote nothing here
    bool carriedOut;
    bool othersMayWrite = false;
};

class RebuildJournalTest : public ::testing::TestWithParam<ForgedJournal> {};

QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> files;
    for (const QString& name : listTree(root))
        files.insert(name, readFile(root + u'/' + name));
    return files;
}

TEST_P(RebuildJournalTest, OnlyARebuildOfThatPackageIsCarriedOut) {
    const ForgedJournal& forged = GetParam();
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const QString dead = QString::number(ended);
    if (::kill(ended, 0) == 0) GTEST_SKIP() << "process id reused";

    TempDir dir;
    const QString package = dir.file("pkg/p.zip");
    writeFileAt(dir.file("home/.bashrc"), "the user's", fixedTime(0));
    writeFileAt(package, "old last volume", fixedTime(0));
    writeFileAt(dir.file("pkg/p.z02"), "old volume", fixedTime(0));
    writeFileAt(dir.file("pkg/other.txt"), "the user's", fixedTime(0));
    writeFileAt(dir.file("pkg/.p.zip.vhw-" + dead + "-1"), "new volume", fixedTime(0));
    writeFileAt(dir.file("pkg/.p.zip.vhw-1-1"), "another run's", fixedTime(0));
    QByteArray text = "varnhold rebuild journal 1\n";
    for (QString line : forged.lines)
        text += line.replace("DEAD", dead).replace("OTHER", "1").toUtf8() + '\n';
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(text.constData()), uInt(text.size()));
    text += "end " + QByteArray::number(qulonglong(crc), 16) + '\n';
    const QString journal = dir.file("pkg/.p.zip.rebuild-journal.vhw-" + dead + "-2");
    writeFileAt(journal, text, fixedTime(0));
    ASSERT_EQ(::chmod(QFile::encodeName(journal).constData(), forged.othersMayWrite ? 0666 : 0600), 0);
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    // Every reader leaves everything as it is and says what it found.
    ZipPackage reader;
    reader.zOpenZipFile(package);
    EXPECT_TRUE(reader.zOpenNotice().contains("an interrupted rebuild of this package was found")) << forged.what;
    EXPECT_EQ(snapshot(dir.path()), before) << forged.what;

    QStringList notes;
    EXPECT_EQ(recoverSpannedRebuild(package, &notes), forged.carriedOut) << forged.what;
    if (!forged.carriedOut) {
        EXPECT_EQ(snapshot(dir.path()), before) << forged.what;
        EXPECT_EQ(notes.size(), 1) << forged.what;
        return;
    }
    QMap<QString, QByteArray> after = before;
    after.insert("pkg/p.z01", after.take("pkg/.p.zip.vhw-" + dead + "-1"));
    after.remove("pkg/p.z02");
    after.remove("pkg/.p.zip.rebuild-journal.vhw-" + dead + "-2");
    EXPECT_EQ(snapshot(dir.path()), after);
    EXPECT_EQ(notes, QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Forged, RebuildJournalTest,
    ::testing::Values(
        ForgedJournal{"what a rebuild leaves", {"rename .p.zip.vhw-DEAD-1 p.z01", "remove p.z02"}, true},
        ForgedJournal{"writable by others", {"rename .p.zip.vhw-DEAD-1 p.z01", "remove p.z02"}, false, true},
        ForgedJournal{"over a file outside the folder", {"rename .p.zip.vhw-DEAD-1 ../home/.bashrc"}, false},
        ForgedJournal{"the same, percent-encoded", {"rename .p.zip.vhw-DEAD-1 ..%2Fhome%2F.bashrc"}, false},
        ForgedJournal{"a user's file onto the package", {"rename ../home/.bashrc p.zip"}, false},
        ForgedJournal{"another run's work file", {"rename .p.zip.vhw-OTHER-1 p.z01"}, false},
        ForgedJournal{"onto a file that is no volume", {"rename .p.zip.vhw-DEAD-1 other.txt"}, false},
        ForgedJournal{"a name cut by a zero byte", {"rename .p.zip.vhw-DEAD-1 p.z01%00.txt"}, false},
        ForgedJournal{"removes a file outside", {"remove ../home/.bashrc"}, false},
        ForgedJournal{"removes a user's file", {"remove other.txt"}, false},
        ForgedJournal{"removes the package itself", {"remove p.zip"}, false}));

} // namespace
