// The names and the number of a spanned package's volumes; see ZipSpan.h.

#include "ZipSpan.h"
#include "ZipDetail.h"
#include "ZipLayout.h"
#include "utility/FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <unistd.h>

namespace zipdetail {

QString volumeFileName(const QString& lastVolume, quint32 disk, quint32 diskCount) {
    if (disk + 1 >= diskCount) return lastVolume;
    const QFileInfo info(lastVolume);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    return info.path() + u'/' + stem + QStringLiteral(".z%1").arg(disk + 1, 2, 10, QLatin1Char('0'));
}

quint32 volumeCountOf(const QString& path) {
    QString why;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) return 0;
    const qint64 size = fileSize(fd);
    EndRecords end;
    QString error;
    const bool found = readEndRecords(
        [&](quint32 disk, quint64 offset, qint64 length) {
            if (disk != quint32(-1)) return QByteArray();
            QByteArray bytes(length, Qt::Uninitialized);
            const qint64 n = FileOps::readFullyAt(fd, bytes.data(), length, qint64(offset));
            bytes.truncate(std::max<qint64>(n, 0));
            return bytes;
        },
        size, &end, &error);
    ::close(fd);
    return found ? end.diskCount() : 0;
}

void removeVolumes(const QString& lastVolume, quint32 first, quint32 last) {
    // Named as they would be in a package of last + 1 volumes, so every one of them gets its .zNN name.
    for (quint32 number = first; number <= last && number > 0; ++number)
        QFile::remove(volumeFileName(lastVolume, number - 1, last + 1));
}

} // namespace zipdetail
