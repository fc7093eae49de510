// Cutting an ordinary package into volumes; see ZipSpanWriter.h.

#include "ZipSpanWriter.h"
#include "RebuildJournal.h"
#include "ZipDetail.h"
#include "ZipLayout.h"
#include "ZipSpan.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/SystemError.h"
#include "utility/WorkFile.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace zipdetail {

namespace {

constexpr qint64 kCopyBuffer = qint64(1) << 20;

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

} // namespace zipdetail
