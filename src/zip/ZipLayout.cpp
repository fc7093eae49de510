// Reading and writing central directory and end records by hand (see ZipLayout.h for why).

#include "ZipLayout.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipdetail {

namespace {

constexpr quint16 kZip64ExtraId = 0x0001;
constexpr quint16 kVersionZip64 = 45;

bool needsZip64(const EndRecords& end) {
    return end.thisDisk >= 0xFFFF || end.directoryDisk >= 0xFFFF || end.entriesOnDisk >= 0xFFFF ||
           end.entries >= 0xFFFF || end.directorySize >= 0xFFFFFFFFu || end.directoryOffset >= 0xFFFFFFFFu;
}

} // namespace

quint16 le16(const char* p) {
    return quint16(quint8(p[0]) | (quint16(quint8(p[1])) << 8));
}
quint32 le32(const char* p) {
    return quint32(le16(p)) | (quint32(le16(p + 2)) << 16);
}
quint64 le64(const char* p) {
    return quint64(le32(p)) | (quint64(le32(p + 4)) << 32);
}
void putLe16(QByteArray& out, quint16 v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}
void putLe32(QByteArray& out, quint32 v) {
    putLe16(out, quint16(v & 0xFFFF));
    putLe16(out, quint16(v >> 16));
}
void putLe64(QByteArray& out, quint64 v) {
    putLe32(out, quint32(v & 0xFFFFFFFFu));
    putLe32(out, quint32(v >> 32));
}

bool readEndRecords(const DiskReader& read, qint64 lastSize, EndRecords* end, QString* error) {
    const qint64 tailLength = std::min<qint64>(lastSize, kEndRecordSize + kMaxCommentSize);
    if (tailLength < kEndRecordSize) {
        *error = QStringLiteral("there is no end-of-directory record");
        return false;
    }
    // The disk number of the last file is only known from the record itself, so read it as "the last disk": the
    // reader treats quint32(-1) as the file it was opened on.
    const QByteArray tail = read(quint32(-1), quint64(lastSize - tailLength), tailLength);
    if (tail.size() != tailLength) {
        *error = QStringLiteral("the package cannot be read");
        return false;
    }
    // Scan backwards; prefer a record whose comment reaches exactly to the end of the file, but accept the last
    // signature otherwise (some writers pad packages).
    qsizetype found = -1;
    for (qsizetype pos = tail.size() - kEndRecordSize; pos >= 0; --pos) {
        const char* p = tail.constData() + pos;
        if (le32(p) != kEndSignature) continue;
        if (found < 0) found = pos;
        if (pos + kEndRecordSize + le16(p + 20) == tail.size()) {
            found = pos;
            break;
        }
    }
    if (found < 0) {
        *error = QStringLiteral("there is no end-of-directory record");
        return false;
    }
    const char* p = tail.constData() + found;
    EndRecords e;
    e.endOffset = lastSize - tailLength + found;
    e.thisDisk = le16(p + 4);
    e.directoryDisk = le16(p + 6);
    e.entriesOnDisk = le16(p + 8);
    e.entries = le16(p + 10);
    e.directorySize = le32(p + 12);
    e.directoryOffset = le32(p + 16);
    e.comment = tail.mid(found + kEndRecordSize, std::min<qsizetype>(le16(p + 20), tail.size() - found - 22));

    // A zip64 locator right before the end record points at the zip64 end record, whose values win.
    if (e.endOffset >= kZip64LocatorSize) {
        const QByteArray locator = read(quint32(-1), quint64(e.endOffset - kZip64LocatorSize), kZip64LocatorSize);
        if (locator.size() == kZip64LocatorSize && le32(locator.constData()) == kZip64LocatorSignature) {
            const quint32 recordDisk = le32(locator.constData() + 4);
            const quint64 recordOffset = le64(locator.constData() + 8);
            const quint32 disks = le32(locator.constData() + 16);
            const bool onLast = disks == 0 || recordDisk + 1 == disks;
            const QByteArray record = read(onLast ? quint32(-1) : recordDisk, recordOffset, kZip64EndRecordSize);
            if (record.size() != kZip64EndRecordSize || le32(record.constData()) != kZip64EndSignature) {
                *error = QStringLiteral("the zip64 end-of-directory record is missing or damaged");
                return false;
            }
            const char* r = record.constData();
            e.zip64 = true;
            e.thisDisk = le32(r + 16);
            e.directoryDisk = le32(r + 20);
            e.entriesOnDisk = le64(r + 24);
            e.entries = le64(r + 32);
            e.directorySize = le64(r + 40);
            e.directoryOffset = le64(r + 48);
            if (disks > 0 && e.thisDisk + 1 != disks) e.thisDisk = disks - 1;
        }
    }
    if (e.directoryDisk > e.thisDisk) {
        *error = QStringLiteral("the end-of-directory record names a disk after the last one");
        return false;
    }
    *end = e;
    return true;
}

bool parseCentralDirectory(const QByteArray& directory, quint64 expectedEntries, std::vector<CentralRecord>* records,
                           QString* error) {
    records->clear();
    // The announced count is a claim; no more records can fit than the directory bytes hold.
    records->reserve(size_t(std::min<quint64>(expectedEntries, quint64(directory.size() / kCentralHeaderSize))));
    qsizetype pos = 0;
    while (pos < directory.size()) {
        if (directory.size() - pos < kCentralHeaderSize ||
            le32(directory.constData() + pos) != kCentralHeaderSignature) {
            *error = QStringLiteral("the central directory is damaged");
            return false;
        }
        const char* p = directory.constData() + pos;
        const quint16 nameLength = le16(p + 28);
        const quint16 extraLength = le16(p + 30);
        const quint16 commentLength = le16(p + 32);
        const qsizetype length = kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (directory.size() - pos < length) {
            *error = QStringLiteral("the central directory is cut short");
            return false;
        }
        CentralRecord r;
        r.start = pos;
        r.length = length;
        r.compressedSize = le32(p + 20);
        r.size = le32(p + 24);
        r.disk = le16(p + 34);
        r.localOffset = le32(p + 42);
        // The zip64 extra field holds, in this order, exactly the values whose classic fields are saturated.
        const char* extra = p + kCentralHeaderSize + nameLength;
        qsizetype at = 0;
        while (at + 4 <= extraLength) {
            const quint16 id = le16(extra + at);
            const quint16 size = le16(extra + at + 2);
            if (at + 4 + size > extraLength) break;
            if (id == kZip64ExtraId) {
                const char* v = extra + at + 4;
                int left = size;
                const auto take64 = [&](quint64& field) {
                    if (left < 8) return;
                    field = le64(v);
                    v += 8;
                    left -= 8;
                };
                if (r.size == 0xFFFFFFFFu) take64(r.size);
                if (r.compressedSize == 0xFFFFFFFFu) take64(r.compressedSize);
                if (r.localOffset == 0xFFFFFFFFu) take64(r.localOffset);
                if (r.disk == 0xFFFF && left >= 4) r.disk = le32(v);
            }
            at += 4 + size;
        }
        records->push_back(r);
        pos += length;
    }
    if (quint64(records->size()) != expectedEntries && (expectedEntries & 0xFFFF) != (records->size() & 0xFFFF)) {
        *error = QStringLiteral("the central directory holds %1 records where %2 were announced")
                     .arg(records->size())
                     .arg(expectedEntries);
        return false;
    }
    return true;
}

bool directoryLiesInside(const DiskReader& read, qint64 size) {
    EndRecords end;
    QString error;
    if (!readEndRecords(read, size, &end, &error) || end.spanned() || end.endOffset < 0 ||
        end.directoryOffset > quint64(end.endOffset) ||
        end.directorySize > quint64(end.endOffset) - end.directoryOffset)
        return false;
    const QByteArray directory = read(0, end.directoryOffset, qint64(end.directorySize));
    std::vector<CentralRecord> records;
    return quint64(directory.size()) == end.directorySize &&
           parseCentralDirectory(directory, end.entries, &records, &error) && records.size() == end.entries;
}

bool directoryLiesInside(const QString& path) {
    const int fd = ::open(NativePath::encode(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    const bool whole = ::fstat(fd, &st) == 0 &&
                       directoryLiesInside(
                           [fd](quint32 disk, quint64 offset, qint64 length) {
                               if (disk != 0 && disk != quint32(-1)) return QByteArray();
                               QByteArray bytes(length, Qt::Uninitialized);
                               const qint64 got = FileOps::readFullyAt(fd, bytes.data(), length, qint64(offset));
                               bytes.truncate(std::max<qint64>(got, 0));
                               return bytes;
                           },
                           qint64(st.st_size));
    ::close(fd);
    return whole;
}

QString overlappingEntries(const DiskReader& read, qint64 size) {
    EndRecords end;
    QString error;
    // What cannot be read is judged by the reader that follows; only a readable directory is checked here.
    if (!readEndRecords(read, size, &end, &error) || end.spanned() || end.directorySize > quint64(size)) return {};
    const QByteArray directory = read(0, end.directoryOffset, qint64(end.directorySize));
    std::vector<CentralRecord> records;
    if (quint64(directory.size()) != end.directorySize ||
        !parseCentralDirectory(directory, end.entries, &records, &error))
        return {};
    // Each entry takes at least its local header, its name and its compressed data, and no two entries may share a
    // byte: a package whose entries point into each other's data expands one stored stream many times over.
    struct Span {
        quint64 start, end;
        qsizetype record;
    };
    std::vector<Span> spans;
    spans.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const CentralRecord& r = records[i];
        const quint64 nameLength = le16(directory.constData() + r.start + 28);
        const quint64 fixed = quint64(kLocalHeaderSize) + nameLength;
        const quint64 length = r.compressedSize > ~quint64(0) - fixed ? ~quint64(0) : fixed + r.compressedSize;
        spans.push_back(
            {r.localOffset, r.localOffset > ~quint64(0) - length ? ~quint64(0) : r.localOffset + length, r.start});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    const auto nameOf = [&](qsizetype record) {
        const char* p = directory.constData() + record;
        return NativePath::display(NativePath::decode(QByteArrayView(p + kCentralHeaderSize, le16(p + 28))));
    };
    for (size_t i = 0; i + 1 < spans.size(); ++i)
        if (spans[i].end > spans[i + 1].start)
            return QStringLiteral("the entries %1 and %2 share their data")
                .arg(nameOf(spans[i].record), nameOf(spans[i + 1].record));
    return {};
}

QByteArray relocatedRecord(const QByteArray& directory, const CentralRecord& record, quint32 disk, quint64 offset) {
    const char* p = directory.constData() + record.start;
    const quint16 nameLength = le16(p + 28);
    const quint16 extraLength = le16(p + 30);
    const quint16 commentLength = le16(p + 32);

    // Keep every extra field but the zip64 one, which is rebuilt for the new values.
    QByteArray extra;
    const char* oldExtra = p + kCentralHeaderSize + nameLength;
    qsizetype at = 0;
    while (at + 4 <= extraLength) {
        const quint16 id = le16(oldExtra + at);
        const quint16 size = le16(oldExtra + at + 2);
        if (at + 4 + size > extraLength) break;
        if (id != kZip64ExtraId) extra.append(oldExtra + at, 4 + size);
        at += 4 + size;
    }
    QByteArray zip64;
    const bool bigSize = record.size >= 0xFFFFFFFFu;
    const bool bigCompressed = record.compressedSize >= 0xFFFFFFFFu;
    const bool bigOffset = offset >= 0xFFFFFFFFu;
    const bool bigDisk = disk >= 0xFFFF;
    if (bigSize) putLe64(zip64, record.size);
    if (bigCompressed) putLe64(zip64, record.compressedSize);
    if (bigOffset) putLe64(zip64, offset);
    if (bigDisk) putLe32(zip64, disk);
    if (!zip64.isEmpty()) {
        QByteArray field;
        putLe16(field, kZip64ExtraId);
        putLe16(field, quint16(zip64.size()));
        extra.prepend(field + zip64);
    }

    QByteArray out;
    out.reserve(kCentralHeaderSize + nameLength + extra.size() + commentLength);
    out.append(p, kCentralHeaderSize);
    char* f = out.data();
    const auto set16 = [&](int at16, quint16 v) {
        f[at16] = char(v & 0xFF);
        f[at16 + 1] = char(v >> 8);
    };
    const auto set32 = [&](int at32, quint32 v) {
        set16(at32, quint16(v & 0xFFFF));
        set16(at32 + 2, quint16(v >> 16));
    };
    if (!zip64.isEmpty() && le16(f + 6) < kVersionZip64) set16(6, kVersionZip64);
    set32(20, bigCompressed ? 0xFFFFFFFFu : quint32(record.compressedSize));
    set32(24, bigSize ? 0xFFFFFFFFu : quint32(record.size));
    set16(30, quint16(extra.size()));
    set16(34, bigDisk ? 0xFFFF : quint16(disk));
    set32(42, bigOffset ? 0xFFFFFFFFu : quint32(offset));
    out.append(p + kCentralHeaderSize, nameLength);
    out.append(extra);
    out.append(p + kCentralHeaderSize + nameLength + extraLength, commentLength);
    return out;
}

qint64 endRecordsSize(const EndRecords& end) {
    return (needsZip64(end) ? kZip64EndRecordSize + kZip64LocatorSize : 0) + kEndRecordSize +
           std::min<qsizetype>(end.comment.size(), kMaxCommentSize);
}

QByteArray endRecordsBytes(const EndRecords& end, quint64 positionOnDisk) {
    QByteArray out;
    const bool zip64 = needsZip64(end);
    if (zip64) {
        putLe32(out, kZip64EndSignature);
        putLe64(out, kZip64EndRecordSize - 12);          // size of the rest of the record
        putLe16(out, quint16((3 << 8) | kVersionZip64)); // made by: Unix
        putLe16(out, kVersionZip64);
        putLe32(out, end.thisDisk);
        putLe32(out, end.directoryDisk);
        putLe64(out, end.entriesOnDisk);
        putLe64(out, end.entries);
        putLe64(out, end.directorySize);
        putLe64(out, end.directoryOffset);
        putLe32(out, kZip64LocatorSignature);
        putLe32(out, end.thisDisk); // the zip64 end record sits on the last disk, just before the locator
        putLe64(out, positionOnDisk);
        putLe32(out, end.thisDisk + 1);
    }
    const auto cap16 = [&](quint64 v) { return zip64 && v >= 0xFFFF ? quint16(0xFFFF) : quint16(v); };
    const auto cap32 = [&](quint64 v) { return zip64 && v >= 0xFFFFFFFFu ? 0xFFFFFFFFu : quint32(v); };
    const QByteArray comment = end.comment.left(kMaxCommentSize);
    putLe32(out, kEndSignature);
    putLe16(out, cap16(end.thisDisk));
    putLe16(out, cap16(end.directoryDisk));
    putLe16(out, cap16(end.entriesOnDisk));
    putLe16(out, cap16(end.entries));
    putLe32(out, cap32(end.directorySize));
    putLe32(out, cap32(end.directoryOffset));
    putLe16(out, quint16(comment.size()));
    out.append(comment);
    return out;
}

} // namespace zipdetail
