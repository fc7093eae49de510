#pragma once
// The raw layout of a zip package: its end records and central directory, read and written by hand. libzip reads
// and writes single-file packages only, so cutting a package into volumes and reading one that was cut both work
// on these records directly.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace zipdetail {

constexpr quint32 kLocalHeaderSignature = 0x04034b50;
constexpr quint32 kCentralHeaderSignature = 0x02014b50;
constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kZip64EndSignature = 0x06064b50;
constexpr quint32 kZip64LocatorSignature = 0x07064b50;
/// The first four bytes of the first volume of a split package.
constexpr quint32 kSplitSignature = 0x08074b50;
/// Written by some tools when a package that was meant to be split ended up in one piece.
constexpr quint32 kSingleSplitSignature = 0x30304b50;

constexpr int kLocalHeaderSize = 30;
constexpr int kCentralHeaderSize = 46;
constexpr int kEndRecordSize = 22;
constexpr int kZip64EndRecordSize = 56;
constexpr int kZip64LocatorSize = 20;
constexpr int kMaxCommentSize = 65535;

quint16 le16(const char* p);
quint32 le32(const char* p);
quint64 le64(const char* p);
void putLe16(QByteArray& out, quint16 v);
void putLe32(QByteArray& out, quint32 v);
void putLe64(QByteArray& out, quint64 v);

/// What the end-of-central-directory records (zip64 ones included) say.
struct EndRecords {
    qint64 endOffset = -1;     ///< where the classic end record starts in the last file
    quint32 thisDisk = 0;      ///< number of the disk holding the end record (0-based)
    quint32 directoryDisk = 0; ///< disk where the central directory starts
    quint64 entriesOnDisk = 0; ///< central directory records on the last disk
    quint64 entries = 0;       ///< all central directory records
    quint64 directorySize = 0;
    quint64 directoryOffset = 0; ///< relative to the start of directoryDisk
    QByteArray comment;
    bool zip64 = false;
    quint32 diskCount() const { return thisDisk + 1; }
    bool spanned() const { return thisDisk != 0 || directoryDisk != 0; }
};

/// Reads `length` bytes at `offset` of disk `disk`; returns fewer (or none) when they are not there.
using DiskReader = std::function<QByteArray(quint32 disk, quint64 offset, qint64 length)>;

/// Finds and reads the end records at the end of the last file (`lastSize` bytes long, disk number taken from the
/// record). Returns false with a reason when there is no end record or it is inconsistent.
bool readEndRecords(const DiskReader& read, qint64 lastSize, EndRecords* end, QString* error);

/// One central directory record with the fields the layout work needs.
struct CentralRecord {
    qsizetype start = 0;  ///< offset of the record in the directory bytes
    qsizetype length = 0; ///< whole record: fixed part, name, extra field and comment
    quint64 size = 0;
    quint64 compressedSize = 0;
    quint64 localOffset = 0; ///< relative to the start of disk
    quint32 disk = 0;
};

/// Splits the central directory bytes into records, resolving zip64 sizes, offsets and disk numbers.
bool parseCentralDirectory(const QByteArray& directory, quint64 expectedEntries, std::vector<CentralRecord>* records,
                           QString* error);

/// Why the package (a single file or joined volumes, read through read, size bytes long) is refused because its
/// entries' data overlap, the mark of a zip bomb that expands one stored stream into many entries; "" when no two
/// entries share a byte (or the directory cannot be read, which the reader then reports).
QString overlappingEntries(const DiskReader& read, qint64 size);
/// True when a single-file package's end records point at a directory that lies before them in the file and holds
/// the records they count: the package is whole, even if some reader refuses a field in it.
bool directoryLiesInside(const DiskReader& read, qint64 size);
/// The same for the file at path.
bool directoryLiesInside(const QString& path);

/// The record rewritten to say that its local header is on `disk` at `offset`, with a zip64 extra field exactly
/// when some value no longer fits the classic fields.
QByteArray relocatedRecord(const QByteArray& directory, const CentralRecord& record, quint32 disk, quint64 offset);

/// The end records for a directory with these facts: zip64 end record and locator when any value needs them, then
/// the classic end record with the comment. `positionOnDisk` is where the bytes will start on the last disk.
QByteArray endRecordsBytes(const EndRecords& end, quint64 positionOnDisk);
/// How many bytes endRecordsBytes gives for these facts.
qint64 endRecordsSize(const EndRecords& end);

} // namespace zipdetail
