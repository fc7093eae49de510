#pragma once
// Helpers of the build tests: an isolated program state per test, rows made from numbers, and peers that read
// our packages.

#include "ProgramFixture.h"
#include "backup/SelectionGrid.h"

// Readable rows in failure messages.
inline void PrintTo(const SelectionRow& r, std::ostream* os) {
    *os << "{\"" << r.path.toStdString() << "\", \"" << r.files.toStdString() << "\", \"" << r.size.toStdString()
        << "\", \"" << r.include.toStdString() << "\", \"" << r.exclude.toStdString() << "\"}";
}

namespace buildtest {

inline SelectionRow row(const QString& path, const QString& files, const QString& size, const QString& include = {},
                        const QString& exclude = {}) {
    return SelectionRow{path, files, size, include, exclude};
}

/// `unzip -t` and `7z t` both accept the package; the build writes AES with a password, which unzip cannot read.
inline void expectPeersAccept(const QString& zip, const QString& password = {}) {
    testsupport::expectPeersAccept(zip, password, !password.isEmpty());
}

} // namespace buildtest
