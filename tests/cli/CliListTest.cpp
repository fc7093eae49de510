// The listing of large and varied packages: what `varnhold-cli list` prints, and what the listing open reads from
// the central directory, must be exactly what the full open through libzip gives.
#include "app/OptionKeys.h"
#include "app/RegSettings.h"
#include "viewer/EntryFields.h"
#include "viewer/EntryList.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipPackage.h"

#include "TestSupport.h"

#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace testsupport;

namespace {

const CancelToken never;

// Names of every kind the fast reader takes (ASCII in both cases, UTF-8, backslashes, a right-to-left override,
// folder entries), sizes that compress and do not, and more entries than the classic end record can count.
const char* kVariedPackage = R"(
import sys, zipfile, random
rnd = random.Random(5)
names = ["Alpha", "alpha", "BETA", "\u00e9t\u00e9", "\u4e2d\u6587", "back\\slash", "rtl\u202etxt.exe", "x.tar.gz",
         "Zulu", "\U0001F600smile", "noext", "a b c"]
count = int(sys.argv[2])
noise = bytes(rnd.getrandbits(8) for _ in range(600))
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.comment = "n\u00f6tes".encode()
    z.writestr(zipfile.ZipInfo("Folder/", (2001, 2, 3, 4, 5, 6)), "")
    for i in range(count):
        name = "%s/%s%05d.%s" % (rnd.choice(["d1", "D2", "d\u00e9", "a/b/c"]), rnd.choice(names), i % 997,
                                 rnd.choice(["txt", "TXT", "bin", ""]))
        info = zipfile.ZipInfo(name, (rnd.randint(1980, 2107), rnd.randint(1, 12), rnd.randint(1, 28),
                                      rnd.randint(0, 23), rnd.randint(0, 59), rnd.randint(0, 59) & ~1))
        info.compress_type = zipfile.ZIP_DEFLATED if i % 3 else zipfile.ZIP_STORED
        size = rnd.choice([0, 1, 50, 1000, 5000])
        z.writestr(info, (b"ab" * size)[:size] if i % 2 else noise[i % 300:i % 300 + size % 300])
)";

// The listing as the window's rows give it, from the full open through libzip.
QByteArray referenceListing(const QString& path) {
    ZipPackage package;
    EXPECT_EQ(package.zOpenZipFile(path), kZipOk) << package.zGetLastErrorAsText().toStdString();
    EntryList list;
    list.load(package);
    list.sortAfterOpening();
    QString text;
    for (const EntryRow& row : list.rows())
        text += EntryFields::visibleText(row.name) + u'\t' + row.sizeText() + u'\t' + row.zippedText() + u'\t' +
                row.modifiedText() + u'\t' + row.ratioText() + u'\t' + EntryFields::visibleText(row.folderPath) + u'\n';
    text += EntryFields::visibleText(EntryFields::openedStatusText(EntryFields::packageFileName(path),
                                                                   package.zGetTotalFiles(), package.zGetTotalBytes(),
                                                                   package.zGetComment())) +
            u'\n';
    return text.toUtf8();
}

// True when the listing open reads the package itself rather than leaving it to libzip.
bool readDirectly(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    QString comment;
    const bool read = zipdetail::readPlainDirectory(
        fd, QFileInfo(path).size(), [](const auto&) {}, &comment);
    ::close(fd);
    return read;
}

void expectSameEntries(const QString& path) {
    SCOPED_TRACE(path.toStdString());
    EXPECT_TRUE(readDirectly(path));
    ZipPackage full, listed;
    ASSERT_EQ(full.zOpenZipFile(path), kZipOk) << full.zGetLastErrorAsText().toStdString();
    ASSERT_EQ(listed.zOpenZipFile(path, ZipPackage::OpenPurpose::Listing), kZipOk);
    EXPECT_EQ(listed.zGetComment(), full.zGetComment());
    EXPECT_EQ(listed.zGetTotalBytes(), full.zGetTotalBytes());
    ASSERT_EQ(listed.entries().size(), full.entries().size());
    const auto fields = [](const ZipEntry& e) {
        return std::tuple(e.name, e.folderPath, e.extension, e.size, e.compressedSize, e.dosDate, e.dosTime, e.crc,
                          e.encrypted, e.isSymLink, e.isFolder, e.modified, e.unixMode);
    };
    for (size_t i = 0; i < full.entries().size(); ++i)
        EXPECT_EQ(fields(listed.entries()[i]), fields(full.entries()[i]))
            << full.entries()[i].storedName().toStdString();
}

} // namespace

// 70,000 entries need the zip64 end records; every row must come out as the full open prints it.
TEST(CliList, ALargeVariedPackageListsExactlyAsTheFullOpenReadsIt) {
    TempDir dir;
    const QString zip = dir.file("large.zip");
    const ToolRun made = runTool("python3", {"-c", kVariedPackage, zip, "70000"});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    ASSERT_TRUE(readDirectly(zip));
    const QByteArray expected = referenceListing(zip);
    const ToolRun run = runTool(VARNHOLD_CLI, {"--app-folder", dir.file("app"), "list", zip}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.out.toUtf8().size(), expected.size());
    EXPECT_TRUE(run.out.toUtf8() == expected) << "the listing differs from the full open's";
}

// Packages of the peer tools and of this program: Unix modes, links, exact times, AES, comments.
TEST(CliList, TheListingOpenReadsTheSameEntriesAsLibzip) {
    TempDir dir;
    writeFile(dir.file("src/a.txt"), sampleText(3000));
    writeFile(dir.file("src/sub/B.bin"), randomBytes(700));
    writeFile(dir.file("src/sub/empty"), "");
    ASSERT_EQ(runTool("ln", {"-s", "a.txt", dir.file("src/link")}).exitCode, 0);
    ASSERT_EQ(
        runTool("zip", {"-q", "-r", "-y", "-z", dir.file("info.zip"), "."}, dir.file("src"), "a comment\n").exitCode,
        0);
    ASSERT_EQ(runTool("7z", {"a", "-tzip", "-bd", "-mem=AES256", "-psecret", dir.file("aes.zip"), "."}, dir.file("src"))
                  .exitCode,
              0);
    ASSERT_EQ(runTool("python3", {"-c", kVariedPackage, dir.file("varied.zip"), "300"}).exitCode, 0);

    ZipPackage ours;
    ASSERT_EQ(ours.zCreateNewZip(dir.file("ours.zip")), kZipOk);
    ASSERT_EQ(ours.zOrderFile(dir.file("src/a.txt"), "top/a.txt", UpdateCode::AddReplace), kZipOk);
    ASSERT_EQ(ours.zOrderFile(dir.file("src/link"), "top/link", UpdateCode::AddReplace), kZipOk);
    ASSERT_EQ(ours.zCompressFiles("pw", CompressionLevel::Normal, "made here", never), kZipOk)
        << ours.zGetLastErrorAsText().toStdString();

    for (const char* name : {"info.zip", "aes.zip", "varied.zip", "ours.zip"})
        expectSameEntries(dir.file(name));

    // A package opened for listing still tests and extracts: libzip is opened when first needed.
    ZipPackage listed;
    ASSERT_EQ(listed.zOpenZipFile(dir.file("info.zip"), ZipPackage::OpenPurpose::Listing), kZipOk);
    QStringList failures;
    EXPECT_EQ(listed.zTestAll({}, &failures, never), kZipOk) << failures.join('\n').toStdString();
    ASSERT_EQ(listed.zOpenZipFile(dir.file("aes.zip"), ZipPackage::OpenPurpose::Listing), kZipOk);
    ExtractReport report;
    listed.zExtractAll(dir.file("out"), "secret", ExtractOptions{}, never, {}, &report);
    EXPECT_EQ(report.extracted, 3) << listed.zGetLastErrorAsText().toStdString();
    EXPECT_EQ(report.refused, QStringList{"link: symbolic links are not extracted"}); // as from any open
    EXPECT_EQ(readFile(dir.file("out/sub/B.bin")), randomBytes(700));
}

// Listing a package that is already on top of the recent list changes no setting, so nothing is written: the
// settings file is the very same file afterwards, not a rewritten copy.
TEST(CliList, ARepeatedListingLeavesTheSettingsFileAlone) {
    TempDir dir;
    const QString zip = dir.file("small.zip");
    ASSERT_EQ(runTool("python3", {"-c", kVariedPackage, zip, "3"}).exitCode, 0);
    const QStringList args{"--app-folder", dir.file("app"), "list", zip};
    ASSERT_EQ(runTool(VARNHOLD_CLI, args, dir.path()).exitCode, 0);
    const QByteArray settings = QFile::encodeName(CRegSettings(kCompany, kApplication).fileName());
    struct stat before = {}, after = {};
    ASSERT_EQ(::stat(settings.constData(), &before), 0);
    ASSERT_EQ(runTool(VARNHOLD_CLI, args, dir.path()).exitCode, 0);
    ASSERT_EQ(::stat(settings.constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 0777, 0600u);
}
