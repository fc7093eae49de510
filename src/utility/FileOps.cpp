#include "FileOps.h"

#include "NativePath.h"
#include "SystemError.h"
#include "WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace FileOps {

namespace {

bool statPath(const QString& path, struct stat& st) {
    return !path.isEmpty() && ::stat(NativePath::encode(path).constData(), &st) == 0;
}

} // namespace

bool exists(const QString& path) {
    struct stat st;
    return statPath(path, st);
}

std::optional<qint64> regularFileSize(const QString& path) {
    struct stat st;
    if (!statPath(path, st) || !S_ISREG(st.st_mode)) return std::nullopt;
    return qint64(st.st_size);
}

bool isFolder(const QString& path) {
    struct stat st;
    return statPath(path, st) && S_ISDIR(st.st_mode);
}

QString absolutePath(const QString& path) {
    if (path.startsWith(u'/')) return QDir::cleanPath(path);
    if (path.isEmpty()) return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QByteArray folder(4096, Qt::Uninitialized);
    while (!::getcwd(folder.data(), size_t(folder.size()))) {
        if (errno != ERANGE) return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        folder.resize(folder.size() * 2);
    }
    return QDir::cleanPath(NativePath::decode(folder.constData()) + u'/' + path);
}

Status copyOver(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(QString("Cannot read %1: %2").arg(source, in.errorString()));
    Result<WorkFile> out = WorkFile::beside(target);
    if (!out) return Status::failure(out.message());
    for (;;) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                return Status::failure(QString("Cannot read %1: %2").arg(source, in.errorString()));
            break;
        }
        if (Status written = out.value().write(block); !written) return written;
    }
    return out.value().commit();
}

Status createFolder(const QString& folder) {
    if (QDir().mkpath(folder)) return Status::success();
    return Status::failure(QString("Cannot create the folder %1: %2").arg(folder, SystemError::lastErrorText()));
}

Status writeFileAtomically(const QString& path, const QByteArray& data, bool flushToDisk) {
    Result<WorkFile> out = WorkFile::beside(path);
    if (!out) return Status::failure(out.message());
    if (Status written = out.value().write(data); !written) return written;
    return out.value().commit(flushToDisk);
}

namespace {

// Both reads go on until length bytes are in or the file ends; only the call that reads differs.
template <typename ReadAt> qint64 readUntilFull(char* buffer, qint64 length, ReadAt readAt) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = readAt(buffer + done, size_t(length - done), done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

} // namespace

qint64 readFully(int fd, char* buffer, qint64 length) {
    return readUntilFull(buffer, length, [fd](char* at, size_t count, qint64) { return ::read(fd, at, count); });
}

qint64 readFullyAt(int fd, char* buffer, qint64 length, qint64 offset) {
    return readUntilFull(buffer, length, [fd, offset](char* at, size_t count, qint64 done) {
        return ::pread(fd, at, count, off_t(offset + done));
    });
}

std::optional<FileStamp> fileStamp(const QString& path) {
    struct stat st;
    if (::stat(NativePath::encode(path).constData(), &st) != 0) return std::nullopt;
    return FileStamp{quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                     qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool isWritableFile(const QString& path) {
    // The permission bits count even for a writer the system would let through anyway (the administrator): a file
    // made read-only is one its owner does not want changed.
    struct stat st;
    const QByteArray native = NativePath::encode(path);
    return ::stat(native.constData(), &st) == 0 && (st.st_mode & 0222) != 0 && ::access(native.constData(), W_OK) == 0;
}

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

CopyEnd copyBytes(int in, qint64 offset, qint64 length, int out, const std::function<bool(qint64)>& afterBlock) {
    // Blocks small enough to stay in the processor's cache between the read and the write: with larger ones a
    // copy runs at half the speed. The kernel copies steps of 8 MiB itself where it can.
    constexpr qint64 kBlock = qint64(128) << 10;
    constexpr qint64 kStep = qint64(8) << 20;
    std::vector<char> buffer;
    bool kernelCopy = true;
    for (qint64 done = 0; done < length;) {
        const qint64 left = length - done;
        qint64 got = -1;
        if (kernelCopy) {
            loff_t from = offset + done;
            got = ::copy_file_range(in, &from, out, nullptr, size_t(std::min(left, kStep)), 0);
            if (got <= 0) {
                // Across file systems, or where the kernel cannot: through memory. A failure of the target itself
                // (no space) is one to report.
                if (got < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                    return CopyEnd::WriteFailed;
                kernelCopy = false;
                continue;
            }
        } else {
            if (buffer.empty()) buffer.resize(size_t(std::min(kBlock, length)));
            const qint64 want = std::min<qint64>(left, qint64(buffer.size()));
            got = readFullyAt(in, buffer.data(), want, offset + done);
            if (got < 0) return CopyEnd::ReadFailed;
            if (got != want) return CopyEnd::SourceShort;
            if (!writeAll(out, buffer.data(), got)) return CopyEnd::WriteFailed;
        }
        done += got;
        if (afterBlock && !afterBlock(done)) return CopyEnd::Stopped;
    }
    return CopyEnd::Done;
}

} // namespace FileOps
