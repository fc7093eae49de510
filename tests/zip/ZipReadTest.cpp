// Opening and listing: packages made by other programs must come out with the right rows, and bad input must
// give a message that names the file.

#include "ZipTestTools.h"
#include "zip/ZipDetail.h"
#include "zip/ZipLayout.h"

#include <cerrno>

#include <tuple>

using namespace ziptest;

// One source tree, packed by each peer program.
class PeerPackagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(src("readme.txt"), sampleText(5000), fixedTime(0));
        writeFile(src("docs/guide.md"), sampleText(20000, 2), fixedTime(-3, 2));
        writeFile(src("docs/img/logo.bin"), randomBytes(3000), fixedTime(-40, 3600));
        writeFile(src("empty.dat"), {}, fixedTime(-1));
        const QStringList inputs{"readme.txt", "docs", "empty.dat"};
        runTool("zip", QStringList{"-q", "-r", "-z", m_dir.file("infozip.zip")} + inputs, src(""),
                "Packed for the tests\n");
        runTool("7z", QStringList{"a", "-tzip", "-bd", m_dir.file("7z.zip")} + inputs, src(""));
    }
    QString src(const QString& name) const { return m_dir.file("src/" + name); }

    /// Expects the listing of the package: names, folders, extensions, sizes and (for files) dates of every entry.
    void expectRows(const ZipPackage& zip) {
        struct Row {
            QString storedName, name, folderPath, extension;
            qint64 size;
            QDateTime time; // invalid for folder entries, whose times we do not check
        };
        const Row rows[] = {{"readme.txt", "readme.txt", "", "txt", 5000, fixedTime(0)},
                            {"docs/", "", "docs/", "", 0, {}},
                            {"docs/guide.md", "guide.md", "docs/", "md", 20000, fixedTime(-3, 2)},
                            {"docs/img/", "", "docs/img/", "", 0, {}},
                            {"docs/img/logo.bin", "logo.bin", "docs/img/", "bin", 3000, fixedTime(-40, 3600)},
                            {"empty.dat", "empty.dat", "", "dat", 0, fixedTime(-1)}};
        ASSERT_EQ(zip.zGetTotalFiles(), qint64(std::size(rows)));
        for (const Row& row : rows) {
            SCOPED_TRACE(row.storedName.toStdString());
            const ZipEntry& e = zip.entries().at(findEntry(zip, row.storedName)); // throws when it is missing
            EXPECT_EQ(std::tuple(e.name, e.folderPath, e.extension, e.size, e.encrypted),
                      std::tuple(row.name, row.folderPath, row.extension, row.size, false));
            EXPECT_EQ(row.time.isValid() ? dosToDateTime(e.dosDate, e.dosTime) : QDateTime(), row.time);
        }
        EXPECT_EQ(zip.zGetTotalBytes(), 5000 + 20000 + 3000);
    }
    TempDir m_dir;
};

TEST_F(PeerPackagesTest, InfoZipAnd7ZipPackagesListNamesFoldersSizesDatesAndComment) {
    OPEN_ZIP(zip, m_dir.file("7z.zip"));
    expectRows(zip);
    ASSERT_EQ(zip.zOpenZipFile(m_dir.file("infozip.zip")), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    expectRows(zip);
    EXPECT_EQ(zip.zGetComment().trimmed(), "Packed for the tests");
    EXPECT_FALSE(zip.zIsSpanned());
    const ZipEntry& guide = zip.entries()[size_t(findEntry(zip, "docs/guide.md"))];
    EXPECT_LT(guide.compressedSize, guide.size); // text deflates
}

TEST_F(PeerPackagesTest, ReopeningReplacesTheListingAndCloseEmptiesIt) {
    OPEN_ZIP(zip, m_dir.file("infozip.zip"));
    zip.zSelectFile(0);
    ASSERT_EQ(zip.zOpenZipFile(m_dir.file("7z.zip")), kZipOk);
    EXPECT_EQ(zip.zGetSelectedFiles(), 0);
    EXPECT_TRUE(zip.zGetComment().isEmpty());
    zip.zCloseZipFile();
    EXPECT_TRUE(zip.entries().empty());
    EXPECT_EQ(zip.zGetTotalFiles(), 0);
}

TEST(ZipNamesTest, Utf8FlaggedAndCp437NamesBothDecode) {
    TempDir dir;
    const QString package = dir.file("names.zip");
    // zipfile flags non-ASCII names as UTF-8; the CP437 name of an entry made on MS-DOS is patched in as raw
    // bytes (0x82 is "é"). (Entries made on Unix keep such bytes as they are; see the build tests.)
    // A name flagged UTF-8 may hold control characters too (zipfile writes them, unzip and 7z read them).
    python("import sys, zipfile\n"
           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
           "    z.writestr('\\u00fcber/na\\u00efve \\u65e5\\u672c.txt', b'utf8')\n"
           "    z.writestr('caf\\u00e9\\x1b\\x07.txt', b'control')\n"
           "    dos = zipfile.ZipInfo('cafX.txt'); dos.create_system = 0; z.writestr(dos, b'cp437')\n"
           "data = open(sys.argv[1], 'rb').read().replace(b'cafX.txt', b'caf\\x82.txt')\n"
           "open(sys.argv[1], 'wb').write(data)\n",
           {package});
    OPEN_ZIP(zip, package);
    const QString control = QString::fromUtf8("caf\u00e9\x1b\x07.txt"),
                  utf8 = QString::fromUtf8("\u00fcber/na\u00efve \u65e5\u672c.txt");
    EXPECT_EQ(storedNames(zip), (QStringList{control, QString::fromUtf8("caf\u00e9.txt"), utf8}));
    TempDir out;
    ASSERT_EQ(zip.zExtractAll(out.path(), {}, {}, kNeverCancelled), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_EQ(readFile(out.file(control)), "control");
    const ZipEntry& e = zip.entries().at(findEntry(zip, utf8));
    EXPECT_EQ(e.folderPath, QString::fromUtf8("\u00fcber/"));
    EXPECT_EQ(e.name, QString::fromUtf8("na\u00efve \u65e5\u672c.txt"));
}

TEST(ZipBadInputTest, EachGivesAMessageNamingTheFileAndOpensNothing) {
    TempDir dir;
    writeFile(dir.file("src/a.txt"), sampleText(4000));
    makePackage(dir.file("good.zip"), dir.file("src"), {"a.txt"});
    const QByteArray good = readFile(dir.file("good.zip"));
    writeFile(dir.file("truncated.zip"), good.left(good.size() / 2));
    writeFile(dir.file("text.zip"), "This is a plain text file, not a package.\n");
    writeFile(dir.file("empty.zip"), {});
    writeFile(dir.file("baddir.zip"), QByteArray(good).replace("PK\x01\x02", "PX\x01\x02")); // directory signature
    for (const QString name : {"truncated.zip", "text.zip", "empty.zip", "missing.zip", "baddir.zip", "src"}) {
        SCOPED_TRACE(name.toStdString());
        ZipPackage zip;
        EXPECT_EQ(zip.zOpenZipFile(dir.file("good.zip")), kZipOk);
        EXPECT_EQ(zip.zOpenZipFile(dir.file(name)), kZipFailed);
        EXPECT_TRUE(zip.entries().empty());
        EXPECT_EQ(zip.zGetTotalFiles(), 0);
        EXPECT_TRUE(errorHas(zip, dir.file(name)));
        EXPECT_TRUE(name != "empty.zip" || zip.zGetLastErrorAsText().contains("not a zip package"));
    }
}

TEST(ZipSpannedReadTest, InfoZipSplitPackageListsExtractsAndTestsButIsNotChanged) {
    TempDir dir;
    const QByteArray data = randomBytes(200 * 1024), text = sampleText(150 * 1024);
    writeFile(dir.file("src/data.bin"), data, fixedTime(0));
    writeFile(dir.file("src/sub/text.txt"), text, fixedTime(-2));
    runTool("zip", {"-q", "-r", "-s", "64k", dir.file("split.zip"), "data.bin", "sub"}, dir.file("src"));
    ASSERT_TRUE(QFile::exists(dir.file("split.z03")));
    OPEN_ZIP(zip, dir.file("split.zip"));
    EXPECT_TRUE(zip.zIsSpanned());
    EXPECT_EQ(storedNames(zip), (QStringList{"data.bin", "sub/", "sub/text.txt"}));
    const ZipEntry& t = zip.entries().at(findEntry(zip, "sub/text.txt"));
    EXPECT_EQ(t.size, text.size());
    EXPECT_EQ(dosToDateTime(t.dosDate, t.dosTime), fixedTime(-2));
    EXPECT_EQ(zip.zGetTotalBytes(), data.size() + text.size());

    TempDir out;
    ASSERT_EQ(zip.zExtractAll(out.path(), {}, {}, kNeverCancelled), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_EQ(snapshot(out.path()), snapshot(dir.file("src")));
    QStringList failures;
    EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipOk) << qPrintable(failures.join("; "));

    // Changing a spanned package is refused with a way out, and nothing is touched.
    const QStringList before = listTree(dir.path());
    const QByteArray last = readFile(dir.file("split.zip"));
    zip.zSelectFile(0);
    EXPECT_EQ(zip.zDeleteFiles(), kZipFailed);
    EXPECT_TRUE(errorHas(zip, "zip -s 0"));
    ASSERT_EQ(zip.zOrderFile(dir.file("src/data.bin"), "again.bin", UpdateCode::AddReplace), kZipOk);
    EXPECT_EQ(zip.zCompressFiles({}, CompressionLevel::Normal, {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(errorHas(zip, "spanned"));
    EXPECT_EQ(listTree(dir.path()), before);
    EXPECT_EQ(readFile(dir.file("split.zip")), last);

    // A volume cut short is named, and so is a missing one.
    const QByteArray first = readFile(dir.file("split.z01"));
    writeFile(dir.file("split.z01"), first.left(2));
    EXPECT_EQ(zip.zOpenZipFile(dir.file("split.zip")), kZipFailed);
    EXPECT_TRUE(errorHas(zip, "volume 1 (split.z01) is too short"));
    writeFile(dir.file("split.z01"), first);
    QFile::remove(dir.file("split.z02"));
    EXPECT_EQ(zip.zOpenZipFile(dir.file("split.zip")), kZipFailed);
    EXPECT_TRUE(zip.zIsSpanned());
    EXPECT_TRUE(errorHas(zip, "split.z02"));
}

TEST(DosTimeTest, ConvertsBothWaysAndPinsTimesOutsideTheRange) {
    quint16 date = 0, time = 0;
    dateTimeToDos(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)), date, time);
    EXPECT_EQ(date, ((2024 - 1980) << 9) | (2 << 5) | 29);
    EXPECT_EQ(time, (23 << 11) | (59 << 5) | 29); // odd seconds step down to the even one
    EXPECT_EQ(dosToDateTime(date, time), QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)));
    dateTimeToDos(QDateTime(QDate(1970, 6, 1), QTime(12, 0)), date, time);
    EXPECT_EQ(dosToDateTime(date, time), QDateTime(QDate(1980, 1, 1), QTime(0, 0)));
    // A zero date from a careless writer still reads as a real day.
    EXPECT_EQ(dosToDateTime(0, 0), QDateTime(QDate(1980, 1, 1), QTime(0, 0)));
    dateTimeToDos(QDateTime(QDate(2200, 1, 1), QTime(0, 0)), date, time);
    EXPECT_EQ(dosToDateTime(date, time), QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58)));
    const std::time_t when = QDateTime(QDate(2021, 7, 1), QTime(12, 0, 6)).toSecsSinceEpoch();
    zipdetail::timeToDos(when, date, time);
    EXPECT_EQ(zipdetail::dosToTime(date, time), when);
}

// Each libzip code a user can meet reads as words of ours; the rest keep libzip's text with the system's reason.
TEST(ZipErrorTextTest, EveryCodeHasItsWords) {
    const std::pair<int, const char*> codes[] = {{ZIP_ER_NOZIP, "not a zip package"},
                                                 {ZIP_ER_INCONS, "damaged"},
                                                 {ZIP_ER_CRC, "CRC error"},
                                                 {ZIP_ER_EOF, "truncated"},
                                                 {ZIP_ER_MULTIDISK, "volumes"},
                                                 {ZIP_ER_NOPASSWD, "a password is needed"},
                                                 {ZIP_ER_WRONGPASSWD, "wrong password"},
                                                 {ZIP_ER_COMPNOTSUPP, "compression method"},
                                                 {ZIP_ER_ENCRNOTSUPP, "encryption method"},
                                                 {ZIP_ER_COMPRESSED_DATA, "compressed data"},
                                                 {ZIP_ER_CANCELLED, "cancelled"},
                                                 {ZIP_ER_MEMORY, "out of memory"},
                                                 {ZIP_ER_READ, "No space left"}};
    for (const auto& [code, words] : codes)
        EXPECT_TRUE(zipdetail::zipErrorText(code, ENOSPC).contains(words)) << code;
}

// Values past the classic fields get a zip64 end record and locator that read back to the same facts.
TEST(ZipLayoutTest, Zip64EndRecordsReadBack) {
    zipdetail::EndRecords end;
    end.entries = end.entriesOnDisk = 70000;
    end.directorySize = 5'000'000'000;
    end.directoryOffset = 6'000'000'000;
    end.comment = "note";
    const QByteArray bytes = QByteArray(100, 'x') + zipdetail::endRecordsBytes(end, 100);
    ASSERT_EQ(bytes.size(), 100 + zipdetail::endRecordsSize(end));
    zipdetail::EndRecords back;
    QString error;
    ASSERT_TRUE(zipdetail::readEndRecords([&](quint32, quint64 at, qint64 n) { return bytes.mid(qsizetype(at), n); },
                                          bytes.size(), &back, &error))
        << error.toStdString();
    EXPECT_EQ(std::tuple(back.zip64, back.entries, back.directorySize, back.directoryOffset, back.comment),
              std::tuple(true, end.entries, end.directorySize, end.directoryOffset, end.comment));
}
