// The records the package builder writes; see ZipRecords.h.

#include "ZipRecords.h"

namespace zipdetail {

namespace {

constexpr quint32 kMax32 = 0xFFFFFFFFu;
constexpr quint16 kMadeBy = (3 << 8) | 63; // Unix, zip 6.3
constexpr quint16 kExtendedTimestamp = 0x5455;
constexpr quint16 kZip64Field = 0x0001;

void put16(QByteArray& out, quint32 v) {
    const char b[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
    out.append(b, 2);
}
void put32(QByteArray& out, quint32 v) {
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    out.append(b, 4);
}
void put64(QByteArray& out, quint64 v) {
    put32(out, quint32(v));
    put32(out, quint32(v >> 32));
}

constexpr quint16 kWinZipAesField = 0x9901;
constexpr quint16 kAesMethod = 99;

quint16 versionNeeded(const EntryRecord& e, bool zip64) {
    return e.aesVersion ? 51 : zip64 ? 45 : e.deflated ? 20 : 10;
}

quint16 flagsOf(const EntryRecord& e) {
    return (e.utf8 ? 0x0800 : 0) | (e.aesVersion ? 0x0001 : 0);
}

quint16 methodOf(const EntryRecord& e) {
    return e.aesVersion ? kAesMethod : e.deflated ? 8 : 0;
}

quint32 crcOf(const EntryRecord& e) {
    return e.aesVersion == 2 ? 0 : e.crc;
}

int aesFieldLength(const EntryRecord& e) {
    return e.aesVersion ? 11 : 0;
}

void putAesField(QByteArray& out, const EntryRecord& e) {
    if (!e.aesVersion) return;
    put16(out, kWinZipAesField);
    put16(out, 7);
    put16(out, quint32(e.aesVersion));
    out.append("AE", 2);
    out.append(char(3)); // AES-256
    put16(out, e.deflated ? 8 : 0);
}

void putTimestampField(QByteArray& out, qint64 mtime) {
    put16(out, kExtendedTimestamp);
    put16(out, 5);
    out.append(char(1)); // the modification time only
    put32(out, quint32(qint32(mtime)));
}

} // namespace

QByteArray localHeader(const EntryRecord& e, bool zip64) {
    QByteArray out;
    out.reserve(30 + e.name.size() + 29);
    put32(out, 0x04034b50);
    put16(out, versionNeeded(e, zip64));
    put16(out, flagsOf(e));
    put16(out, methodOf(e));
    put16(out, e.dos.time);
    put16(out, e.dos.date);
    put32(out, crcOf(e));
    put32(out, zip64 ? kMax32 : quint32(e.compressedSize));
    put32(out, zip64 ? kMax32 : quint32(e.size));
    put16(out, quint32(e.name.size()));
    put16(out, quint32((zip64 ? 20 : 0) + 9 + aesFieldLength(e)));
    out.append(e.name);
    if (zip64) {
        put16(out, kZip64Field);
        put16(out, 16);
        put64(out, e.size);
        put64(out, e.compressedSize);
    }
    putTimestampField(out, e.mtime);
    putAesField(out, e);
    return out;
}

void appendCentralRecord(QByteArray& out, const EntryRecord& e) {
    // Only the values that do not fit go into the zip64 field, in the order the format gives them.
    const bool bigSize = e.size >= kMax32, bigPacked = e.compressedSize >= kMax32, bigOffset = e.offset >= kMax32;
    const int zip64Length = 8 * (int(bigSize) + int(bigPacked) + int(bigOffset));
    put32(out, 0x02014b50);
    put16(out, kMadeBy);
    put16(out, versionNeeded(e, zip64Length > 0));
    put16(out, flagsOf(e));
    put16(out, methodOf(e));
    put16(out, e.dos.time);
    put16(out, e.dos.date);
    put32(out, crcOf(e));
    put32(out, bigPacked ? kMax32 : quint32(e.compressedSize));
    put32(out, bigSize ? kMax32 : quint32(e.size));
    put16(out, quint32(e.name.size()));
    put16(out, quint32((zip64Length ? 4 + zip64Length : 0) + 9 + aesFieldLength(e)));
    put16(out, 0); // comment
    put16(out, 0); // disk
    put16(out, 0); // internal attributes
    put32(out, e.externalAttributes);
    put32(out, bigOffset ? kMax32 : quint32(e.offset));
    out.append(e.name);
    if (zip64Length) {
        put16(out, kZip64Field);
        put16(out, quint32(zip64Length));
        if (bigSize) put64(out, e.size);
        if (bigPacked) put64(out, e.compressedSize);
        if (bigOffset) put64(out, e.offset);
    }
    putTimestampField(out, e.mtime);
    putAesField(out, e);
}

QByteArray endRecords(quint64 entries, quint64 directoryOffset, quint64 directorySize, const QByteArray& comment) {
    QByteArray out;
    const bool zip64 = entries >= 0xFFFF || directoryOffset >= kMax32 || directorySize >= kMax32;
    if (zip64) {
        const quint64 recordOffset = directoryOffset + directorySize;
        put32(out, 0x06064b50);
        put64(out, 44); // the record's size after this field
        put16(out, kMadeBy);
        put16(out, 45);
        put32(out, 0); // this disk
        put32(out, 0); // the directory's disk
        put64(out, entries);
        put64(out, entries);
        put64(out, directorySize);
        put64(out, directoryOffset);
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, recordOffset);
        put32(out, 1); // disks
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, entries >= 0xFFFF ? 0xFFFF : quint32(entries));
    put16(out, entries >= 0xFFFF ? 0xFFFF : quint32(entries));
    put32(out, directorySize >= kMax32 ? kMax32 : quint32(directorySize));
    put32(out, directoryOffset >= kMax32 ? kMax32 : quint32(directoryOffset));
    put16(out, quint32(comment.size()));
    out.append(comment);
    return out;
}

} // namespace zipdetail
