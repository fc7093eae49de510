#include "TestSupport.h"
#include "UtilityTestHelpers.h"
#include "utility/LockTest.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

using namespace testsupport;

namespace {

// Our own probes for locks isFileLocked should ignore: flock(LOCK_EX) and a record write lock fail on any lock.
bool anyLock(const QString& path, bool record) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    struct flock probe {};
    probe.l_type = F_WRLCK;
    const bool locked =
        record ? fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK : flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

// Takes a record lock (lockf: "ex" a write lock, "sh" a read lock) and holds it until its input closes.
const char* kPythonLock = "import fcntl, sys\n"
                          "f = open(sys.argv[1], 'r+')\n"
                          "fcntl.lockf(f, fcntl.LOCK_EX if sys.argv[2] == 'ex' else fcntl.LOCK_SH)\n"
                          "sys.stdin.read()\n";

class FileLock : public ::testing::Test {
  protected:
    void SetUp() override { writeFile(m_path, "backup me"); }
    TempDir m_dir;
    QString m_path = m_dir.file("data.txt");
};

} // namespace

TEST_F(FileLock, WhatCannotBeOpenedCountsAsLocked) {
    EXPECT_FALSE(isFileLocked(m_path));
    EXPECT_TRUE(isFileLocked(m_dir.file("missing")));
    writeFile(m_dir.file("closed"), "x");
    setMode(m_dir.file("closed"), 0);
    setMode(m_dir.path(), 0755);
    const QString open = m_path, closed = m_dir.file("closed");
    EXPECT_EQ(runUnprivileged([=] { return isFileLocked(closed) && !isFileLocked(open) ? 0 : 1; }), 0);
}

TEST_F(FileLock, SeesExclusiveFlocksOnly) {
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    {
        LockHolder shared("flock", {"--shared", m_path, "cat"});
        ASSERT_TRUE(eventually([&] { return anyLock(m_path, false); }));
        EXPECT_FALSE(isFileLocked(m_path)); // other readers do not stop a backup
    }
    // Our probe's shared lock must be gone at once, or writers would be kept out.
    EXPECT_EQ(runTool("flock", {"--nonblock", m_path, "true"}).exitCode, 0);
    LockHolder exclusive("flock", {m_path, "cat"});
    EXPECT_TRUE(eventually([&] { return isFileLocked(m_path); }));
    exclusive.release();
    EXPECT_FALSE(isFileLocked(m_path));
}

TEST_F(FileLock, SeesWriteRecordLocksOnly) {
    if (!haveTool("python3")) GTEST_SKIP() << "python3 is not installed";
    {
        LockHolder reader("python3", {"-c", kPythonLock, m_path, "sh"});
        ASSERT_TRUE(eventually([&] { return anyLock(m_path, true); }));
        EXPECT_FALSE(isFileLocked(m_path));
    }
    LockHolder writer("python3", {"-c", kPythonLock, m_path, "ex"});
    EXPECT_TRUE(eventually([&] { return isFileLocked(m_path); }));
    EXPECT_FALSE(anyLock(m_path, false)); // a record lock, not a flock: the fcntl probe saw it
    writer.release();
    EXPECT_FALSE(isFileLocked(m_path));
}
