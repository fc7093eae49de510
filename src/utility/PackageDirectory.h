#pragma once
#include "Result.h"
#include <QString>
#include <QStringList>

/// The stored entry names of a zip package, read from its central directory.
struct PackageDirectory {
    QStringList names;      ///< at most maxNames, in stored order
    bool tableFull = false; ///< the package holds more names than the table takes
};

constexpr int kPackageDirectoryMax = 10000;

Result<PackageDirectory> readPackageDirectory(const QString& packagePath, int maxNames = kPackageDirectoryMax);
