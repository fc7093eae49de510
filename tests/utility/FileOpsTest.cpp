#include "utility/FileOps.h"
#include "UtilityTestHelpers.h"

TEST(FileOps, ExistsIgnoresDanglingLinks) {
    TempDir dir;
    QFile::link(dir.file("nowhere"), dir.file("dangling"));
    EXPECT_TRUE(FileOps::exists(dir.path()));
    EXPECT_FALSE(FileOps::exists(dir.file("dangling")));
    EXPECT_FALSE(FileOps::exists(""));
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
