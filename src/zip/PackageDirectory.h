#pragma once
// The entry names of a package, for callers that need nothing else of it (the find's look inside packages).

#include "utility/Result.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

/// The stored entry names of a zip package, read from its central directory.
struct PackageDirectory {
    QStringList names;      ///< at most maxNames, in stored order
    bool tableFull = false; ///< the package holds more names than the table takes
};

constexpr int kPackageDirectoryMax = 10000;

/// The entry names of the package at packagePath. A plain package's directory is read straight from the file
/// (ZipDirectory.h); anything unusual goes through libzip, which reads no more than the directory either.
Result<PackageDirectory> zipEntryNames(const QString& packagePath, int maxNames = kPackageDirectoryMax);

/// Whether a plain package holds a name that matches, read straight from its central directory and stopping at the
/// first match (names are the stored bytes, at most maxNames of them); nothing when the package is not plain, and
/// the caller then asks zipEntryNames. The find looks inside every package this way, so no name becomes a string.
std::optional<bool> plainEntryNameFound(const QString& packagePath, int maxNames,
                                        const std::function<bool(QByteArrayView name)>& matches);
