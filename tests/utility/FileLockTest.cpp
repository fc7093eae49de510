#include "UtilityTestHelpers.h"
#include "utility/LockTest.h"

#include <fcntl.h>
#include <sys/file.h>

// Our own probes for locks isFileLocked should ignore: flock(LOCK_EX) and a record write lock fail on any lock.
static bool anyLock(const QString& path, bool record) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    struct flock probe {};
    probe.l_type = F_WRLCK;
    const bool locked =
        record ? fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK : flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

// Takes a record lock (lockf: "ex" a write lock, "sh" a read lock) and holds it until its input closes.
static const char* kPythonLock =
    "import fcntl, sys; f = open(sys.argv[1], 'r+')\n"
    "fcntl.lockf(f, fcntl.LOCK_EX if sys.argv[2] == 'ex' else fcntl.LOCK_SH); sys.stdin.read()\n";

TEST(FileLock, WhatCannotBeOpenedCountsAsLocked) {
    TempDir dir;
    const QString open = dir.file("data.txt"), closed = dir.file("closed");
    writeFile(open, "backup me");
    EXPECT_FALSE(isFileLocked(open));
    EXPECT_TRUE(isFileLocked(dir.file("missing")));
    writeFile(closed, "x");
    setMode(closed, 0);
    setMode(dir.path(), 0755);
    EXPECT_EQ(runUnprivileged([=] { return isFileLocked(closed) && !isFileLocked(open) ? 0 : 1; }), 0);
}

// Other readers do not stop a backup: a shared flock or a read record lock is not seen, an exclusive one is.
struct LockKind {
    const char* name;
    const char* program;
    QStringList readerArgs, writerArgs; // PATH stands for the file
    bool record;
};

class FileLockKinds : public ::testing::TestWithParam<LockKind> {};

TEST_P(FileLockKinds, SeesWriteLocksOnly) {
    const LockKind& kind = GetParam();
    if (!haveTool(kind.program)) GTEST_SKIP() << kind.program << " is not installed";
    TempDir dir;
    const QString path = dir.file("data.txt");
    writeFile(path, "backup me");
    const auto args = [&](QStringList list) { return list.replaceInStrings("PATH", path); };
    {
        LockHolder reader(kind.program, args(kind.readerArgs));
        ASSERT_TRUE(eventually([&] { return anyLock(path, kind.record); }));
        EXPECT_FALSE(isFileLocked(path));
    }
    // Our probe's shared lock must be gone at once, or writers would be kept out.
    EXPECT_TRUE(kind.record || runTool("flock", {"--nonblock", path, "true"}).exitCode == 0);
    LockHolder writer(kind.program, args(kind.writerArgs));
    EXPECT_TRUE(eventually([&] { return isFileLocked(path); }));
    EXPECT_FALSE(kind.record && anyLock(path, false)); // a record lock, not a flock: the fcntl probe saw it
    writer.release();
    EXPECT_FALSE(isFileLocked(path));
}

INSTANTIATE_TEST_SUITE_P(
    Holders, FileLockKinds,
    ::testing::Values(
        LockKind{"Flock", "flock", {"--shared", "PATH", "cat"}, {"PATH", "cat"}, false},
        LockKind{"Record", "python3", {"-c", kPythonLock, "PATH", "sh"}, {"-c", kPythonLock, "PATH", "ex"}, true}),
    [](const auto& info) { return std::string(info.param.name); });
