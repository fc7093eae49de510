#pragma once
// The "fixed drives" the find and search dialogs offer: the mount roots of the local disk file systems. Read from
// the kernel's mount table, so a tmpfs, proc, overlay, network share, optical disc, loop image or USB stick never
// appears, and a device mounted twice (a bind mount) is offered once.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

/// One line of /proc/self/mountinfo.
struct MountEntry {
    QString device;     ///< "major:minor"
    QString fsRoot;     ///< the folder of the file system that is mounted here ("/" for the whole)
    QString mountPoint; ///< the mount root, ending with "/"
    QString fsType;
    QString source;
};

namespace FixedDrives {

/// At most this many drives are offered.
constexpr int kMaxDrives = 32;

/// The lines of a mountinfo text; the octal escapes of blanks and tabs in paths are undone; bad lines are skipped.
QVector<MountEntry> parseMountInfo(const QByteArray& text);

/// True for the file system types that live on a local disk.
bool isDiskFileSystem(const QString& fsType);

/// The mount roots of the local disk file systems among mounts, each device once (its whole-file-system mount,
/// else its shortest mount root), sorted ascending, at most kMaxDrives. isRemovable("major:minor") says whether
/// a device is removable media.
QStringList rootsFrom(const QVector<MountEntry>& mounts, const std::function<bool(const QString& device)>& isRemovable);

/// The fixed drives of this machine, from /proc/self/mountinfo and /sys/dev/block.
QStringList roots();

/// True when the stored drive setting selects root: "All" in any case selects every root, otherwise the setting
/// is the selected roots joined by ",", and root is selected when it is one of them.
bool isSelected(const QString& stored, const QString& root);

/// The stored form of a selection: the roots in list order joined by "," (empty when none).
QString joined(const QStringList& selectedRoots);

/// The roots of a stored selection, in stored order, blanks trimmed, empty items dropped; "All" gives all of
/// available.
QStringList selectedRoots(const QString& stored, const QStringList& available);

} // namespace FixedDrives
