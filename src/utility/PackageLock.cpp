#include "PackageLock.h"

#include "NativePath.h"
#include "SystemError.h"
#include "WorkFile.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder only this user can write to, for the lock files; empty when there is none.
QByteArray lockFolder() {
    const auto privateFolder = [](const QByteArray& path) {
        struct stat st;
        return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
               (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    };
    QByteArray base = qgetenv("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !privateFolder(base)) {
        base = "/tmp/varnhold-" + QByteArray::number(qulonglong(::geteuid()));
        ::mkdir(base.constData(), 0700);
        if (!privateFolder(base)) return {};
        return base;
    }
    base += "/varnhold";
    ::mkdir(base.constData(), 0700);
    return privateFolder(base) ? base : QByteArray();
}

} // namespace

Result<PackageLock> PackageLock::take(const QString& target) {
    const QFileInfo real(WorkFiles::realTarget(target));
    const QByteArray folder = NativePath::encode(real.absolutePath());
    struct stat st;
    if (::stat(folder.constData(), &st) != 0)
        return Result<PackageLock>::failure(
            QStringLiteral("Cannot use the folder %1: %2.")
                .arg(NativePath::display(real.absolutePath()), SystemError::lastErrorText()));
    const QByteArray locks = lockFolder();
    if (locks.isEmpty())
        return Result<PackageLock>::failure(
            QStringLiteral("Cannot make a private folder for the program's locks (XDG_RUNTIME_DIR or /tmp)."));
    const QByteArray key = QByteArray::number(qulonglong(st.st_dev)) + '-' + QByteArray::number(qulonglong(st.st_ino)) +
                           '/' + NativePath::encode(real.fileName());
    const QByteArray path =
        locks + '/' + QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(40) + ".lock";
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result<PackageLock>::failure(QStringLiteral("Cannot take the lock of %1: %2.")
                                                .arg(NativePath::display(target), SystemError::lastErrorText()));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(fd);
        if (code == EWOULDBLOCK)
            return Result<PackageLock>::failure(
                QStringLiteral("%1 is being built or updated by another run of the program; nothing was changed. "
                               "Try again when that run has finished.")
                    .arg(NativePath::display(target)));
        return Result<PackageLock>::failure(QStringLiteral("Cannot take the lock of %1: %2.")
                                                .arg(NativePath::display(target), SystemError::errorText(code)));
    }
    return Result<PackageLock>(PackageLock(fd));
}

PackageLock::PackageLock(PackageLock&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

PackageLock& PackageLock::operator=(PackageLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

PackageLock::~PackageLock() {
    if (m_fd >= 0) ::close(m_fd);
}
