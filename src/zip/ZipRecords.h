#pragma once
// The records of a package as the package builder writes them: local headers and central directory records, each
// with the extended timestamp field that holds the exact modification time, as Info-ZIP writes it on Unix. The end
// records come from ZipLayout (endRecordsBytes).

#include <QByteArray>

namespace zipdetail {

struct DosStamp {
    quint16 date = 0;
    quint16 time = 0;
};

/// What a local header and a central directory record say about one entry.
struct EntryRecord {
    QByteArray name;
    bool utf8 = false; ///< set the UTF-8 flag (the name is UTF-8 and not plain ASCII)
    bool deflated = false;
    DosStamp dos;
    qint64 mtime = 0;
    quint32 crc = 0;
    quint64 size = 0;
    quint64 compressedSize = 0;
    quint64 offset = 0; ///< of the local header
    quint32 externalAttributes = 0;
    /// WinZip AES-256: 1 (AE-1, the CRC kept) or 2 (AE-2, CRC 0); 0 when the entry is not encrypted. deflated then
    /// names the method under the encryption.
    int aesVersion = 0;
};

/// The local header; with zip64 the sizes go into a zip64 field, so that the header can be rewritten in place
/// with sizes of any length once they are known.
QByteArray localHeader(const EntryRecord& entry, bool zip64);
void appendCentralRecord(QByteArray& directory, const EntryRecord& entry);
} // namespace zipdetail
