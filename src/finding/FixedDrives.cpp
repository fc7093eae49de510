#include "FixedDrives.h"

#include "utility/NativePath.h"
#include "utility/TextUtil.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace FixedDrives {

namespace {

// mountinfo writes blank, tab, newline and backslash in paths as "\040", "\011", "\012" and "\134".
QString unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            for (char c : digits)
                ok = ok && c >= '0' && c <= '7';
            if (ok) {
                out.append(char(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return NativePath::decode(out);
}

// The device's entry in /sys, with the whole disk's for a partition: removable media and anything on USB count as
// removable (a USB disk often says removable 0).
bool sysfsSaysRemovable(const QString& device) {
    const QString link = QStringLiteral("/sys/dev/block/") + device;
    const QString real = QFileInfo(link).canonicalFilePath();
    if (real.isEmpty()) return false; // not a block device (btrfs and zfs give anonymous numbers)
    if (real.contains(QStringLiteral("/usb"))) return true;
    for (const QString& folder : {real, QFileInfo(real).path()}) {
        QFile flag(folder + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly)) return flag.readAll().trimmed() == "1";
    }
    return false;
}

} // namespace

QVector<MountEntry> parseMountInfo(const QByteArray& text) {
    QVector<MountEntry> mounts;
    for (const QByteArray& line : text.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const qsizetype dash = fields.indexOf(QByteArray("-"), 6);
        if (fields.size() < 7 || dash < 0 || dash + 2 >= fields.size()) continue;
        MountEntry entry;
        entry.device = QString::fromLatin1(fields[2]);
        entry.fsRoot = unescape(fields[3]);
        entry.mountPoint = TextUtil::withSlash(unescape(fields[4]));
        entry.fsType = QString::fromLatin1(fields[dash + 1]);
        entry.source = unescape(fields[dash + 2]);
        if (!entry.mountPoint.startsWith(QLatin1Char('/'))) continue;
        mounts.push_back(entry);
    }
    return mounts;
}

bool isDiskFileSystem(const QString& fsType) {
    static const QSet<QString> kDisk = {
        QStringLiteral("ext2"),  QStringLiteral("ext3"),     QStringLiteral("ext4"),    QStringLiteral("xfs"),
        QStringLiteral("btrfs"), QStringLiteral("f2fs"),     QStringLiteral("jfs"),     QStringLiteral("reiserfs"),
        QStringLiteral("zfs"),   QStringLiteral("bcachefs"), QStringLiteral("nilfs2"),  QStringLiteral("vfat"),
        QStringLiteral("msdos"), QStringLiteral("exfat"),    QStringLiteral("ntfs"),    QStringLiteral("ntfs3"),
        QStringLiteral("hfs"),   QStringLiteral("hfsplus"),  QStringLiteral("fuseblk"), QStringLiteral("ufs"),
    };
    return kDisk.contains(fsType);
}

QStringList rootsFrom(const QVector<MountEntry>& mounts, const std::function<bool(const QString&)>& isRemovable) {
    // One mount per device: the one showing the whole file system, else the shortest root.
    QHash<QString, const MountEntry*> chosen;
    QStringList order;
    for (const MountEntry& m : mounts) {
        if (!isDiskFileSystem(m.fsType)) continue;
        if (m.device.startsWith(QLatin1String("7:"))) continue; // loop devices hold images, not disks
        auto it = chosen.find(m.device);
        if (it == chosen.end()) {
            if (isRemovable && isRemovable(m.device)) continue;
            chosen.insert(m.device, &m);
            order.push_back(m.device);
            continue;
        }
        const MountEntry* old = *it;
        const bool wholeNew = m.fsRoot == QLatin1String("/");
        const bool wholeOld = old->fsRoot == QLatin1String("/");
        if ((wholeNew && !wholeOld) || (wholeNew == wholeOld && m.mountPoint.size() < old->mountPoint.size())) *it = &m;
    }
    QStringList roots;
    for (const QString& device : order)
        roots.push_back(chosen.value(device)->mountPoint);
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    if (roots.size() > kMaxDrives) roots = roots.mid(0, kMaxDrives);
    return roots;
}

QStringList roots() {
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly)) return {};
    return rootsFrom(parseMountInfo(table.readAll()), sysfsSaysRemovable);
}

bool isSelected(const QString& stored, const QString& root) {
    if (TextUtil::trimBlanks(stored).compare(QLatin1String("All"), Qt::CaseInsensitive) == 0) return true;
    // Whole items, not a substring: on Linux "/" is part of every other root's text.
    const QStringList items = stored.split(QLatin1Char(','));
    return std::any_of(items.begin(), items.end(),
                       [&](const QString& item) { return TextUtil::trimBlanks(item) == root; });
}

QString joined(const QStringList& selectedRoots) {
    return selectedRoots.join(QLatin1Char(','));
}

QStringList selectedRoots(const QString& stored, const QStringList& available) {
    if (TextUtil::trimBlanks(stored).compare(QLatin1String("All"), Qt::CaseInsensitive) == 0) return available;
    QStringList roots;
    for (const QString& item : stored.split(QLatin1Char(','))) {
        const QString root = TextUtil::trimBlanks(item);
        if (!root.isEmpty()) roots.push_back(root);
    }
    return roots;
}

} // namespace FixedDrives
