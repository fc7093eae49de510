#pragma once
// A reader of the central directory of a plain single-file package, for opening a package only to list it. libzip
// builds a full directory entry, extra-field list and name hash for every entry as it opens a package, which for
// 100,000 entries costs far more than listing them. This reader takes the facts a listing needs straight from the
// records. It accepts only what it fully understands and what libzip reads the same way: anything unusual (more
// than one possible end record, zip64 entries, extra fields it does not parse cleanly, Info-ZIP Unicode names,
// names that are not plain UTF-8, ...) makes it answer false, and the package is then opened through libzip.

#include <QByteArrayView>
#include <QString>
#include <ctime>
#include <functional>
#include <optional>

namespace zipdetail {

/// One central directory record. name points into the directory bytes and is valid only during the call.
struct DirectoryRecord {
    QByteArrayView name; ///< the stored name: printable ASCII or valid UTF-8, no control characters
    bool asciiName = true;
    quint64 size = 0;
    quint64 compressedSize = 0;
    quint16 dosDate = 0;
    quint16 dosTime = 0;
    quint32 crc = 0;
    bool encrypted = false;
    bool madeOnUnix = false;
    quint32 attributes = 0;           ///< external attributes
    std::optional<qint64> exactMtime; ///< from the extended timestamp field (0x5455), when present
};

/// Reads the central directory of the regular file open at fd (fileSize bytes), calling each for every record in
/// order. Returns false, having perhaps called each for some records, when the package is not plain in the sense
/// above (or cannot be read); the caller then drops what it got and opens the package through libzip.
bool readPlainDirectory(int fd, qint64 fileSize, const std::function<void(const DirectoryRecord&)>& each,
                        QString* comment);

/// The time libzip gives an entry whose DOS fields are these (mktime of the fields as they are).
std::time_t libzipEntryTime(quint16 dosDate, quint16 dosTime);

} // namespace zipdetail
