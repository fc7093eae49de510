// Writing and reading packages cut into volumes; see ZipSpan.h for the approach.

#include "ZipSpan.h"
#include "ZipDetail.h"
#include "ZipLayout.h"
#include "ZipTypes.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/SystemError.h"
#include "utility/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zlib.h>

namespace zipdetail {

namespace {

constexpr qint64 kCopyBuffer = qint64(1) << 20;

qint64 fileSize(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? qint64(st.st_size) : -1;
}

// --- the rebuild journal ---
//
// A spanned package is replaced volume by volume, so the renames are made safe by a journal: a small work file
// beside the package, ".<name>.rebuild-journal.vhw-<pid>-<n>", that lists every rename and removal. It is
// written and flushed only after all new volumes are on disk; from then on the new set is decided, and the next
// writer of that package that finds the journal of an ended run (recoverRebuild) completes it; readers only
// report it. A journal without its closing checksum was never committed: the old set is still whole, and the
// journal and the new volumes are swept as stale work files.

const QByteArray kJournalHeader = "varnhold rebuild journal 1\n";
const QLatin1StringView kJournalStem(".rebuild-journal");

std::function<void(const char*)>& rebuildSeam() {
    static std::function<void(const char*)> seam;
    return seam;
}

void passSeam(const char* point) {
    if (rebuildSeam()) rebuildSeam()(point);
}

struct Journal {
    std::vector<std::pair<QByteArray, QByteArray>> renames; // file names in the journal's folder, native
    std::vector<QByteArray> removals;
};

QByteArray journalBytes(const Journal& journal) {
    QByteArray text = kJournalHeader;
    for (const auto& [from, to] : journal.renames)
        text += "rename " + from.toPercentEncoding() + ' ' + to.toPercentEncoding() + '\n';
    for (const QByteArray& name : journal.removals)
        text += "remove " + name.toPercentEncoding() + '\n';
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(text.constData()), uInt(text.size()));
    return text + "end " + QByteArray::number(qulonglong(crc), 16) + '\n';
}

// The journal in bytes, or nothing when it is incomplete or damaged (it was never committed).
std::optional<Journal> parseJournal(const QByteArray& bytes) {
    if (!bytes.startsWith(kJournalHeader) || !bytes.endsWith('\n')) return std::nullopt;
    const qsizetype endLine = bytes.lastIndexOf("\nend ");
    if (endLine < 0) return std::nullopt;
    const QByteArray body = bytes.left(endLine + 1);
    bool ok = false;
    const qulonglong stored = bytes.mid(endLine + 5).trimmed().toULongLong(&ok, 16);
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
    if (!ok || stored != qulonglong(crc)) return std::nullopt;
    Journal journal;
    const QList<QByteArray> lines = body.mid(kJournalHeader.size()).split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 3 && words[0] == "rename")
            journal.renames.emplace_back(QByteArray::fromPercentEncoding(words[1]),
                                         QByteArray::fromPercentEncoding(words[2]));
        else if (words.size() == 2 && words[0] == "remove")
            journal.removals.push_back(QByteArray::fromPercentEncoding(words[1]));
        else
            return std::nullopt;
    }
    return journal;
}

bool isPlainName(QByteArrayView name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

// The names a rebuild of one package may touch: all plain names in the package's own folder.
struct RebuildNames {
    explicit RebuildNames(const QString& package) {
        const QFileInfo info(WorkFiles::realTarget(package));
        folder = info.absolutePath();
        const QString fileName = info.fileName();
        target = NativePath::encode(fileName);
        const qsizetype dot = fileName.lastIndexOf(u'.');
        stem = NativePath::encode(dot > 0 ? fileName.left(dot) : fileName);
        journalTarget = NativePath::encode(journalTargetName(fileName));
    }
    static QString journalTargetName(const QString& packageFileName) {
        return packageFileName.left(100) + kJournalStem;
    }
    // name.z01, name.z02, ...: the package's volumes before its last one.
    bool isEarlierVolume(QByteArrayView name) const {
        if (!name.startsWith(stem) || !name.sliced(stem.size()).startsWith(".z")) return false;
        const QByteArrayView number = name.sliced(stem.size() + 2);
        if (number.size() < 2) return false;
        bool nonZero = false;
        for (const char c : number) {
            if (c < '0' || c > '9') return false;
            nonZero = nonZero || c != '0';
        }
        return nonZero;
    }
    bool isVolume(QByteArrayView name) const { return name == target || isEarlierVolume(name); }
    bool isJournal(QByteArrayView name) const {
        return WorkFiles::isWorkFileOf(name, journalTarget, WorkFiles::writerOf(NativePath::decode(name)));
    }

    QString folder;
    QByteArray target, stem, journalTarget;
};

QString shown(const QByteArray& name) {
    return NativePath::display(NativePath::decode(name));
}

// Why the journal asks for more than a rebuild of the package by process pid can leave, or nothing when it does
// not: it may only put that run's own volume work files in the package's volume names and remove the package's
// earlier volumes, all plain names in the package's folder.
QString beyondRebuild(const Journal& journal, const RebuildNames& names, qint64 pid) {
    for (const auto& [from, to] : journal.renames) {
        if (!isPlainName(from) || !WorkFiles::isWorkFileOf(from, names.target, pid))
            return QStringLiteral("it would rename %1, which that rebuild did not write").arg(shown(from));
        if (!isPlainName(to) || !names.isVolume(to))
            return QStringLiteral("it would rename a file to %1, which is no volume of the package").arg(shown(to));
    }
    for (const QByteArray& name : journal.removals)
        if (!isPlainName(name) || !names.isEarlierVolume(name))
            return QStringLiteral("it would remove %1, which is no volume of the package").arg(shown(name));
    return {};
}

// Carries a committed journal out in the folder open at dirFd. Every step may already have been done by a run
// that was stopped, so a rename whose work file is gone counts as done. Nothing is followed: a work file that
// is not a plain file stays where it is.
bool applyJournal(int dirFd, const QString& folder, const Journal& journal, QString* why) {
    for (const auto& [from, to] : journal.renames) {
        struct stat st;
        if (::fstatat(dirFd, from.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode)) {
            *why = QStringLiteral("cannot put the volume %1 in place: its work file is not a plain file")
                       .arg(folder + u'/' + shown(to));
            return false;
        }
        if (::renameat(dirFd, from.constData(), dirFd, to.constData()) != 0) {
            *why = QStringLiteral("cannot put the volume %1 in place: %2")
                       .arg(folder + u'/' + shown(to), SystemError::errorText(errno));
            return false;
        }
        passSeam("volume-renamed");
    }
    for (const QByteArray& name : journal.removals)
        ::unlinkat(dirFd, name.constData(), 0);
    ::fsync(dirFd);
    passSeam("old-volumes-removed");
    return true;
}

// The journals of rebuilds of the package lying in its folder (open at dirFd), by file name.
std::vector<QByteArray> journalsOf(int dirFd, const RebuildNames& names) {
    std::vector<QByteArray> journals;
    const int listFd = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (listFd < 0) return journals;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return journals;
    }
    // Read with readdir and a plain byte test: this runs at every open, in folders of any size.
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] == '.' && std::strstr(entry->d_name, ".rebuild-journal.vhw-") &&
            names.isJournal(QByteArrayView(entry->d_name)))
            journals.emplace_back(entry->d_name);
    ::closedir(dir);
    return journals;
}

struct FolderHandle {
    explicit FolderHandle(const QString& folder)
        : fd(::open(NativePath::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~FolderHandle() {
        if (fd >= 0) ::close(fd);
    }
    int fd;
};

// Puts the new volumes in place through a journal: all or, after a kill, all at the next start.
bool placeVolumes(const QString& target, const std::vector<std::pair<QString, QString>>& renames,
                  const QStringList& removals, QString* why) {
    passSeam("volumes-written");
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    Journal journal;
    for (const auto& [from, to] : renames)
        journal.renames.emplace_back(NativePath::encode(QFileInfo(from).fileName()),
                                     NativePath::encode(QFileInfo(to).fileName()));
    for (const QString& name : removals)
        journal.removals.push_back(NativePath::encode(QFileInfo(name).fileName()));

    Result<WorkFile> file = WorkFile::beside(folder + u'/' + RebuildNames::journalTargetName(info.fileName()));
    if (!file.ok()) {
        *why = file.message();
        return false;
    }
    WorkFile& journalFile = file.value();
    const QByteArray bytes = journalBytes(journal);
    Status written = journalFile.write(bytes.left(bytes.size() / 2));
    passSeam("journal-partly-written");
    if (written) written = journalFile.write(bytes.mid(bytes.size() / 2));
    if (!written || ::fsync(journalFile.fd()) != 0) {
        *why = written ? QStringLiteral("cannot write beside %1: %2").arg(target, SystemError::errorText(errno))
                       : written.message();
        return false;
    }
    WorkFiles::syncFolder(folder);
    passSeam("journal-committed");
    // From here on the new set is decided: a failure leaves the journal for the next start to complete.
    const QString journalPath = journalFile.release();
    const FolderHandle dir(folder);
    if (dir.fd < 0 || !applyJournal(dir.fd, folder, journal, why)) {
        if (dir.fd < 0)
            *why = QStringLiteral("cannot open the folder %1: %2").arg(folder, SystemError::lastErrorText());
        *why += QStringLiteral("; the new volumes will be put in place when the package is next built or updated");
        return false;
    }
    ::unlink(NativePath::encode(journalPath).constData());
    WorkFiles::syncFolder(folder);
    return true;
}

/// Writes the volumes one after another, each into a work file beside the target, and keeps count of where bytes
/// land. The work files take their names only through a rebuild journal (placeVolumes), so a kill leaves either
/// the old set or, once the journal is committed, everything needed to complete the new one.
class VolumeWriter {
  public:
    VolumeWriter(const QString& target, qint64 limit, const CancelToken& cancel)
        : m_target(WorkFiles::realTarget(target)), m_limit(limit), m_cancel(cancel),
          m_mode(WorkFiles::modeFor(m_target)) {}
    ~VolumeWriter() { closeCurrent(); }

    quint32 disk() const { return quint32(m_volumes.size() - 1); }
    qint64 used() const { return m_used; }
    qint64 room() const { return m_limit - m_used; }
    bool cancelled() const { return m_cancelled; }
    const QString& error() const { return m_error; }

    /// Starts the next volume; the first one begins with the split signature.
    bool next() {
        if (!closeCurrent()) return false;
        if (m_cancel.cancelled()) {
            m_cancelled = true;
            return false;
        }
        Result<WorkFile> volume = WorkFile::beside(m_target);
        if (!volume.ok()) {
            m_error = volume.message();
            return false;
        }
        m_volumes.push_back(std::move(volume.value()));
        m_fd = m_volumes.back().fd();
        // The volumes get the permissions of the package they replace (a new package's when there is none).
        ::fchmod(m_fd, mode_t(m_mode));
        m_used = 0;
        if (m_volumes.size() == 1) {
            QByteArray signature;
            putLe32(signature, kSplitSignature);
            return write(signature.constData(), signature.size());
        }
        return true;
    }

    /// Writes bytes that must stay together in one volume (a header or a record).
    bool writeWhole(const QByteArray& bytes, const QString& what) {
        if (bytes.size() > m_limit) {
            m_error = QStringLiteral("%1 (%2 bytes) does not fit in a volume of %3 bytes")
                          .arg(what)
                          .arg(bytes.size())
                          .arg(m_limit);
            return false;
        }
        if (bytes.size() > room() && !next()) return false;
        return write(bytes.constData(), bytes.size());
    }

    /// Writes bytes that may continue on the next volumes.
    bool writeFlowing(const char* data, qint64 length) {
        while (length > 0) {
            if (room() == 0 && !next()) return false;
            const qint64 n = std::min(length, room());
            if (!write(data, n)) return false;
            data += n;
            length -= n;
        }
        return true;
    }

    bool finish() { return closeCurrent(); }

    /// Puts every volume in place (.z01, .z02, ... and finally the target itself) through a rebuild journal, and
    /// removes the volumes of the old package that the new one does not replace.
    bool place() {
        const quint32 count = quint32(m_volumes.size());
        // Check first what a rename cannot overcome, so a refusal leaves everything as it was.
        for (quint32 i = 0; i < count; ++i) {
            const QString name = volumeFileName(m_target, i, count);
            if (QFileInfo(name).isDir()) {
                m_error = QStringLiteral("cannot write the volume %1: a folder of that name is in the way").arg(name);
                return false;
            }
        }
        std::vector<std::pair<QString, QString>> renames;
        for (quint32 i = 0; i < count; ++i)
            renames.emplace_back(m_volumes[i].path(), volumeFileName(m_target, i, count));
        QStringList removals;
        const quint32 oldCount = volumeCountOf(m_target);
        for (quint32 disk = count - 1; disk + 1 < oldCount; ++disk)
            removals << volumeFileName(m_target, disk, oldCount);
        QString why;
        if (!placeVolumes(m_target, renames, removals, &why)) {
            m_error = why;
            return false;
        }
        for (WorkFile& volume : m_volumes)
            volume.release();
        return true;
    }

  private:
    bool write(const char* data, qint64 length) {
        if (!FileOps::writeAll(m_fd, data, length))
            return failWith(errno, QStringLiteral("write a volume of %1").arg(m_target));
        m_used += length;
        m_sinceCheck += length;
        if (m_sinceCheck >= (qint64(8) << 20)) {
            m_sinceCheck = 0;
            if (m_cancel.cancelled()) {
                m_cancelled = true;
                return false;
            }
        }
        return true;
    }
    bool closeCurrent() {
        if (m_fd < 0) return true;
        const int fd = m_fd;
        m_fd = -1;
        // On disk before the journal names it: a volume the journal puts in place must never be empty.
        const bool synced = ::fsync(fd) == 0;
        const int code = errno;
        m_volumes.back().closeFd();
        if (!synced) return failWith(code, QStringLiteral("write a volume of %1").arg(m_target));
        return true;
    }
    bool failWith(int errnoValue, const QString& what) {
        m_error = QStringLiteral("cannot %1: %2").arg(what, SystemError::errorText(errnoValue));
        return false;
    }

    QString m_target;
    qint64 m_limit;
    const CancelToken& m_cancel;
    uint m_mode;
    std::vector<WorkFile> m_volumes;
    int m_fd = -1;
    qint64 m_used = 0;
    qint64 m_sinceCheck = 0;
    bool m_cancelled = false;
    QString m_error;
};

} // namespace

QString volumeFileName(const QString& lastVolume, quint32 disk, quint32 diskCount) {
    if (disk + 1 >= diskCount) return lastVolume;
    const QFileInfo info(lastVolume);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    return info.path() + u'/' + stem + QStringLiteral(".z%1").arg(disk + 1, 2, 10, QLatin1Char('0'));
}

quint32 volumeCountOf(const QString& path) {
    QString why;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) return 0;
    const qint64 size = fileSize(fd);
    EndRecords end;
    QString error;
    const bool found = readEndRecords(
        [&](quint32 disk, quint64 offset, qint64 length) {
            if (disk != quint32(-1)) return QByteArray();
            QByteArray bytes(length, Qt::Uninitialized);
            const qint64 n = FileOps::readFullyAt(fd, bytes.data(), length, qint64(offset));
            bytes.truncate(std::max<qint64>(n, 0));
            return bytes;
        },
        size, &end, &error);
    ::close(fd);
    return found ? end.diskCount() : 0;
}

void removeVolumes(const QString& lastVolume, quint32 first, quint32 last) {
    // Named as they would be in a package of last + 1 volumes, so every one of them gets its .zNN name.
    for (quint32 number = first; number <= last && number > 0; ++number)
        QFile::remove(volumeFileName(lastVolume, number - 1, last + 1));
}

void setRebuildSeam(std::function<void(const char*)> seam) {
    rebuildSeam() = std::move(seam);
}

bool hasInterruptedRebuild(const QString& package) {
    const RebuildNames names(package);
    const FolderHandle dir(names.folder);
    return dir.fd >= 0 && !journalsOf(dir.fd, names).empty();
}

RebuildRecovery recoverRebuild(const QString& package) {
    RebuildRecovery out;
    const RebuildNames names(package);
    const FolderHandle dir(names.folder);
    if (dir.fd < 0) return out;
    for (const QByteArray& name : journalsOf(dir.fd, names)) {
        const QString path = names.folder + u'/' + NativePath::decode(name);
        const qint64 pid = WorkFiles::writerOf(NativePath::decode(name));
        // A journal of a run still going is left alone; one of our own is left only by a rebuild whose renames
        // failed, and is tried again.
        if (!WorkFiles::isStale(path) && pid != qint64(::getpid())) continue;
        const auto leftAlone = [&](const QString& why) {
            out.complete = false;
            out.refused
                << QStringLiteral("The rebuild journal %1 was left alone: %2.").arg(NativePath::display(path), why);
        };
        const int fd = ::openat(dir.fd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st;
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0) ::close(fd);
            leftAlone(QStringLiteral("it is not a plain file that can be read"));
            continue;
        }
        // Only a journal this user wrote, and nobody else could have changed, is carried out.
        if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            ::close(fd);
            leftAlone(QStringLiteral("it belongs to another user or others may write to it"));
            continue;
        }
        QByteArray bytes(qsizetype(1) << 20, Qt::Uninitialized);
        const qint64 n = FileOps::readFullyAt(fd, bytes.data(), bytes.size(), 0);
        ::close(fd);
        bytes.truncate(std::max<qint64>(n, 0));
        const std::optional<Journal> journal = parseJournal(bytes);
        // Never committed: the old set was not touched; the journal goes, and its volumes with the sweep.
        if (!journal) {
            ::unlinkat(dir.fd, name.constData(), 0);
            ::fsync(dir.fd);
            continue;
        }
        if (const QString beyond = beyondRebuild(*journal, names, pid); !beyond.isEmpty()) {
            leftAlone(beyond);
            continue;
        }
        QString why;
        if (applyJournal(dir.fd, names.folder, *journal, &why)) {
            ::unlinkat(dir.fd, name.constData(), 0);
            ::fsync(dir.fd);
        } else {
            out.complete = false;
            out.refused << why;
        }
    }
    return out;
}

qint64 automaticVolumeSize(qint64 packageSize, qint64 freeBytes) {
    if (freeBytes < 0 || packageSize <= freeBytes) return -1;
    return std::max(freeBytes, kMinVolumeSize);
}

qint64 freeBytesAt(const QString& folder) {
    struct statvfs fs;
    if (::statvfs(NativePath::encode(folder).constData(), &fs) != 0) return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

SplitOutcome splitPackage(const QString& source, const QString& target, qint64 volumeSize, const CancelToken& cancel) {
    SplitOutcome out;
    out.result = kZipFailed;
    const auto failed = [&](const QString& why) {
        out.result = kZipFailed;
        out.message = QStringLiteral("Cannot write the volumes of %1: %2.").arg(target, why);
        return out;
    };
    const int fd = ::open(NativePath::encode(source).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failed(SystemError::errorText(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    const qint64 size = fileSize(fd);
    const DiskReader read = [&](quint32, quint64 offset, qint64 length) {
        QByteArray bytes(length, Qt::Uninitialized);
        const qint64 n = FileOps::readFullyAt(fd, bytes.data(), length, qint64(offset));
        bytes.truncate(std::max<qint64>(n, 0));
        return bytes;
    };
    EndRecords end;
    QString error;
    if (!readEndRecords(read, size, &end, &error)) return failed(error);
    if (end.spanned()) return failed(QStringLiteral("the package is already spanned"));
    // Where the directory lies and how long it is are the package's claims: checked against the file's real length
    // before anything is sized from them.
    if (end.directoryOffset > quint64(size) || end.directorySize > quint64(size) - end.directoryOffset)
        return failed(QStringLiteral("its directory reaches beyond the end of the file"));
    const QByteArray directory = read(0, end.directoryOffset, qint64(end.directorySize));
    if (quint64(directory.size()) != end.directorySize) return failed(QStringLiteral("its directory cannot be read"));
    std::vector<CentralRecord> records;
    if (!parseCentralDirectory(directory, end.entries, &records, &error)) return failed(error);

    // Local headers in the order they sit in the package; each entry runs up to the next one (or the directory).
    std::vector<size_t> byOffset(records.size());
    for (size_t i = 0; i < byOffset.size(); ++i)
        byOffset[i] = i;
    std::sort(byOffset.begin(), byOffset.end(),
              [&](size_t a, size_t b) { return records[a].localOffset < records[b].localOffset; });

    VolumeWriter writer(target, volumeSize, cancel);
    const auto writerFailed = [&]() {
        if (writer.cancelled()) {
            out.result = kZipCancelled;
            out.message = QStringLiteral("Cancelled: %1 was left as it was.").arg(target);
            return out;
        }
        return failed(writer.error());
    };
    if (!writer.next()) return writerFailed();

    std::unique_ptr<char[]> buffer(new char[size_t(kCopyBuffer)]);
    bool readFailed = false;
    const auto copyFlowing = [&](qint64 from, qint64 length) {
        while (length > 0) {
            const qint64 n = std::min(length, kCopyBuffer);
            if (FileOps::readFullyAt(fd, buffer.get(), n, from) != n) {
                readFailed = true;
                return false;
            }
            if (!writer.writeFlowing(buffer.get(), n)) return false;
            from += n;
            length -= n;
        }
        return true;
    };

    struct Placed {
        quint32 disk = 0;
        quint64 offset = 0;
    };
    std::vector<Placed> placed(records.size());
    if (!byOffset.empty() && records[byOffset[0]].localOffset > end.directoryOffset)
        return failed(QStringLiteral("its entries overlap or leave gaps"));
    qint64 position = byOffset.empty() ? qint64(end.directoryOffset) : qint64(records[byOffset[0]].localOffset);
    // Anything before the first entry (a stub some tools put there) travels along unchanged.
    if (position > 0) {
        QByteArray prefix = read(0, 0, position);
        if (prefix.size() != position || !writer.writeFlowing(prefix.constData(), position)) return writerFailed();
    }
    for (size_t k = 0; k < byOffset.size(); ++k) {
        const CentralRecord& r = records[byOffset[k]];
        const qint64 start = qint64(r.localOffset);
        const qint64 stop =
            k + 1 < byOffset.size() ? qint64(records[byOffset[k + 1]].localOffset) : qint64(end.directoryOffset);
        if (start != position || stop < start + kLocalHeaderSize)
            return failed(QStringLiteral("its entries overlap or leave gaps"));
        const QByteArray fixed = read(0, quint64(start), kLocalHeaderSize);
        if (fixed.size() != kLocalHeaderSize || le32(fixed.constData()) != kLocalHeaderSignature)
            return failed(QStringLiteral("a local header is damaged"));
        const qint64 headerLength = kLocalHeaderSize + le16(fixed.constData() + 26) + le16(fixed.constData() + 28);
        if (start + headerLength > stop) return failed(QStringLiteral("a local header is damaged"));
        // A local header never straddles two volumes: simpler for every reader, and allowed.
        const QByteArray header = read(0, quint64(start), headerLength);
        if (header.size() != headerLength) return failed(QStringLiteral("a local header cannot be read"));
        if (writer.room() < headerLength && !writer.next()) return writerFailed();
        placed[byOffset[k]] = {writer.disk(), quint64(writer.used())};
        if (!writer.writeWhole(header, QStringLiteral("a local header"))) return writerFailed();
        if (!copyFlowing(start + headerLength, stop - start - headerLength))
            return readFailed ? failed(QStringLiteral("the package cannot be read")) : writerFailed();
        position = stop;
    }

    // The directory, record by record, each whole within one volume.
    EndRecords newEnd;
    newEnd.entries = records.size();
    newEnd.comment = end.comment;
    bool first = true;
    quint64 onDisk = 0;
    quint32 diskOfRecords = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const QByteArray record = relocatedRecord(directory, records[i], placed[i].disk, placed[i].offset);
        if (writer.room() < record.size() && !writer.next()) return writerFailed();
        if (first) {
            newEnd.directoryDisk = writer.disk();
            newEnd.directoryOffset = quint64(writer.used());
            first = false;
        }
        if (writer.disk() != diskOfRecords) {
            diskOfRecords = writer.disk();
            onDisk = 0;
        }
        if (!writer.writeWhole(record, QStringLiteral("a directory record"))) return writerFailed();
        newEnd.directorySize += quint64(record.size());
        ++onDisk;
    }
    if (first) {
        newEnd.directoryDisk = writer.disk();
        newEnd.directoryOffset = quint64(writer.used());
    }
    // The end records go together on the last volume; a volume of their own if they do not fit on this one.
    newEnd.thisDisk = writer.disk();
    newEnd.entriesOnDisk = writer.disk() == diskOfRecords ? onDisk : 0;
    if (writer.room() < endRecordsSize(newEnd)) {
        if (!writer.next()) return writerFailed();
        newEnd.thisDisk = writer.disk();
        newEnd.entriesOnDisk = 0;
    }
    if (!writer.writeWhole(endRecordsBytes(newEnd, quint64(writer.used())), QStringLiteral("the end records")))
        return writerFailed();
    if (!writer.finish() || cancel.cancelled()) {
        if (!writer.error().isEmpty()) return writerFailed();
        out.result = kZipCancelled;
        out.message = QStringLiteral("Cancelled: %1 was left as it was.").arg(target);
        return out;
    }
    if (!writer.place()) return writerFailed();
    out.result = kZipOk;
    out.volumes = newEnd.thisDisk + 1;
    return out;
}

// --- reading ---

JoinedPackage::~JoinedPackage() {
    for (int fd : m_fds)
        if (fd >= 0) ::close(fd);
}

namespace {

// True when the record's name holds a control character libzip does not take in a UTF-8 name (all below 32 but
// TAB, LF and CR).
bool hasControlCharacter(const QByteArray& record) {
    const quint16 nameLength = le16(record.constData() + 28);
    for (const char c : QByteArrayView(record.constData() + kCentralHeaderSize, nameLength))
        if (uchar(c) < 32 && c != '\t' && c != '\n' && c != '\r') return true;
    return false;
}

} // namespace

std::shared_ptr<JoinedPackage> JoinedPackage::open(const QString& lastVolume, QString* error, bool textFlagRepair) {
    std::shared_ptr<JoinedPackage> joined(new JoinedPackage);
    const int lastFd = openRegularFile(lastVolume, error);
    if (lastFd < 0) return {};
    const qint64 lastSize = fileSize(lastFd);
    std::vector<int>& fds = joined->m_fds;
    const DiskReader read = [&](quint32 disk, quint64 offset, qint64 length) {
        const int fd = disk == quint32(-1) ? lastFd : (disk < fds.size() ? fds[disk] : -1);
        if (fd < 0) return QByteArray();
        QByteArray bytes(length, Qt::Uninitialized);
        const qint64 n = FileOps::readFullyAt(fd, bytes.data(), length, qint64(offset));
        bytes.truncate(std::max<qint64>(n, 0));
        return bytes;
    };
    EndRecords end;
    if (!readEndRecords(read, lastSize, &end, error)) {
        ::close(lastFd);
        return {};
    }
    // The volume count is only a claim of the end record: nothing is sized from it. The earlier volumes are opened
    // one after another, so a claim of billions of volumes ends at the first one that is not there.
    const quint32 claimed = end.diskCount();
    for (quint32 disk = 0; disk + 1 < claimed; ++disk) {
        const QString name = volumeFileName(lastVolume, disk, claimed);
        QString why;
        const int fd = openRegularFile(name, &why);
        if (fd < 0) {
            ::close(lastFd);
            *error = QStringLiteral("its volume %1 of %2 (%3) cannot be opened: %4")
                         .arg(disk + 1)
                         .arg(claimed)
                         .arg(QFileInfo(name).fileName(), why);
            return {};
        }
        fds.push_back(fd);
    }
    fds.push_back(lastFd);
    const quint32 count = quint32(fds.size());
    std::vector<qint64> sizes(count);
    for (quint32 disk = 0; disk < count; ++disk)
        sizes[disk] = fileSize(fds[disk]);

    // The first volume may open with the split signature; it is no part of the data.
    qint64 skip = 0;
    {
        const QByteArray head = read(0, 0, 4);
        if (head.size() == 4 &&
            (le32(head.constData()) == kSplitSignature || le32(head.constData()) == kSingleSplitSignature))
            skip = 4;
    }
    // Where each volume starts in the joined package.
    std::vector<qint64> base(count + 1, 0);
    for (quint32 disk = 0; disk < count; ++disk)
        base[disk + 1] = base[disk] + sizes[disk] - (disk == 0 ? skip : 0);
    const auto joinedOffset = [&](quint32 disk, quint64 offset) {
        return base[disk] + qint64(offset) - (disk == 0 ? skip : 0);
    };

    // The directory may itself run over several volumes; it cannot be larger than they are.
    qint64 totalSize = 0;
    for (qint64 size : sizes)
        totalSize += size;
    if (end.directorySize > quint64(totalSize) || end.directoryOffset > quint64(sizes[end.directoryDisk])) {
        *error = QStringLiteral("its central directory lies outside the volumes");
        return {};
    }
    QByteArray directory;
    {
        quint32 disk = end.directoryDisk;
        quint64 offset = end.directoryOffset;
        while (quint64(directory.size()) < end.directorySize && disk < count) {
            const qint64 want =
                std::min<qint64>(qint64(end.directorySize) - directory.size(), sizes[disk] - qint64(offset));
            if (want > 0) directory += read(disk, offset, want);
            ++disk;
            offset = 0;
        }
        if (quint64(directory.size()) != end.directorySize) {
            *error = QStringLiteral("its central directory cannot be read");
            return {};
        }
    }
    std::vector<CentralRecord> records;
    if (!parseCentralDirectory(directory, end.entries, &records, error)) return {};

    joined->m_dataEnd = joinedOffset(end.directoryDisk, end.directoryOffset);
    QByteArray rewritten;
    rewritten.reserve(directory.size());
    for (const CentralRecord& r : records) {
        if (r.disk >= count) {
            *error = QStringLiteral("an entry points into a volume that is not there");
            return {};
        }
        if (r.localOffset >= quint64(sizes[r.disk])) {
            *error =
                QStringLiteral("its volume %1 (%2) is too short: it ends after %3 bytes, where the directory places "
                               "an entry at byte %4")
                    .arg(r.disk + 1)
                    .arg(QFileInfo(volumeFileName(lastVolume, r.disk, count)).fileName())
                    .arg(sizes[r.disk])
                    .arg(r.localOffset);
            return {};
        }
        const qint64 at = joinedOffset(r.disk, r.localOffset);
        if (at < 0 || at >= joined->m_dataEnd) {
            *error = QStringLiteral("an entry points outside the package");
            return {};
        }
        QByteArray record = relocatedRecord(directory, r, 0, quint64(at));
        if (textFlagRepair && (uchar(record[9]) & 0x08) && hasControlCharacter(record))
            record[9] = char(uchar(record[9]) & ~0x08);
        rewritten += record;
    }
    EndRecords joinedEnd;
    joinedEnd.entries = joinedEnd.entriesOnDisk = records.size();
    joinedEnd.directorySize = quint64(rewritten.size());
    joinedEnd.directoryOffset = quint64(joined->m_dataEnd);
    joinedEnd.comment = end.comment;
    rewritten += endRecordsBytes(joinedEnd, quint64(joined->m_dataEnd) + quint64(rewritten.size()));
    joined->m_tail = rewritten;
    joined->m_size = joined->m_dataEnd + rewritten.size();

    for (quint32 disk = 0; disk < count; ++disk) {
        Segment s;
        s.start = base[disk];
        s.fd = fds[disk];
        s.fileOffset = disk == 0 ? skip : 0;
        s.length = std::min(base[disk + 1], joined->m_dataEnd) - s.start;
        if (s.length > 0) joined->m_segments.push_back(s);
    }
    return joined;
}

qint64 JoinedPackage::readAt(qint64 pos, char* buffer, qint64 length) const {
    qint64 done = 0;
    while (done < length && pos < m_size) {
        if (pos >= m_dataEnd) {
            const qint64 n = std::min(length - done, m_size - pos);
            memcpy(buffer + done, m_tail.constData() + (pos - m_dataEnd), size_t(n));
            done += n;
            pos += n;
            continue;
        }
        // Segments are few (one per volume); the last one starting at or before pos holds it.
        auto it = std::upper_bound(m_segments.begin(), m_segments.end(), pos,
                                   [](qint64 p, const Segment& s) { return p < s.start; });
        if (it == m_segments.begin()) return -1;
        --it;
        const qint64 within = pos - it->start;
        const qint64 n = std::min(length - done, it->length - within);
        if (n <= 0) return -1;
        const qint64 got = FileOps::readFullyAt(it->fd, buffer + done, n, it->fileOffset + within);
        if (got != n) return -1;
        done += n;
        pos += n;
    }
    return done;
}

namespace {

struct JoinedReader {
    std::shared_ptr<JoinedPackage> package;
    qint64 position = 0;
    zip_error_t error;
};

zip_int64_t joinedCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto* r = static_cast<JoinedReader*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        r->position = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const qint64 n = r->package->readAt(r->position, static_cast<char*>(data), qint64(length));
        if (n < 0) {
            zip_error_set(&r->error, ZIP_ER_READ, EIO);
            return -1;
        }
        r->position += n;
        return n;
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_SEEK: {
        const zip_int64_t to = zip_source_seek_compute_offset(
            zip_uint64_t(r->position), zip_uint64_t(r->package->size()), data, length, &r->error);
        if (to < 0) return -1;
        r->position = to;
        return 0;
    }
    case ZIP_SOURCE_TELL:
        return r->position;
    case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &r->error);
        if (!st) return -1;
        zip_stat_init(st);
        st->size = zip_uint64_t(r->package->size());
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&r->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&r->error);
        delete r;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_SEEKABLE;
    default:
        zip_error_set(&r->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

zip_source_t* JoinedPackage::newSource(zip_error_t* error) {
    auto* reader = new JoinedReader;
    reader->package = shared_from_this();
    zip_error_init(&reader->error);
    zip_source_t* source = zip_source_function_create(joinedCallback, reader, error);
    if (!source) delete reader;
    return source;
}

} // namespace zipdetail

namespace zipdetail {

zip_t* JoinedPackage::openArchive(int* code) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = newSource(&error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!zip) {
        if (source) zip_source_free(source);
        *code = zip_error_code_zip(&error);
    }
    zip_error_fini(&error);
    return zip;
}

} // namespace zipdetail
