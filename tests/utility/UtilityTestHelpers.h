#pragma once
// Helpers of the utility tests. The superuser reads and writes everything, so checks of unreadable folders and
// read-only files run through testsupport::runUnprivileged (TestSupport.h).

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

inline void setMode(const QString& path, mode_t mode) {
    chmod(QFile::encodeName(path).constData(), mode);
}

/// The permission bits of path, 0 when it cannot be read.
inline mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace testsupport

// The utility tests name the support helpers unqualified.
using namespace testsupport;
