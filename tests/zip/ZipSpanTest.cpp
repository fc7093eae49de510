// Packages cut into volumes: what we write is the standard split form that 7-Zip reads and Info-ZIP joins, every
// directory record points at its local header in the right volume, we read our volumes back, and a failed or
// cancelled cut leaves the old package and its volumes as they were. Volumes are cut from a finished package with
// splitIntoVolumes, as the build does once its package passed the check.

#include "ZipTestTools.h"
#include "zip/ZipSpanWriter.h"

#include <csignal>
#include <sys/wait.h>
#include <zlib.h>

using namespace ziptest;

namespace {

constexpr qint64 kVolume = 64 * 1024;

/// Checks the volumes of a split package with Python, independently of our reader: split signature first, no
/// volume over the limit, every directory record naming the volume and offset of its local header, each local
/// header whole within its volume, and the end record's counts. Returns the number of volumes.
int checkVolumeLayout(const QString& lastVolume, qint64 limit) {
    return python("import struct, sys; last, limit = sys.argv[1], int(sys.argv[2]); data = open(last, 'rb').read()\n"
                  "_, disk, cddisk, ondisk, total, cdsize, cdoff, _ = "
                  "struct.unpack('<IHHHHIIH', data[data.rfind(b'PK\\x05\\x06'):][:22])\n"
                  "vols = [open('%s.z%02d' % (last[:-4], i + 1), 'rb').read() for i in range(disk)] + [data]\n"
                  "assert vols[0][:4] == b'PK\\x07\\x08', 'no split signature'\n"
                  "assert all(len(v) <= limit for v in vols), [len(v) for v in vols]\n"
                  // recs: the volume of each byte of the directory
                  "recs, d, off, cd, p, count, on_last = [], cddisk, cdoff, b'', 0, 0, 0\n"
                  "while len(cd) < cdsize:\n"
                  "    part = vols[d][off:off + cdsize - len(cd)]\n"
                  "    recs += [d] * len(part); cd += part; d += 1; off = 0\n"
                  "while p < len(cd):\n"
                  "    assert cd[p:p + 4] == b'PK\\x01\\x02'\n"
                  "    nlen, elen, clen, dstart, _, _, loff = struct.unpack('<HHHHHII', cd[p + 28:p + 46])\n"
                  "    v = vols[dstart]; assert v[loff:loff + 4] == b'PK\\x03\\x04', (dstart, loff)\n"
                  "    ln, le = struct.unpack('<HH', v[loff + 26:loff + 30])\n"
                  "    assert loff + 30 + ln + le <= len(v), 'local header straddles volumes'\n"
                  "    assert v[loff + 30:loff + 30 + ln] == cd[p + 46:p + 46 + nlen]\n"
                  "    assert recs[p] == recs[p + 45 + nlen + elen + clen], 'record straddles volumes'\n"
                  "    on_last += recs[p] == disk; count += 1; p += 46 + nlen + elen + clen\n"
                  "assert (count, on_last) == (total, ondisk), (count, total, on_last, ondisk)\n"
                  "print(disk + 1, end='')\n",
                  {lastVolume, QString::number(limit)})
        .out.toInt();
}

void expectSevenZipAccepts(const QString& lastVolume, const QString& password = {}) {
    const ToolRun run = runTool("7z", {"t", "-bd", "-p" + password, lastVolume});
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
}

class ZipSpanTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        const QString src = s_dir->file("src/");
        for (int i = 0; i < 12; ++i)
            writeFile(src + QString("text/t%1.txt").arg(i), sampleText(20000 + i * 15000, i + 1), fixedTime(-i));
        for (int i = 0; i < 4; ++i)
            writeFile(src + QString("bin/r%1.bin").arg(i), randomBytes(90000 + i * 20000, i + 7), fixedTime(-1));
        writeFile(src + "empty.dat", {}, fixedTime(0));
        QDir().mkpath(src + "folder");
        s_names = listTree(src);
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QString src() { return s_dir->file("src"); }
    /// Packs the source tree and its empty folder into one ordinary package at package.
    static void pack(const QString& package, const QString& password = {}) {
        makePackage(package, src(), s_names + QStringList{"folder"}, CompressionLevel::Normal, password, "Split");
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
    /// Expects our reader to list, extract and test the split package with every file as it was packed.
    static void expectReadsBack(const QString& package, const QString& password = {}) {
        OPEN_ZIP(zip, package);
        EXPECT_TRUE(zip.zIsSpanned());
        QStringList failures;
        EXPECT_EQ(zip.zTestAll(password, &failures, kNeverCancelled), kZipOk) << qPrintable(failures.join("; "));
        EXPECT_EQ(zip.zGetTotalFiles(), s_names.size() + 1);
        EXPECT_EQ(zip.zGetComment(), "Split");
        TempDir out;
        ASSERT_EQ(zip.zExtractAll(out.path(), password, {}, kNeverCancelled), kZipOk) << qPrintable(package);
        EXPECT_EQ(snapshot(out.path()), snapshot(src()));
        EXPECT_TRUE(QDir(out.file("folder")).exists());
    }

    inline static TempDir* s_dir = nullptr;
    inline static QStringList s_names;
};

TEST_F(ZipSpanTest, VolumesAreStandardSplitPackagesThatPeersAndWeRead) {
    // Info-ZIP's zip 3.0 mis-joins volumes of exactly 64 KiB when an entry runs over a whole volume (its own
    // "zip -s 64k" packages too), so the join is checked on slightly larger ones; 7-Zip reads any size.
    constexpr qint64 volume = 100000;
    TempDir dir;
    const QString package = dir.file("p.zip");
    const int volumes = make(package, volume);
    EXPECT_GE(volumes, 7);
    EXPECT_EQ(checkVolumeLayout(package, volume), volumes);
    EXPECT_EQ(listTree(dir.path()).size(), volumes); // p.z01 up to the last volume, p.zip
    expectSevenZipAccepts(package);
    const ToolRun join = runTool("zip", {"-s", "0", package, "--out", dir.file("whole.zip")});
    ASSERT_EQ(join.exitCode, 0) << qPrintable(join.out + join.err);
    expectPeersAccept(dir.file("whole.zip"));
    expectReadsBack(package);
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
    // Free space -1 is unknown.
    for (const auto& [size, free, volume] : {std::array<qint64, 3>{1000, 5000, -1},
                                             {5000, 5000, -1},
                                             {10 << 20, 3 << 20, 3 << 20},
                                             {10 << 20, 1000, zipdetail::kMinVolumeSize},
                                             {10 << 20, -1, -1}})
        EXPECT_EQ(zipdetail::automaticVolumeSize(size, free), volume) << size << " " << free;
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
    EXPECT_EQ(listTree(dir.path()).size(), few); // the layout check found r.z01 up to r.zip; nothing else is left
    expectReadsBack(package);

    // An ordinary package written in its place takes every volume along.
    pack(package);
    EXPECT_EQ(listTree(dir.path()), QStringList{"r.zip"});
    expectPeersAccept(package);

    // An ordinary package updated (in a copy, as a build does) and cut into volumes keeps its entries and adds the
    // new one.
    TempDir scratch;
    writeFile(scratch.file("new.txt"), sampleText(70000, 99), fixedTime(0));
    ASSERT_TRUE(QFile::copy(package, scratch.file("copy.zip")));
    OPEN_ZIP(zip, scratch.file("copy.zip"));
    ASSERT_EQ(zip.zOrderFile(scratch.file("new.txt"), "new.txt", UpdateCode::Update), kZipOk);
    ASSERT_EQ(zip.zCompressFiles({}, CompressionLevel::Fast, {}, kNeverCancelled), kZipOk) << qPrintable(package);
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
    const QMap<QString, QByteArray> before = snapshot(dir.path());
    ASSERT_EQ(before.keys(), (QStringList{"c.z01", "c.zip"}));

    // The token is read at every new volume: a cancel stops the cut before anything is put in place (no temporary
    // volumes or work files are left either).
    CancelToken cancel;
    cancel.cancel();
    QString why = "not cleared";
    EXPECT_EQ(make(package, kVolume, {}, &why, cancel), 0);
    EXPECT_EQ(why, QString()) << "a cancel is no failure";
    EXPECT_EQ(snapshot(dir.path()), before);

    // A folder where a volume must go is found before any volume is put in place.
    QDir().mkpath(dir.file("c.z05"));
    EXPECT_EQ(make(package, kVolume, {}, &why), 0);
    EXPECT_TRUE(why.contains("c.z05")) << qPrintable(why);
    QDir().rmdir(dir.file("c.z05"));
    EXPECT_EQ(snapshot(dir.path()), before);
}

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

TEST_P(RebuildJournalTest, OnlyARebuildOfThatPackageIsCarriedOut) {
    const ForgedJournal& forged = GetParam();
    SCOPED_TRACE(forged.what);
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const QString dead = QString::number(ended);
    if (::kill(ended, 0) == 0) GTEST_SKIP() << "process id reused";

    TempDir dir;
    const QString package = dir.file("pkg/p.zip");
    // Each file holds its own name.
    for (const QString name : {"home/.bashrc", "pkg/p.zip", "pkg/p.z02", "pkg/other.txt", "pkg/.p.zip.vhw-1-1"})
        writeFile(dir.file(name), name.toUtf8());
    writeFile(dir.file("pkg/.p.zip.vhw-" + dead + "-1"), "new volume");
    QByteArray text = "varnhold rebuild journal 1\n";
    for (QString line : forged.lines)
        text += line.replace("DEAD", dead).replace("OTHER", "1").toUtf8() + '\n';
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(text.constData()), uInt(text.size()));
    const QString journal = dir.file("pkg/.p.zip.rebuild-journal.vhw-" + dead + "-2");
    writeFile(journal, text + "end " + QByteArray::number(qulonglong(crc), 16) + '\n');
    ASSERT_EQ(::chmod(QFile::encodeName(journal).constData(), forged.othersMayWrite ? 0666 : 0600), 0);
    const QMap<QString, QByteArray> before = snapshot(dir.path());

    // Every reader leaves everything as it is and says what it found.
    ZipPackage reader;
    reader.zOpenZipFile(package);
    EXPECT_TRUE(reader.zOpenNotice().contains("an interrupted rebuild of this package was found"));
    EXPECT_EQ(snapshot(dir.path()), before);

    QStringList notes;
    EXPECT_EQ(recoverSpannedRebuild(package, &notes), forged.carriedOut);
    QMap<QString, QByteArray> after = before;
    if (forged.carriedOut) {
        after.insert("pkg/p.z01", after.take("pkg/.p.zip.vhw-" + dead + "-1"));
        after.remove("pkg/p.z02");
        after.remove("pkg/.p.zip.rebuild-journal.vhw-" + dead + "-2");
    }
    EXPECT_EQ(snapshot(dir.path()), after);
    EXPECT_EQ(notes.size(), forged.carriedOut ? 0 : 1);
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
