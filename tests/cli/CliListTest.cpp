// The listing of large and varied packages: what `varnhold-cli list` prints, and what the listing open reads from
// the central directory, must be exactly what the full open through libzip gives.
#include "CliTestUtil.h"
#include "viewer/EntryFields.h"
#include "viewer/EntryList.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipPackage.h"

#include <fcntl.h>
#include <tuple>

using namespace clitest;

namespace {

const CancelToken never;

// The program's listing is the listing as the window's rows give it from the full open through libzip, and it came
// from the listing open's own reading of the package.
void expectListedAsTheFullOpen(const CliFixture& t, const QString& path) {
    SCOPED_TRACE(path.toStdString());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    QString comment;
    EXPECT_TRUE(zipdetail::readPlainDirectory(
        fd, QFileInfo(path).size(), [](const auto&) {}, &comment));
    ::close(fd);
    ZipPackage package;
    EXPECT_EQ(package.zOpenZipFile(path), kZipOk) << package.zGetLastErrorAsText().toStdString();
    EntryList list;
    list.load(package);
    list.sortAfterOpening();
    QString text;
    for (const EntryRow& row : list.rows())
        text += TextUtil::visibleText(row.name) + u'\t' + row.sizeText() + u'\t' + row.zippedText() + u'\t' +
                row.modifiedText() + u'\t' + row.ratioText() + u'\t' + TextUtil::visibleText(row.folderPath) + u'\n';
    text += TextUtil::visibleText(EntryFields::openedStatusText(EntryFields::packageFileName(path),
                                                                package.zGetTotalFiles(), package.zGetTotalBytes(),
                                                                package.zGetComment())) +
            u'\n';
    const ToolRun run = t.run({"list", path});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out == text) << "the listing differs from the full open's";
}

// 70,000 entries need the zip64 end records.
TEST_F(CliFixture, ALargeVariedPackageListsExactlyAsTheFullOpenReadsIt) {
    python("varied_package.py", dir.path(), {file("large.zip"), "70000"});
    expectListedAsTheFullOpen(*this, file("large.zip"));
}

// Packages of the peer tools and of this program: Unix modes, links, exact times, AES, comments.
TEST_F(CliFixture, TheListingOpenReadsTheSameEntriesAsLibzip) {
    writeFile(file("src/a.txt"), sampleText(3000));
    writeFile(file("src/sub/B.bin"), randomBytes(700));
    writeFile(file("src/sub/empty"), "");
    ASSERT_EQ(runTool("ln", {"-s", "a.txt", file("src/link")}).exitCode, 0);
    ASSERT_EQ(runTool("zip", {"-q", "-r", "-y", "-z", file("info.zip"), "."}, file("src"), "a comment\n").exitCode, 0);
    ASSERT_EQ(runTool("7z", {"a", "-tzip", "-bd", "-mem=AES256", "-psecret", "../aes.zip", "."}, file("src")).exitCode,
              0);
    python("varied_package.py", dir.path(), {file("varied.zip"), "300"});
    ZipPackage ours;
    ASSERT_EQ(ours.zCreateNewZip(file("ours.zip")), kZipOk);
    ASSERT_EQ(ours.zOrderFile(file("src/a.txt"), "top/a.txt", UpdateCode::AddReplace), kZipOk);
    ASSERT_EQ(ours.zOrderFile(file("src/link"), "top/link", UpdateCode::AddReplace), kZipOk);
    ASSERT_EQ(ours.zCompressFiles("pw", CompressionLevel::Normal, "made here", never), kZipOk);

    const auto fields = [](const ZipEntry& e) {
        return std::tuple(e.name, e.folderPath, e.extension, e.size, e.compressedSize, e.dosDate, e.dosTime, e.crc,
                          e.encrypted, e.isSymLink, e.isFolder, e.modified, e.unixMode);
    };
    for (const char* name : {"info.zip", "aes.zip", "varied.zip", "ours.zip"}) {
        expectListedAsTheFullOpen(*this, file(name));
        ZipPackage full, listed;
        ASSERT_EQ(full.zOpenZipFile(file(name)), kZipOk);
        ASSERT_EQ(listed.zOpenZipFile(file(name), ZipPackage::OpenPurpose::Listing), kZipOk);
        EXPECT_EQ(listed.zGetComment(), full.zGetComment());
        ASSERT_EQ(listed.entries().size(), full.entries().size());
        for (size_t i = 0; i < full.entries().size(); ++i)
            EXPECT_EQ(fields(listed.entries()[i]), fields(full.entries()[i])) << name << " " << i;
    }

    // A package opened for listing still tests and extracts: libzip is opened when first needed.
    ZipPackage listed;
    ASSERT_EQ(listed.zOpenZipFile(file("info.zip"), ZipPackage::OpenPurpose::Listing), kZipOk);
    QStringList failures;
    EXPECT_EQ(listed.zTestAll({}, &failures, never), kZipOk) << failures.join('\n').toStdString();
    ASSERT_EQ(listed.zOpenZipFile(file("aes.zip"), ZipPackage::OpenPurpose::Listing), kZipOk);
    ExtractReport report;
    listed.zExtractAll(file("out"), "secret", ExtractOptions{}, never, {}, &report);
    EXPECT_EQ(report.extracted, 3) << listed.zGetLastErrorAsText().toStdString();
    EXPECT_EQ(report.refused, QStringList{"link: symbolic links are not extracted"}); // as from any open
    EXPECT_EQ(readFile(file("out/sub/B.bin")), randomBytes(700));
}

} // namespace
