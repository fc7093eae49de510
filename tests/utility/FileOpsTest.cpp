#include "utility/FileOps.h"
#include "TestSupport.h"
#include "utility/SystemError.h"

#include <QDir>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>

using namespace testsupport;

// Opens for reading, then fails on the first read (the kernel refuses reads of our own address space at 0):
// how a failing disk looks to the copy loops.
static const QString kFailingSource = "/proc/self/mem";

TEST(FileOps, ExistsIgnoresDanglingLinks) {
    TempDir dir;
    QFile::link(dir.file("nowhere"), dir.file("dangling"));
    EXPECT_TRUE(FileOps::exists(dir.path()));
    EXPECT_FALSE(FileOps::exists(dir.file("dangling")));
    EXPECT_FALSE(FileOps::exists(""));
}

TEST(FileOps, CopyOverReplacesTheTargetWholeOrNotAtAll) {
    TempDir dir;
    const QByteArray source = randomBytes(3 * 1024 * 1024 + 17, 3); // several copy blocks
    writeFile(dir.file("source"), source);
    writeFile(dir.file("target"), sampleText(5 * 1024 * 1024)); // longer: no old tail may remain
    ASSERT_TRUE(FileOps::copyOver(dir.file("source"), dir.file("target")));
    EXPECT_EQ(readFile(dir.file("target")), source);

    Status missing = FileOps::copyOver(dir.file("missing"), dir.file("target"));
    EXPECT_TRUE(!missing && missing.message().contains(dir.file("missing")));
    EXPECT_FALSE(FileOps::copyOver(kFailingSource, dir.file("target")));
    EXPECT_EQ(readFile(dir.file("target")), source);
    EXPECT_EQ(listTree(dir.path()), QStringList({"source", "target"})); // no temporary file left behind
}

TEST(FileOps, CreateFolderAcceptsAnExistingOneAndNamesFailures) {
    TempDir dir;
    EXPECT_TRUE(FileOps::createFolder(dir.file("a/b/c")));
    writeFile(dir.file("a/b/c/keep"), "x");
    EXPECT_TRUE(FileOps::createFolder(dir.file("a/b/c/")));
    EXPECT_EQ(readFile(dir.file("a/b/c/keep")), "x");
    Status blocked = FileOps::createFolder(dir.file("a/b/c/keep/sub")); // a file is in the way
    EXPECT_TRUE(!blocked && blocked.message().contains(dir.file("a/b/c/keep/sub")));

    ASSERT_TRUE(FileOps::writeFileAtomically(dir.file("f"), "first, longer"));
    ASSERT_TRUE(FileOps::writeFileAtomically(dir.file("f"), "second"));
    EXPECT_EQ(readFile(dir.file("f")), "second");
    EXPECT_FALSE(FileOps::writeFileAtomically(dir.file("missing/f"), "x"));
}

TEST(SystemError, ReportsTheLastFailure) {
    TempDir dir;
    ASSERT_LT(::open(QFile::encodeName(dir.file("missing")).constData(), O_RDONLY), 0);
    EXPECT_EQ(SystemError::lastErrorCode(), ENOENT);
    EXPECT_EQ(SystemError::lastErrorText(), SystemError::errorText(ENOENT));
    EXPECT_NE(SystemError::errorText(ENOENT), SystemError::errorText(EACCES));
    EXPECT_TRUE(SystemError::errorText(98765).contains("98765")); // unknown codes still read sensibly
}
