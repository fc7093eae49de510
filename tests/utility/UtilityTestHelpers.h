#pragma once
// Helpers of the utility tests.
//
// The superuser reads and writes everything, so unreadable folders and read-only files look different to it.
// When the tests run as root, such checks run in a child that has dropped to "nobody"; otherwise in place.

#include <QFile>
#include <QString>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

inline bool runningAsRoot() {
    return geteuid() == 0;
}

/// Returns check()'s result (0 for success; 125 when privileges could not be dropped, -1 on a crash). check may
/// not use GoogleTest assertions: a child reports through its exit code only.
inline int runUnprivileged(const std::function<int()>& check) {
    if (!runningAsRoot()) return check();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
        _exit(check()); // _exit: the test framework's exit handlers belong to the parent
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline void setMode(const QString& path, mode_t mode) {
    chmod(QFile::encodeName(path).constData(), mode);
}

} // namespace testsupport
