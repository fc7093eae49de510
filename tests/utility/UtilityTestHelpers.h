#pragma once
// Helpers of the utility tests. The superuser reads and writes everything, so checks of unreadable folders and
// read-only files run through testsupport::runUnprivileged (TestSupport.h).

#include "TestSupport.h"

#include <QFile>
#include <QString>
#include <sys/stat.h>

namespace testsupport {

inline void setMode(const QString& path, mode_t mode) {
    chmod(QFile::encodeName(path).constData(), mode);
}

} // namespace testsupport
