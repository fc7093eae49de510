#pragma once
// The find job: walks the given roots for zip packages ("*.ZIP", case ignored) and, when asked, keeps only the
// packages holding an entry whose file name matches a pattern. Parameters in, rows out, progress callbacks, and a
// cancel token it only reads; it runs on any thread.
//
// Each root is walked without following links and without crossing into another mounted file system (each fixed
// drive is listed on its own, and "/" must not walk /proc). Only the folder entries' types are read while walking;
// just the packages themselves are looked at more closely, and inside them only the central directory is read.

#include "PackageIndex.h"
#include "utility/CancelToken.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

struct FindParams {
    QStringList roots;         ///< folders to walk, in order; at most PackageFinder::kMaxDrives are walked
    bool searchInside = false; ///< keep only packages with an entry matching entryPattern
    QString entryPattern;      ///< matched against each stored name's part after its last "/"
};

struct FindResult {
    QVector<PackageRow> rows; ///< in the order found; the caller sorts
    bool cancelled = false;   ///< the token was raised: rows holds what was found until then
    qint64 filesScanned = 0;  ///< the progress counter: 500 for every 500 files of a drive
};

struct FindProgress {
    /// After every 500 files of a drive, with the counter running on across drives.
    std::function<void(const QString& root, qint64 filesScanned)> scanned;
    /// While a drive's packages are checked, after every 10 of them: the share done, 0 to 100.
    std::function<void(int percent)> processed;
};

class PackageFinder {
  public:
    static constexpr int kProgressStep = 500;
    static constexpr int kPercentStep = 10;
    /// Drives after the 30th are not walked.
    static constexpr int kMaxDrives = 30;

    explicit PackageFinder(FindParams params) : m_params(std::move(params)) {}
    FindResult run(const CancelToken& cancel, const FindProgress& progress = {}) const;

  private:
    FindParams m_params;
};

namespace PackageMatch {
/// True when a file name ends in ".zip" in any case (what "*.ZIP" matches).
bool isPackageName(const char* name, size_t length);
/// Whether the package holds an entry (among its first 10,000) whose name after the last "/" matches pattern
/// (wildcardMatch, case ignored); nothing when its directory cannot be read.
std::optional<bool> holdsMatchingEntry(const QString& packagePath, const QString& pattern);
} // namespace PackageMatch
