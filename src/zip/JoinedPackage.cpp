// A spanned package read as one ordinary package; see JoinedPackage.h.

#include "JoinedPackage.h"
#include "ZipDetail.h"
#include "ZipLayout.h"
#include "ZipSpan.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipdetail {

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
