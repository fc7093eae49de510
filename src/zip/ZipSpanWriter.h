#pragma once
// Cutting an ordinary package into volumes (see ZipSpan.h): the one way spanned packages are written.

#include "ZipSpan.h"
#include "ZipTypes.h"
#include "utility/CancelToken.h"

#include <QString>

namespace zipdetail {

/// The volume size "automatic" spanning chooses for a package of packageSize bytes when freeBytes are free on the
/// target's file system: -1 (one ordinary package) when it fits, else volumes as large as that free space (but
/// never under kMinVolumeSize). Unknown free space (-1) also gives one ordinary package.
qint64 automaticVolumeSize(qint64 packageSize, qint64 freeBytes);

/// Free bytes for an unprivileged user on the file system holding `folder`, or -1 when that cannot be learnt.
qint64 freeBytesAt(const QString& folder);

struct SplitOutcome {
    int result = 0; ///< kZipOk, kZipFailed or kZipCancelled
    QString message;
    quint32 volumes = 0;
};

/// Cuts the ordinary package `source` into volumes of at most volumeSize bytes named after `target` (the last
/// volume becomes target itself). Every volume is written under a temporary name beside target and renamed into
/// place only when all of them are complete; on failure or cancel no temporary is left and nothing existing is
/// touched. cancel is read regularly (and at every new volume); once it is set the cut stops as cancelled.
SplitOutcome splitPackage(const QString& source, const QString& target, qint64 volumeSize, const CancelToken& cancel);

} // namespace zipdetail
