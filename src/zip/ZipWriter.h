#pragma once
// Writing packages: the work behind zCompressFiles and zDeleteFiles. Everything new is written into a work file
// beside the real package (libzip writes its own temporary file beside that and renames it only when zip_close
// succeeds), and the work file takes the package's place only when everything succeeded. On any failure or
// cancel the package on disk stays as it was. Compressing happens on worker threads ahead of libzip (ZipPack.h).
// Packages are always written as one ordinary file; cutting one into volumes is splitIntoVolumes' work.

#include "ZipDetail.h"
#include "ZipTypes.h"
#include "utility/CancelToken.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <vector>
#include <zip.h>

namespace zipdetail {

/// A file queued for the next compress.
struct WriteOrder {
    QString filePath;
    QString storedName;
    UpdateCode code = UpdateCode::AddReplace;
};

struct CompressRequest {
    QString target;                                 ///< the package to write (absolute)
    bool creating = false;                          ///< start from an empty package instead of the one at target
    const std::vector<ZipEntry>* entries = nullptr; ///< the entries of the package at target (when updating)
    QString oldComment;                             ///< its comment
    const std::vector<WriteOrder>* orders = nullptr;
    QByteArray password; ///< AES-256 for the new entries when not empty
    CompressionLevel level = CompressionLevel::Normal;
    QString comment; ///< the new package comment; empty keeps the old one
    ZipProgressCallback progress;
    const CancelToken* cancel = nullptr; ///< the caller's token, only read; libzip's cancel callback reads it too
};

struct WriteOutcome {
    int result = kZipOk;
    QString message;         ///< the text for zGetLastErrorAsText when result is not kZipOk
    qint64 written = 0;      ///< entries added or replaced
    bool changed = false;    ///< the package on disk was replaced (false when nothing was newer)
    bool ordersUsed = false; ///< the orders were all dealt with (written, or nothing was newer)
};

/// Adds the ordered files to the package at request.target, or writes a new one there.
WriteOutcome compressFiles(const CompressRequest& request);

/// Writes the package at path without the entries whose flag in selected is set. zip is the package's
/// read-only handle, for its comment when every entry goes.
WriteOutcome deleteEntries(const QString& path, zip_t* zip, const std::vector<ZipEntry>& entries,
                           const std::vector<char>& selected);

} // namespace zipdetail
