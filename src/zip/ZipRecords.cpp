// The records the package builder writes; see ZipRecords.h.

#include "ZipRecords.h"
#include "ZipLayout.h"

namespace zipdetail {

namespace {

constexpr quint32 kMax32 = 0xFFFFFFFFu;
constexpr quint16 kMadeBy = (3 << 8) | 63; // Unix, zip 6.3
constexpr quint16 kExtendedTimestamp = 0x5455;
constexpr quint16 kZip64Field = 0x0001;

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
    putLe16(out, quint16(kWinZipAesField));
    putLe16(out, quint16(7));
    putLe16(out, quint16(quint32(e.aesVersion)));
    out.append("AE", 2);
    out.append(char(3)); // AES-256
    putLe16(out, quint16(e.deflated ? 8 : 0));
}

void putTimestampField(QByteArray& out, qint64 mtime) {
    putLe16(out, quint16(kExtendedTimestamp));
    putLe16(out, quint16(5));
    out.append(char(1)); // the modification time only
    putLe32(out, quint32(qint32(mtime)));
}

} // namespace

QByteArray localHeader(const EntryRecord& e, bool zip64) {
    QByteArray out;
    out.reserve(30 + e.name.size() + 29);
    putLe32(out, kLocalHeaderSignature);
    putLe16(out, quint16(versionNeeded(e, zip64)));
    putLe16(out, quint16(flagsOf(e)));
    putLe16(out, quint16(methodOf(e)));
    putLe16(out, quint16(e.dos.time));
    putLe16(out, quint16(e.dos.date));
    putLe32(out, crcOf(e));
    putLe32(out, zip64 ? kMax32 : quint32(e.compressedSize));
    putLe32(out, zip64 ? kMax32 : quint32(e.size));
    putLe16(out, quint16(quint32(e.name.size())));
    putLe16(out, quint16(quint32((zip64 ? 20 : 0) + 9 + aesFieldLength(e))));
    out.append(e.name);
    if (zip64) {
        putLe16(out, quint16(kZip64Field));
        putLe16(out, quint16(16));
        putLe64(out, e.size);
        putLe64(out, e.compressedSize);
    }
    putTimestampField(out, e.mtime);
    putAesField(out, e);
    return out;
}

void appendCentralRecord(QByteArray& out, const EntryRecord& e) {
    // Only the values that do not fit go into the zip64 field, in the order the format gives them.
    const bool bigSize = e.size >= kMax32, bigPacked = e.compressedSize >= kMax32, bigOffset = e.offset >= kMax32;
    const int zip64Length = 8 * (int(bigSize) + int(bigPacked) + int(bigOffset));
    putLe32(out, kCentralHeaderSignature);
    putLe16(out, quint16(kMadeBy));
    putLe16(out, quint16(versionNeeded(e, zip64Length > 0)));
    putLe16(out, quint16(flagsOf(e)));
    putLe16(out, quint16(methodOf(e)));
    putLe16(out, quint16(e.dos.time));
    putLe16(out, quint16(e.dos.date));
    putLe32(out, crcOf(e));
    putLe32(out, bigPacked ? kMax32 : quint32(e.compressedSize));
    putLe32(out, bigSize ? kMax32 : quint32(e.size));
    putLe16(out, quint16(quint32(e.name.size())));
    putLe16(out, quint16(quint32((zip64Length ? 4 + zip64Length : 0) + 9 + aesFieldLength(e))));
    putLe16(out, quint16(0)); // comment
    putLe16(out, quint16(0)); // disk
    putLe16(out, quint16(0)); // internal attributes
    putLe32(out, e.externalAttributes);
    putLe32(out, bigOffset ? kMax32 : quint32(e.offset));
    out.append(e.name);
    if (zip64Length) {
        putLe16(out, quint16(kZip64Field));
        putLe16(out, quint16(quint32(zip64Length)));
        if (bigSize) putLe64(out, e.size);
        if (bigPacked) putLe64(out, e.compressedSize);
        if (bigOffset) putLe64(out, e.offset);
    }
    putTimestampField(out, e.mtime);
    putAesField(out, e);
}

} // namespace zipdetail
