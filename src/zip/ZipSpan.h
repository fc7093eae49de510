#pragma once
// Packages cut into volumes ("split" packages): name.z01, name.z02, ... and the last volume name.zip, which holds
// the end of the central directory. libzip neither writes nor reads them, so:
// - writing: libzip builds an ordinary package first, and splitPackage() (ZipSpanWriter.h) cuts it into volumes,
//   rewriting every central directory record with the disk its local header landed on and the offset within that
//   disk; the volumes take their names through a rebuild journal (RebuildJournal.h);
// - reading: JoinedPackage (JoinedPackage.h) presents the volumes to libzip as one ordinary package (the data of
//   all volumes end to end, followed by a central directory rewritten to plain offsets), so listing, testing and
//   extracting work through the same code as for any other package.
// This header holds what all three share: the volumes' names and number.

#include "ZipTypes.h"

#include <QString>

namespace zipdetail {

/// No volume may be smaller: a local header must always fit in one volume, and smaller volumes help nobody.
constexpr qint64 kMinVolumeSize = kMinVolumeBytes;

/// File name of volume `disk` (0-based) of the package whose last volume is `lastVolume`: the name with its
/// extension replaced by .z01, .z02, ... for every volume but the last, which is lastVolume itself.
QString volumeFileName(const QString& lastVolume, quint32 disk, quint32 diskCount);

/// How many volumes the package at `path` has (1 for an ordinary package, 0 when it is no zip package at all).
quint32 volumeCountOf(const QString& path);

/// Removes name.zNN volumes numbered first..last (1-based, as in the names) beside `lastVolume`, if they exist.
void removeVolumes(const QString& lastVolume, quint32 first, quint32 last);

} // namespace zipdetail
