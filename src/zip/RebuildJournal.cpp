// The rebuild journal of a spanned package and its recovery; see RebuildJournal.h.

#include "RebuildJournal.h"
#include "ZipSpan.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/SystemError.h"
#include "utility/WorkFile.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace zipdetail {

namespace {

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

} // namespace

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

} // namespace zipdetail
