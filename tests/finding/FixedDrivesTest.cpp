#include "finding/FixedDrives.h"

#include <gtest/gtest.h>

namespace {

// A laptop's mount table: root and home on disks, a bind mount of home, the usual virtual file systems, a network
// share, a DVD, a USB stick, a snap image and a folder name with a blank.
const QByteArray kMountInfo = "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
                              "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
                              "24 22 0:22 / /sys rw - sysfs sysfs rw\n"
                              "25 22 0:5 / /dev rw - devtmpfs udev rw\n"
                              "26 22 0:25 / /run rw - tmpfs tmpfs rw\n"
                              "27 22 0:40 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
                              "28 22 259:3 / /home rw shared:2 - xfs /dev/nvme0n1p3 rw\n"
                              "29 22 259:3 /me/shared /srv/shared rw - xfs /dev/nvme0n1p3 rw\n"
                              "30 22 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
                              "31 22 11:0 / /media/me/DVD ro - iso9660 /dev/sr0 ro\n"
                              "32 22 8:17 / /media/me/STICK rw - vfat /dev/sdb1 rw\n"
                              "33 22 7:3 / /snap/core/1 ro - squashfs /dev/loop3 ro\n"
                              "34 22 8:2 / /mnt/old\\040disk rw - ntfs3 /dev/sda2 rw\n"
                              "35 22 0:60 / /boot/efi rw - vfat /dev/nvme0n1p1 rw\n"
                              "garbage line\n";

TEST(FixedDrivesTest, OffersEachLocalDiskOnceAndNothingVirtualRemoteOpticalOrRemovable) {
    const auto removable = [](const QString& device) { return device == QLatin1String("8:17"); };
    EXPECT_EQ(FixedDrives::rootsFrom(FixedDrives::parseMountInfo(kMountInfo), removable),
              (QStringList{"/", "/boot/efi/", "/home/", "/mnt/old disk/"}));
}

TEST(FixedDrivesTest, TheWholeFileSystemMountWinsOverABindMountOfAFolder) {
    const QByteArray table = "1 0 8:1 /sub /a rw - ext4 /dev/sda1 rw\n"
                             "2 0 8:1 / /zz/whole rw - ext4 /dev/sda1 rw\n";
    EXPECT_EQ(FixedDrives::rootsFrom(FixedDrives::parseMountInfo(table), {}), QStringList{"/zz/whole/"});
}

TEST(FixedDrivesTest, AtMostThirtyTwoDrivesSorted) {
    QByteArray table;
    for (int i = 40; i > 0; --i)
        table += QStringLiteral("%1 0 8:%1 / /d%2 rw - ext4 /dev/x rw\n").arg(i).arg(i, 2, 10, QChar('0')).toUtf8();
    const QStringList roots = FixedDrives::rootsFrom(FixedDrives::parseMountInfo(table), {});
    ASSERT_EQ(roots.size(), FixedDrives::kMaxDrives);
    EXPECT_EQ(std::pair(roots.front(), roots.back()), std::pair(QString("/d01/"), QString("/d32/")));
}

} // namespace
