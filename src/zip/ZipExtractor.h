#pragma once
// Extracting and testing entries: the work behind zExtractOne, zExtractAll and zTestAll.

#include "ArchiveReader.h"
#include "ZipDetail.h"
#include "ZipTypes.h"
#include "utility/CancelToken.h"

#include <QByteArray>
#include <atomic>
#include <functional>
#include <vector>
#include <zip.h>

namespace zipdetail {

struct ExtractRequest {
    QString packagePath; ///< to open a second read-only handle for a second worker
    /// Opens that second handle when the package is not a plain file (a spanned package); else zip_open is used.
    std::function<zip_t*()> openAnother;
    zip_t* zip = nullptr;        ///< the package's read-only handle, used on the calling thread; null when libarchive
                                 ///< reads the whole package (libzip refused it)
    ArchiveSource archiveSource; ///< the package for libarchive, which reads what libzip cannot
    const std::vector<ZipEntry>* entries = nullptr;
    std::vector<qint64> indices; ///< the entries to process, in package order
    QString targetFolder;        ///< unused when testOnly
    QByteArray password;
    ExtractOptions options;
    bool testOnly = false;
    bool allowSecondWorker = true;
    ZipProgressCallback progress;        ///< called on the calling thread only
    const CancelToken* cancel = nullptr; ///< the caller's token, only read
};

struct ExtractOutcome {
    int result = kZipOk;
    QString message; ///< the text for zGetLastErrorAsText when result is not kZipOk
    ExtractReport report;
    QStringList failures; ///< "name: reason" for each entry that could not be read (testing)
};

/// Extracts (or, with testOnly, reads back and checks) the requested entries.
ExtractOutcome runExtraction(const ExtractRequest& request);

} // namespace zipdetail
