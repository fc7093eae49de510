// The find job on real trees: which files count as packages, links and other file systems, the search inside
// packages, damaged packages, progress and cancel.
#include "finding/PackageFinder.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include "FindTestUtil.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <sys/stat.h>

using namespace testsupport;

namespace {

QStringList paths(QVector<PackageRow> rows) {
    sortRows(rows);
    QStringList out;
    for (const PackageRow& row : rows)
        out << row.path;
    return out;
}

FindResult findIn(const QStringList& roots, const QString& entryPattern = {}) {
    CancelToken cancel;
    return PackageFinder({roots, !entryPattern.isEmpty(), entryPattern}).run(cancel);
}

class PackageFinderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        findtest::makePackages({
            {tree.file("docs.zip"), {"docs/", "docs/ReadMe.TXT", "docs/a.dat"}},
            {tree.file("deep/er/Upper.ZIP"), {"readme.txt/other.bin"}}, // the folder part never matches
            {tree.file("deep/mixed.Zip"), {"README2.txt"}},
        });
        writeFile(tree.file("deep/broken.zip"), "PK\x05\x06 not really a package");
        writeFile(tree.file("deep/notes.zip.txt"), "text");
        writeFile(tree.file("zip"), "text");
        QFile::link(tree.file("deep"), tree.file("link-to-deep"));    // a folder link is not followed
        QFile::link(tree.file("docs.zip"), tree.file("link-to.zip")); // nor is a link to a package listed
        QDir().mkpath(tree.file("empty"));
    }
    TempDir tree;
};

TEST_F(PackageFinderTest, SearchInsideMatchesTheEntryFileNameIgnoringFolderAndCase) {
    const struct {
        const char* pattern;
        QStringList found;
    } cases[] = {
        {"read*.txt", {tree.file("docs.zip"), tree.file("deep/mixed.Zip")}},
        {"README.TXT", {tree.file("docs.zip")}},
        {"readme#.txt", {tree.file("deep/mixed.Zip")}},
        {"*.bin", {tree.file("deep/er/Upper.ZIP")}},
        {"readme.txt*", {tree.file("docs.zip")}}, // "readme.txt/other.bin" is compared as "other.bin"
        {"nothing*", {}},
    };
    for (auto [pattern, expected] : cases) {
        expected.sort(Qt::CaseInsensitive);
        EXPECT_EQ(paths(findIn({tree.path()}, pattern).rows), expected) << pattern;
    }
    EXPECT_EQ(PackageMatch::holdsMatchingEntry(tree.file("deep/broken.zip"), "*"), std::nullopt)
        << "a package that cannot be read is left out";
}

TEST_F(PackageFinderTest, CancelKeepsTheRowsFoundAndTheCounterRunsOnAcrossDrives) {
    TempDir second;
    for (int i = 0; i < 1200; ++i)
        writeFile(second.file(QString("f%1.txt").arg(i)), "");
    writeFile(tree.file("more/f.txt"), "");
    for (int i = 0; i < 499; ++i) // with the files above, the first drive has exactly 500 files
        writeFile(tree.file(QString("more/g%1").arg(i)), "");

    CancelToken cancel;
    QStringList reports;
    FindProgress progress;
    progress.scanned = [&](const QString& root, qint64 counter) {
        reports << root + " " + QString::number(counter);
        if (counter == 1000) cancel.cancel(); // during the second drive
    };
    const FindResult result =
        PackageFinder({{tree.path(), second.path(), tree.path()}, false, {}}).run(cancel, progress);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(reports, QStringList({tree.path() + " 500", second.path() + " 1000"}));
    EXPECT_EQ(result.rows.size(), 4) << "the first drive's packages stay";
}

TEST_F(PackageFinderTest, AnotherFileSystemMountedBelowARootIsNotEntered) {
    // /dev/shm is a file system of its own below /dev on most systems; /dev itself is walked quickly.
    struct stat dev, shm;
    if (::stat("/dev", &dev) != 0 || ::stat("/dev/shm", &shm) != 0 || dev.st_dev == shm.st_dev ||
        ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "/dev/shm is not a writable mount of its own here";
    const QString package = QString("/dev/shm/varnhold-find-%1.zip").arg(QCoreApplication::applicationPid());
    writeFile(package, "x");
    const bool found = paths(findIn({"/dev/"}).rows).contains(package);
    const bool inShm = paths(findIn({"/dev/shm/"}).rows).contains(package);
    QFile::remove(package);
    EXPECT_EQ(std::pair(found, inShm), std::pair(false, true)) << "found only when its own file system is a root";
}

// A name is bytes: one that is not UTF-8 (or holds a control character) is found as the file it is, in a folder
// named so and below a root named so, searched inside, and kept through the index.
TEST(PackageFinderNames, ANameThatIsNotTextIsFoundByItsBytesAndKeptInTheIndex) {
    for (const QByteArray& name : {QByteArray("lat\xe9"), QByteArray("odd\x01name")}) {
        SCOPED_TRACE(name.toHex().constData());
        TempDir tree, app;
        const QString folder = NativePath::decode(NativePath::encode(tree.path()) + '/' + name);
        const QString package = folder + '/' + NativePath::decode(name + ".zip");
        findtest::makePackages({{tree.file("made.zip"), {"docs/readme.txt"}}});
        ASSERT_EQ(::mkdir(NativePath::encode(folder).constData(), 0755), 0);
        ASSERT_EQ(std::rename(QFile::encodeName(tree.file("made.zip")), NativePath::encode(package)), 0);
        for (const auto& [root, entryPattern] : {std::pair{tree.path(), QString()}, {folder, QString("READ*")}}) {
            const FindResult found = findIn({root}, entryPattern);
            ASSERT_EQ(paths(found.rows), QStringList{package})
                << NativePath::display(found.rows.value(0).path).toStdString();
            EXPECT_EQ(found.rows[0].size, FileOps::regularFileSize(package));
            // The index keeps the name as it was found.
            ASSERT_TRUE(PackageIndex::save(app.path(), found.rows).ok());
            EXPECT_EQ(PackageIndex::load(app.path()), found.rows);
        }
    }
}

} // namespace
