#include "LockTest.h"
#include "NativePath.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A backup only reads, so what matters is whether someone is writing under an exclusive claim: a write record
// lock, or an exclusive flock. Shared (read) locks of other readers do not stop us.

// Record locks (fcntl/lockf). Asking whether a read lock on the whole file could be placed reports exactly the
// write locks of others. Open-file-description locks (F_OFD_GETLK) see the classic per-process locks too;
// kernels before 3.15 know only F_GETLK.
bool hasWriteRecordLock(int fd) {
    struct flock probe {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // to the end of the file, however long
#ifdef F_OFD_GETLK
    if (fcntl(fd, F_OFD_GETLK, &probe) == 0) return probe.l_type != F_UNLCK;
    if (errno != EINVAL) return false;
    probe = {};
    probe.l_type = F_RDLCK;
    probe.l_whence = SEEK_SET;
#endif
    if (fcntl(fd, F_GETLK, &probe) == 0) return probe.l_type != F_UNLCK;
    return false;
}

// BSD locks (flock) cannot be queried, only tried: a shared lock fails without waiting when another holds an
// exclusive one. Ours is dropped at once, or (keep) with the descriptor, which its caller closes as soon as it
// has read the file; either way we never stand in anybody's way for longer than a read.
bool hasExclusiveFlock(int fd, bool keep) {
    for (;;) {
        if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
            if (!keep) flock(fd, LOCK_UN);
            return false;
        }
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK;
    }
}

} // namespace

bool isFileLocked(const QString& path) {
    // O_NONBLOCK so a named pipe without a writer does not hang the caller; it does not change regular files.
    const int fd = open(NativePath::encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return true;
    const bool locked = isDescriptorLocked(fd);
    close(fd);
    return locked;
}

bool isDescriptorLocked(int fd, bool keepSharedLock) {
    return hasWriteRecordLock(fd) || hasExclusiveFlock(fd, keepSharedLock);
}
