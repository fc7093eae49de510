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

TEST(FileOps, AppendAddsToTheEndOrLeavesTheTargetUnchanged) {
    TempDir dir;
    const QByteArray big = sampleText(3 * 1024 * 1024 + 5, 4);
    writeFile(dir.file("target"), "head:");
    writeFile(dir.file("source"), big);
    ASSERT_TRUE(FileOps::append(dir.file("target"), dir.file("source")));
    EXPECT_EQ(readFile(dir.file("target")), "head:" + big);
    ASSERT_TRUE(FileOps::append(dir.file("created"), dir.file("source")));
    EXPECT_EQ(readFile(dir.file("created")), big);
    // Reading the file that grows must stop at the length it had, not chase its own end.
    ASSERT_TRUE(FileOps::append(dir.file("source"), dir.file("source")));
    EXPECT_EQ(readFile(dir.file("source")), big + big);

    writeFile(dir.file("target"), "unchanged");
    Status missing = FileOps::append(dir.file("target"), dir.file("missing"));
    EXPECT_TRUE(!missing && missing.message().contains(dir.file("missing")));
    EXPECT_FALSE(FileOps::append(dir.file("target"), kFailingSource)); // fails after the target was opened
    EXPECT_EQ(readFile(dir.file("target")), "unchanged");
    EXPECT_FALSE(FileOps::append(dir.file("fresh"), kFailingSource));
    EXPECT_FALSE(QFileInfo::exists(dir.file("fresh"))); // not left behind empty either
}

TEST(FileOps, DeleteMatchingTakesFilesOnly) {
    TempDir dir;
    for (const char* name : {"README", "a.txt", "b.TXT", "file1.log", "file22.log", ".hidden", "a[1].txt", "a1.txt"})
        writeFile(dir.file(name), name);
    writeFile(dir.file("sub.d/inner.txt"), "inner");
    auto files = [&] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); };

    EXPECT_EQ(FileOps::matchingFiles(dir.file("*.log")), QStringList({"file1.log", "file22.log"}));
    EXPECT_EQ(FileOps::matchingFiles(dir.file("*.*"), 3), QStringList({".hidden", "README", "a.txt"}));
    EXPECT_EQ(FileOps::deleteMatching(dir.file("file?.log")), 1);
    EXPECT_EQ(FileOps::deleteMatching(dir.file("a[1].txt")), 1); // brackets are no character class
    EXPECT_EQ(FileOps::deleteMatching(dir.file("*.txt")), 2);    // case matters: b.TXT stays
    EXPECT_EQ(files(), QStringList({".hidden", "README", "b.TXT", "file22.log"}));
    EXPECT_EQ(FileOps::deleteMatching(dir.file("*.*")), 4); // even names without a dot
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(readFile(dir.file("sub.d/inner.txt")), "inner"); // folders and their contents stay

    writeFile(dir.file("again"), "x");
    EXPECT_EQ(FileOps::deleteFilesIn(dir.path()), 1);
    EXPECT_TRUE(QFileInfo(dir.file("sub.d")).isDir());
    EXPECT_EQ(FileOps::deleteMatching(dir.file("missing/*.*")), 0);
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
