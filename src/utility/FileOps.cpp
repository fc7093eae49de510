#include "FileOps.h"

#include "NativePath.h"
#include "SystemError.h"
#include "TextUtil.h"
#include "WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace FileOps {

namespace {

// Splits "/folder/pattern" into the folder and a wildcard matcher; "*.*" matches every name, as it always has
// for the users of this program, even names without a dot.
struct SplitPattern {
    QString folder;
    QRegularExpression matcher;
};

// Only "*" and "?" are wildcards here; every other character stands for itself. (Qt's wildcard conversion would
// read "[1]" as a character class, and "a[1].txt" could then never be named literally.)
QRegularExpression wildcardMatcher(const QString& name) {
    QString expression;
    expression.reserve(name.size() * 2 + 8);
    for (QChar c : name) {
        if (c == u'*')
            expression += QStringLiteral(".*");
        else if (c == u'?')
            expression += u'.';
        else
            expression += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QStringLiteral("\\A(?:") + expression + QStringLiteral(")\\z"),
                              QRegularExpression::DotMatchesEverythingOption);
}

SplitPattern splitPattern(const QString& pattern) {
    QFileInfo info(pattern);
    QString name = info.fileName();
    if (name == "*.*") name = "*";
    return {info.absolutePath(), wildcardMatcher(name)};
}

QStringList filesMatching(const QString& pattern) {
    SplitPattern split = splitPattern(pattern);
    QDir dir(split.folder);
    QStringList out;
    const auto entries = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries)
        if (split.matcher.match(entry.fileName()).hasMatch()) out << entry.fileName();
    return out;
}

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

Status append(const QString& target, const QString& source) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(QString("Cannot read %1: %2").arg(source, in.errorString()));
    const bool targetExisted = QFileInfo::exists(target);
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append))
        return Status::failure(QString("Cannot write %1: %2").arg(target, out.errorString()));
    const qint64 oldSize = out.size();
    // Leave the target as it was rather than with half a copy on its end (or not at all if we created it).
    auto rollBack = [&] {
        if (targetExisted)
            out.resize(oldSize);
        else
            out.remove();
    };
    // Appending a file to itself would read what it has just written and never reach the end: copy only the
    // bytes it had when we started.
    qint64 remaining = -1;
    struct stat inStatus, outStatus;
    if (fstat(in.handle(), &inStatus) == 0 && fstat(out.handle(), &outStatus) == 0 &&
        inStatus.st_dev == outStatus.st_dev && inStatus.st_ino == outStatus.st_ino)
        remaining = oldSize;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    while (remaining != 0) {
        const qint64 wanted = remaining < 0 ? buffer.size() : std::min<qint64>(remaining, buffer.size());
        qint64 n = in.read(buffer.data(), wanted);
        if (n == 0) break;
        if (n < 0 || out.write(buffer.constData(), n) != n) {
            QString why = n < 0 ? in.errorString() : out.errorString();
            rollBack();
            return Status::failure(QString("Cannot append %1 to %2: %3").arg(source, target, why));
        }
        if (remaining > 0) remaining -= n;
    }
    if (!out.flush()) {
        QString why = out.errorString();
        rollBack();
        return Status::failure(QString("Cannot write %1: %2").arg(target, why));
    }
    return Status::success();
}

int deleteMatching(const QString& pattern) {
    SplitPattern split = splitPattern(pattern);
    int deleted = 0;
    for (const QString& name : filesMatching(pattern))
        if (QFile::remove(split.folder + "/" + name)) ++deleted;
    return deleted;
}

int deleteFilesIn(const QString& folder) {
    return deleteMatching(TextUtil::withSlash(folder) + "*");
}

Status createFolder(const QString& folder) {
    if (QDir().mkpath(folder)) return Status::success();
    return Status::failure(QString("Cannot create the folder %1: %2").arg(folder, SystemError::lastErrorText()));
}

QStringList matchingFiles(const QString& pattern, int maxCount) {
    QStringList out = filesMatching(pattern);
    if (out.size() > maxCount) out.resize(maxCount);
    return out;
}

Status writeFileAtomically(const QString& path, const QByteArray& data) {
    Result<WorkFile> out = WorkFile::beside(path);
    if (!out) return Status::failure(out.message());
    if (Status written = out.value().write(data); !written) return written;
    return out.value().commit();
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

} // namespace FileOps
