#include "ZipDirectory.h"

#include "ZipDetail.h"
#include "ZipLayout.h"

#include <cstring>
#include <ctime>
#include <limits>
#include <memory>

namespace zipdetail {

namespace {

// libzip reads this much of the end of a file when it looks for the end record: the longest comment, the record
// and the zip64 locator before it.
constexpr qint64 kTailSize = 65535 + kEndRecordSize + kZip64LocatorSize;

constexpr quint16 kExtraTimestamp = 0x5455;
constexpr quint16 kExtraUnicodeName = 0x7075;
constexpr quint16 kExtraUnicodeComment = 0x6375;
constexpr quint16 kExtraWinZipAes = 0x9901;
constexpr quint16 kMethodWinZipAes = 99;
constexpr quint16 kFlagEncrypted = 0x0001;
constexpr quint16 kFlagEncryptedDirectory = 0x2000;
constexpr quint32 kMax32 = 0xFFFFFFFFu;
constexpr quint16 kMax16 = 0xFFFF;

// Text that libzip and Qt read alike: printable ASCII (tabs and line ends too when allowControls), or well-formed
// UTF-8 without overlong forms or surrogates. libzip takes other text for CP437 and converts it.
bool isPlainText(const uchar* p, qsizetype n, bool allowControls, bool* ascii) {
    *ascii = true;
    for (qsizetype i = 0; i < n;) {
        const uchar c = p[i];
        if (c < 0x80) {
            if (c < 0x20 && !(allowControls && (c == '\t' || c == '\r' || c == '\n'))) return false;
            ++i;
            continue;
        }
        *ascii = false;
        int more = 0;
        uchar low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + more >= n) return false;
        if (p[i + 1] < low || p[i + 1] > high) return false;
        for (int k = 2; k <= more; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
        i += more + 1;
    }
    return true;
}

} // namespace

std::time_t libzipEntryTime(quint16 dosDate, quint16 dosTime) {
    struct tm tm = {};
    tm.tm_isdst = -1;
    tm.tm_year = ((dosDate >> 9) & 127) + 1980 - 1900;
    tm.tm_mon = ((dosDate >> 5) & 15) - 1;
    tm.tm_mday = dosDate & 31;
    tm.tm_hour = (dosTime >> 11) & 31;
    tm.tm_min = (dosTime >> 5) & 63;
    tm.tm_sec = (dosTime << 1) & 62;
    return mktime(&tm);
}

bool readPlainDirectory(int fd, qint64 fileSize, const std::function<void(const DirectoryRecord&)>& each,
                        QString* comment) {
    if (fileSize < kEndRecordSize) return false;
    const qint64 tailSize = std::min(fileSize, kTailSize);
    const qint64 tailStart = fileSize - tailSize;
    QByteArray tail(tailSize, Qt::Uninitialized);
    if (FileOps::readFullyAt(fd, tail.data(), tailSize, tailStart) != tailSize) return false;

    // Exactly one end record, and its comment reaches the end of the file: with more candidates libzip weighs
    // them against each other, and that is left to libzip.
    static const char kEndMagic[4] = {'P', 'K', 5, 6};
    const QByteArrayView magic(kEndMagic, 4);
    const qsizetype found = tail.lastIndexOf(magic);
    if (found < 0 || tail.indexOf(magic) != found) return false;
    if (found + kEndRecordSize > tailSize) return false;
    const char* end = tail.constData() + found;
    const quint16 commentLength = le16(end + 20);
    if (found + kEndRecordSize + commentLength != tailSize) return false;
    const quint16 thisDisk = le16(end + 4), directoryDisk = le16(end + 6);
    quint64 entriesOnDisk = le16(end + 8), entries = le16(end + 10);
    quint64 directorySize = le32(end + 12), directoryOffset = le32(end + 16);
    const qint64 endOffset = tailStart + found;
    qint64 directoryEnd = endOffset;

    if (found >= kZip64LocatorSize && le32(end - kZip64LocatorSize) == kZip64LocatorSignature) {
        const char* locator = end - kZip64LocatorSize;
        const quint64 end64Offset = le64(locator + 8);
        if (le32(locator + 4) != 0 || le32(locator + 16) != 1) return false;
        if (end64Offset > quint64(endOffset) ||
            quint64(endOffset) - end64Offset != quint64(kZip64EndRecordSize + kZip64LocatorSize))
            return false;
        char record[kZip64EndRecordSize];
        if (FileOps::readFullyAt(fd, record, kZip64EndRecordSize, qint64(end64Offset)) != kZip64EndRecordSize)
            return false;
        if (le32(record) != kZip64EndSignature || le64(record + 4) != quint64(kZip64EndRecordSize - 12)) return false;
        if (le32(record + 16) != 0 || le32(record + 20) != 0) return false;
        const quint64 onDisk64 = le64(record + 24), entries64 = le64(record + 32);
        const quint64 size64 = le64(record + 40), offset64 = le64(record + 48);
        // The classic record either says "see the zip64 record" or agrees with it.
        if ((thisDisk != 0 && thisDisk != kMax16) || (directoryDisk != 0 && directoryDisk != kMax16)) return false;
        if ((entriesOnDisk != kMax16 && entriesOnDisk != onDisk64) || (entries != kMax16 && entries != entries64))
            return false;
        if ((directorySize != kMax32 && directorySize != size64) ||
            (directoryOffset != kMax32 && directoryOffset != offset64))
            return false;
        entriesOnDisk = onDisk64;
        entries = entries64;
        directorySize = size64;
        directoryOffset = offset64;
        directoryEnd = qint64(end64Offset);
    } else if (thisDisk != 0 || directoryDisk != 0) {
        return false;
    }
    if (entriesOnDisk != entries) return false;
    if (directoryOffset > quint64(directoryEnd) || quint64(directoryEnd) - directoryOffset != directorySize)
        return false;
    // Every record takes at least its fixed part, so a count beyond that is a lie (and no reason to reserve).
    if (entries > directorySize / kCentralHeaderSize) return false;

    bool asciiComment = true;
    const uchar* commentBytes = reinterpret_cast<const uchar*>(end + kEndRecordSize);
    if (!isPlainText(commentBytes, commentLength, true, &asciiComment)) return false;

    const qint64 size = qint64(directorySize);
    std::unique_ptr<char[]> directory(new char[size_t(std::max<qint64>(size, 1))]);
    if (FileOps::readFullyAt(fd, directory.get(), size, qint64(directoryOffset)) != size) return false;

    DirectoryRecord record;
    qint64 at = 0;
    for (quint64 i = 0; i < entries; ++i) {
        if (size - at < kCentralHeaderSize) return false;
        const char* p = directory.get() + at;
        if (le32(p) != kCentralHeaderSignature) return false;
        const quint16 madeBy = le16(p + 4);
        const quint16 flags = le16(p + 8);
        const quint16 method = le16(p + 10);
        const quint32 compressed = le32(p + 20), plain = le32(p + 24);
        const quint16 nameLength = le16(p + 28), extraLength = le16(p + 30), entryCommentLength = le16(p + 32);
        const quint16 disk = le16(p + 34);
        const quint32 localOffset = le32(p + 42);
        const qint64 length = qint64(kCentralHeaderSize) + nameLength + extraLength + entryCommentLength;
        if (size - at < length) return false;
        // An entry whose sizes or offset live in a zip64 field, or that starts on another disk, is left to libzip.
        if (compressed == kMax32 || plain == kMax32 || localOffset == kMax32 || disk != 0) return false;
        if (flags & kFlagEncryptedDirectory) return false;
        const uchar* name = reinterpret_cast<const uchar*>(p + kCentralHeaderSize);
        if (nameLength == 0 || !isPlainText(name, nameLength, false, &record.asciiName)) return false;
        const uchar* comment = name + nameLength + extraLength;
        bool asciiEntryComment = true;
        if (!isPlainText(comment, entryCommentLength, true, &asciiEntryComment)) return false;

        record.exactMtime.reset();
        bool timestampSeen = false;
        const char* aes = nullptr;
        const char* extra = p + kCentralHeaderSize + nameLength;
        for (qint64 e = 0; e < extraLength;) {
            if (extraLength - e < 4) return false;
            const quint16 id = le16(extra + e), fieldLength = le16(extra + e + 2);
            if (extraLength - e - 4 < fieldLength) return false;
            const char* data = extra + e + 4;
            if (id == kExtraUnicodeName || id == kExtraUnicodeComment) return false;
            if (id == kExtraTimestamp && !timestampSeen) {
                // Only the first such field counts, as with zip_file_extra_field_get_by_id.
                timestampSeen = true;
                if (fieldLength >= 5 && (uchar(data[0]) & 1)) record.exactMtime = qint64(qint32(le32(data + 1)));
            }
            if (id == kExtraWinZipAes && !aes) {
                if (fieldLength != 7) return false;
                aes = data;
            }
            e += 4 + fieldLength;
        }
        bool encrypted = (flags & kFlagEncrypted) != 0;
        if (method == kMethodWinZipAes) {
            const quint16 version = aes ? le16(aes) : 0;
            if (!aes || (version != 1 && version != 2) || aes[2] != 'A' || aes[3] != 'E' || aes[4] < 1 || aes[4] > 3)
                return false;
            encrypted = true;
        }

        record.name = QByteArrayView(p + kCentralHeaderSize, nameLength);
        record.size = plain;
        record.compressedSize = compressed;
        record.dosTime = le16(p + 12);
        record.dosDate = le16(p + 14);
        record.crc = le32(p + 16);
        record.encrypted = encrypted;
        record.madeOnUnix = (madeBy >> 8) == 3;
        record.attributes = le32(p + 38);
        each(record);
        at += length;
    }
    if (at != size) return false;
    *comment = asciiComment ? QString::fromLatin1(reinterpret_cast<const char*>(commentBytes), commentLength)
                            : QString::fromUtf8(reinterpret_cast<const char*>(commentBytes), commentLength);
    return true;
}

} // namespace zipdetail
