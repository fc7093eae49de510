#pragma once
// The values the zip layer and its callers share: result codes, settings, progress and what an entry is. The
// parts of the zip layer include this rather than ZipPackage.h, which is the façade over them.

#include <QString>
#include <QStringList>
#include <functional>

constexpr int kZipOk = 0;
constexpr int kZipFailed = 1;
constexpr int kZipCancelled = 8;

/// The smallest volume a package is cut into.
constexpr qint64 kMinVolumeBytes = qint64(64) << 10;

enum class CompressionLevel { None = 0, Fast = 1, Normal = 2, Maximum = 3 };

/// How an ordered file meets an entry of the same stored name.
enum class UpdateCode {
    AddReplace = 0, ///< add, replacing an entry of the same name
    Freshen = 1,    ///< only replace entries already present whose file is newer; add nothing
    Update = 2,     ///< add new files and replace entries whose file is newer
};

struct ExtractOptions {
    bool overwrite = true;      ///< replace existing files (otherwise they are kept and the entry skipped)
    bool skipOlder = false;     ///< keep an existing file that is as new as or newer than the entry
    bool useFolderNames = true; ///< recreate stored folders; otherwise every file goes to the target itself
};

/// What an extraction did, beyond its result code.
struct ExtractReport {
    int extracted = 0;
    int skipped = 0;     ///< kept because of overwrite / skip older
    QStringList failed;  ///< "name: reason" for each entry that could not be extracted
    QStringList refused; ///< "name: reason" for each entry refused as unsafe
};

/// Progress of a running compress, extract or test: counts so far and in all. Only reported: the caller's
/// CancelToken, not the callback, stops the run.
struct ZipProgress {
    qint64 filesDone = 0;
    qint64 filesTotal = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
};
using ZipProgressCallback = std::function<void(const ZipProgress&)>;

/// One entry as read from the central directory at open time.
struct ZipEntry {
    /// The full stored name, UTF-8 decoded (CP437 when the UTF-8 flag is absent). Made from the folder path and
    /// the name rather than kept, since a package may list 100,000 entries.
    QString storedName() const { return folderPath + name; }
    QString name;       ///< without folder; empty for folder entries
    QString folderPath; ///< folder part ending in "/", "" at the top
    QString extension;  ///< text after the last "." of name, "" when none
    qint64 size = 0;
    qint64 compressedSize = 0;
    quint16 dosDate = 0; ///< MS-DOS packed date (local time)
    quint16 dosTime = 0; ///< MS-DOS packed time
    quint32 crc = 0;
    bool encrypted = false;
    bool isSymLink = false;
    bool isFolder = false; ///< a folder entry (stored name ends in "/")
    qint64 modified = 0;   ///< the entry's time as seconds since the epoch (what extraction gives the file)
    quint32 unixMode = 0;  ///< permission bits when the entry was stored on a Unix system, else 0
};
