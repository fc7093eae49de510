#pragma once
// Helpers of the build tests: an isolated program state per test, rows made from numbers, and peers that read
// our packages.

#include "ProgramFixture.h"
#include "build/SelectionGrid.h"

#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

// Readable rows in failure messages.
inline void PrintTo(const SelectionRow& r, std::ostream* os) {
    *os << "{\"" << r.path.toStdString() << "\", \"" << r.files.toStdString() << "\", \"" << r.size.toStdString()
        << "\", \"" << r.include.toStdString() << "\", \"" << r.exclude.toStdString() << "\"}";
}

namespace buildtest {

using testsupport::Program;
using testsupport::testName;

inline SelectionRow row(const QString& path, const QString& files, const QString& size, const QString& include = {},
                        const QString& exclude = {}) {
    return SelectionRow{path, files, size, include, exclude};
}

/// Polls for at most about ten seconds: other processes take their locks on their own schedule.
template <typename Condition> bool eventually(Condition condition) {
    QElapsedTimer timer;
    timer.start();
    for (; !condition(); QThread::msleep(10))
        if (timer.elapsed() > 10000) return false;
    return true;
}

/// Runs check() as a user who is not the superuser (the superuser reads every file, so an unreadable file needs
/// someone else): in place when we are not root, else in a child that has dropped to "nobody". Returns check()'s
/// result, 125 when privileges could not be dropped, -1 on a crash. check reports through its result only.
inline int runUnprivileged(const std::function<int()>& check) {
    if (geteuid() != 0) return check();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
        _exit(check()); // _exit: the test framework's exit handlers belong to the parent
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// `unzip -t` and `7z t` both accept the package (with the password when there is one).
inline void expectPeersAccept(const QString& zip, const QString& password = {}) {
    using namespace testsupport;
    if (password.isEmpty()) {
        const ToolRun unzip = runTool("unzip", {"-t", zip});
        EXPECT_EQ(unzip.exitCode, 0) << unzip.out.toStdString() << unzip.err.toStdString();
    }
    QStringList args{"t", zip};
    if (!password.isEmpty()) args << "-p" + password;
    const ToolRun sevenZip = runTool("7z", args);
    EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.out.toStdString() << sevenZip.err.toStdString();
    EXPECT_TRUE(sevenZip.out.contains("Everything is Ok")) << sevenZip.out.toStdString();
}

/// The stored names of a package as `unzip -Z1` lists them, sorted.
inline QStringList storedNames(const QString& zip) {
    const testsupport::ToolRun run = testsupport::runTool("unzip", {"-Z1", zip});
    QStringList names = run.out.split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

} // namespace buildtest
