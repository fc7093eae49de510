#include "WorkFile.h"

#include "FileOps.h"
#include "NativePath.h"
#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QLatin1StringView kMark(".vhw-");
// Leaves room in a 255-byte name for the mark, the process id, the counter and libzip's own suffix.
constexpr int kMaxStemBytes = 120;

std::atomic<quint64> g_counter{0};

// When the process with this id started, in seconds since the epoch; -1 when it is not running or unknown.
qint64 processStart(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    // The command name is in parentheses and may hold blanks; the fields after the last ')' are fixed.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0) return -1;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // starttime is field 22 of the whole line, the 20th after the name.
    if (fields.size() < 20) return -1;
    const qint64 ticks = fields[19].toLongLong();
    static const qint64 bootTime = [] {
        QFile procStat(QStringLiteral("/proc/stat"));
        if (!procStat.open(QIODevice::ReadOnly)) return qint64(-1);
        for (const QByteArray& l : procStat.readAll().split('\n'))
            if (l.startsWith("btime ")) return l.mid(6).trimmed().toLongLong();
        return qint64(-1);
    }();
    const long hz = ::sysconf(_SC_CLK_TCK);
    if (bootTime < 0 || hz <= 0) return -1;
    return bootTime + ticks / hz;
}

bool writerHasEnded(qint64 pid, qint64 fileTime) {
    if (pid <= 0) return false;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) return true;
    const qint64 started = processStart(pid);
    // A process with that id runs, but it started after the file was last written: the id was reused.
    return started > 0 && started > fileTime + 1;
}

mode_t newFileMode() {
    // The umask cannot be read without changing it, which would race with other threads; the kernel shows it.
    QFile status(QStringLiteral("/proc/self/status"));
    mode_t mask = 022;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) mask = mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
    return 0666 & ~mask;
}

} // namespace

namespace WorkFiles {

QByteArray namePrefix(const QByteArray& targetFileName, qint64 pid) {
    QByteArray stem = targetFileName.left(kMaxStemBytes);
    // Cut at a character boundary, so that a UTF-8 name stays readable.
    if (stem.size() < targetFileName.size())
        while (!stem.isEmpty() && (quint8(targetFileName[stem.size()]) & 0xC0) == 0x80)
            stem.chop(1);
    QByteArray prefix = '.' + stem + QByteArray(kMark.data(), kMark.size());
    if (pid > 0) prefix += QByteArray::number(pid) + '-';
    return prefix;
}

QByteArray nameBeside(const QByteArray& targetFileName) {
    return namePrefix(targetFileName, qint64(::getpid())) + QByteArray::number(g_counter.fetch_add(1));
}

bool isWorkFileOf(QByteArrayView name, const QByteArray& targetFileName, qint64 pid) {
    const QByteArray prefix = namePrefix(targetFileName, pid);
    if (pid <= 0 || !name.startsWith(prefix) || name.size() == prefix.size()) return false;
    for (const char c : name.sliced(prefix.size()))
        if (c < '0' || c > '9') return false;
    return true;
}

QString nameBeside(const QString& targetFileName) {
    return NativePath::decode(nameBeside(NativePath::encode(targetFileName)));
}

qint64 writerOf(QStringView fileName) {
    if (!fileName.startsWith(u'.')) return 0;
    const qsizetype at = fileName.lastIndexOf(kMark);
    if (at <= 0) return 0;
    QStringView rest = fileName.mid(at + kMark.size());
    const qsizetype dash = rest.indexOf(u'-');
    if (dash <= 0) return 0;
    bool ok = false;
    const qint64 pid = rest.left(dash).toLongLong(&ok);
    if (!ok || pid <= 0) return 0;
    // The counter follows; libzip may add ".XXXXXX" after it.
    QStringView counter = rest.mid(dash + 1);
    const qsizetype dot = counter.indexOf(u'.');
    if (dot >= 0) counter = counter.left(dot);
    if (counter.isEmpty()) return 0;
    for (QChar c : counter)
        if (!c.isDigit()) return 0;
    return pid;
}

bool isWorkFileName(QStringView fileName) {
    return writerOf(fileName) != 0;
}

int sweepStale(const QString& folder) {
    const int dirFd = ::open(NativePath::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) return 0;
    const int removed = sweepStaleAt(dirFd);
    ::close(dirFd);
    return removed;
}

int sweepStaleAt(int folderFd) {
    // fdopendir takes the descriptor it is given; the caller keeps its own.
    const int dirFd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (dirFd < 0) return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    ::rewinddir(dir);
    std::vector<QByteArray> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        // The journal of a spanned package's rebuild names work files that still have to take their places;
        // nothing is swept until the rebuild has been completed (zip layer, recoverSpannedRebuild).
        if (std::strstr(entry->d_name, ".rebuild-journal.vhw-")) {
            ::closedir(dir);
            return 0;
        }
        if (entry->d_name[0] == '.') candidates.emplace_back(entry->d_name);
    }
    int removed = 0;
    for (const QByteArray& entryName : candidates) {
        const QString name = NativePath::decode(entryName);
        const qint64 pid = writerOf(name);
        if (pid == 0) continue;
        struct stat st;
        if (::fstatat(dirFd, entryName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!writerHasEnded(pid, st.st_mtim.tv_sec)) continue;
        if (::unlinkat(dirFd, entryName.constData(), 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

bool isStale(const QString& path) {
    const qint64 pid = writerOf(QFileInfo(path).fileName());
    struct stat st;
    if (pid == 0 || ::lstat(NativePath::encode(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return writerHasEnded(pid, st.st_mtim.tv_sec);
}

uint modeFor(const QString& target) {
    struct stat st;
    return ::stat(NativePath::encode(target).constData(), &st) == 0 ? uint(st.st_mode & 07777) : uint(newFileMode());
}

void syncFolder(const QString& folder) {
    const int fd = ::open(NativePath::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString realTarget(const QString& target) {
    QString path = QFileInfo(target).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(path);
        if (!info.isSymLink()) break;
        const QString next = info.symLinkTarget();
        if (next.isEmpty()) break;
        path = QDir::cleanPath(QDir(info.absolutePath()).absoluteFilePath(next));
    }
    return path;
}

} // namespace WorkFiles

Result<WorkFile> WorkFile::beside(const QString& target) {
    const QString real = WorkFiles::realTarget(target);
    const QFileInfo info(real);
    const QString folder = info.absolutePath();
    const QByteArray fileName = NativePath::encode(info.fileName());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray path = NativePath::encode(folder) + '/' + WorkFiles::nameBeside(fileName);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) return WorkFile(NativePath::decode(path), real, fd);
        if (errno != EEXIST)
            return Result<WorkFile>::failure(
                QStringLiteral("Cannot write into the folder %1: %2").arg(folder, SystemError::lastErrorText()));
    }
    return Result<WorkFile>::failure(
        QStringLiteral("Cannot write into the folder %1: no free work file name").arg(folder));
}

WorkFile::WorkFile(WorkFile&& other) noexcept
    : m_path(std::exchange(other.m_path, QString())), m_target(std::exchange(other.m_target, QString())),
      m_fd(std::exchange(other.m_fd, -1)) {}

WorkFile& WorkFile::operator=(WorkFile&& other) noexcept {
    if (this != &other) {
        rollback();
        m_path = std::exchange(other.m_path, QString());
        m_target = std::exchange(other.m_target, QString());
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

WorkFile::~WorkFile() {
    rollback();
}

Status WorkFile::write(const QByteArray& data) {
    if (!FileOps::writeAll(m_fd, data.constData(), data.size()))
        return Status::failure(QStringLiteral("Cannot write %1: %2").arg(m_target, SystemError::lastErrorText()));
    return Status::success();
}

void WorkFile::closeFd() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

Status WorkFile::commit(bool flushToDisk) {
    if (m_path.isEmpty()) return Status::failure(QStringLiteral("Nothing to write to %1").arg(m_target));
    const QByteArray path = NativePath::encode(m_path);
    // Writers such as libzip replace the file under its name, so the descriptor may no longer be the file.
    closeFd();
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    const mode_t mode = mode_t(WorkFiles::modeFor(m_target));
    const bool synced = fd >= 0 && ::fchmod(fd, mode) == 0 && (!flushToDisk || ::fsync(fd) == 0);
    const int code = errno;
    if (fd >= 0) ::close(fd);
    if (!synced) {
        const QString why = SystemError::errorText(code);
        rollback();
        return Status::failure(QStringLiteral("Cannot write %1: %2").arg(m_target, why));
    }
    if (::rename(path.constData(), NativePath::encode(m_target).constData()) != 0) {
        const QString why = SystemError::lastErrorText();
        rollback();
        return Status::failure(QStringLiteral("Cannot replace %1: %2").arg(m_target, why));
    }
    m_path.clear();
    if (flushToDisk) WorkFiles::syncFolder(QFileInfo(m_target).absolutePath());
    return Status::success();
}

void WorkFile::rollback() {
    closeFd();
    if (!m_path.isEmpty()) ::unlink(NativePath::encode(m_path).constData());
    m_path.clear();
}

QString WorkFile::release() {
    closeFd();
    return std::exchange(m_path, QString());
}
