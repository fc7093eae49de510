#include "ScratchFolder.h"

#include "FileOps.h"
#include "NativePath.h"
#include "SystemError.h"
#include "WorkFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ScratchFolder {

namespace {

QString withoutSlash(const QString& folder) {
    QString path = QDir::cleanPath(folder);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

} // namespace

QString problem(const QString& folder) {
    const QString path = withoutSlash(folder);
    struct stat st;
    if (::lstat(NativePath::encode(path).constData(), &st) != 0)
        return errno == ENOENT ? QString()
                               : QStringLiteral("%1 cannot be examined: %2").arg(path, SystemError::lastErrorText());
    if (S_ISDIR(st.st_mode)) return {};
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("%1 is a symbolic link, not a folder of its own; it is left as it is and not used.")
            .arg(path);
    return QStringLiteral("%1 is not a folder; it is left as it is and not used.").arg(path);
}

Status prepare(const QString& folder) {
    if (const QString why = problem(folder); !why.isEmpty()) return Status::failure(why);
    return FileOps::createFolder(folder);
}

int removeOwnFiles(const QString& folder, const QStringList& ownNames) {
    const QString path = withoutSlash(folder);
    // The folder itself is opened without following a link, and every name is looked at and removed relative to
    // that open folder, so a link swapped in meanwhile leads nowhere.
    const int dirFd = ::open(NativePath::encode(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) return 0;
    int removed = 0;
    for (const QString& name : ownNames) {
        const QByteArray native = NativePath::encode(name);
        struct stat st;
        if (::fstatat(dirFd, native.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::unlinkat(dirFd, native.constData(), 0) == 0) ++removed;
    }
    ::close(dirFd);
    return removed + WorkFiles::sweepStale(path);
}

} // namespace ScratchFolder
