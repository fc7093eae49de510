// Writing packages over libzip: the work behind zCompressFiles and zDeleteFiles is ZipWriter.h's, cutting into
// volumes ZipSpanWriter.h's. Whatever writes, the package on disk is either fully updated or untouched.

#include "RebuildJournal.h"
#include "ZipPackageImpl.h"
#include "ZipSpan.h"
#include "ZipSpanWriter.h"
#include "utility/NativePath.h"

#include <QFileInfo>
#include <sys/stat.h>

using namespace zipdetail;

int ZipPackage::zDeleteFiles() {
    d->startRun();
    if (!d->isOpen()) return d->fail(QStringLiteral("No package is open."));
    if (d->m_selectedCount == 0) return d->fail(QStringLiteral("No entries are selected for deletion."));
    if (d->m_spanned)
        return d->fail(QStringLiteral("Cannot delete from %1: it is a spanned package. Join its volumes with "
                                      "zip -s 0 first.")
                           .arg(d->m_path));
    if (d->refuseChangeOfArchiveOnly(QStringLiteral("delete from")) != kZipOk) return kZipFailed;
    const QString path = d->m_path;
    if (!d->ensureHandle()) return kZipFailed;
    const WriteOutcome outcome = deleteEntries(path, d->m_zip.get(), d->m_entries, d->m_selected);
    if (outcome.result != kZipOk) return d->fail(outcome.message);
    return zOpenZipFile(path);
}

// --- creating and compressing ---

int ZipPackage::zCreateNewZip(const QString& path) {
    zCloseZipFile();
    d->m_lastError.clear();
    const QFileInfo info(path);
    if (info.isDir()) return d->fail(QStringLiteral("Cannot create %1: it is a folder.").arg(path));
    if (!QFileInfo(info.absolutePath()).isDir())
        return d->fail(
            QStringLiteral("Cannot create %1: the folder %2 does not exist.").arg(path, info.absolutePath()));
    d->m_newPath = info.absoluteFilePath();
    return kZipOk;
}

int ZipPackage::zOrderFile(const QString& filePath, const QString& storedName, UpdateCode code) {
    d->m_lastError.clear();
    if (!d->isOpen() && d->m_newPath.isEmpty())
        return d->fail(QStringLiteral("Cannot add %1: no package is open or being created.").arg(filePath));
    // The entry itself: a symbolic link is stored as the link it is, even when it points nowhere.
    const QFileInfo info(filePath);
    struct stat st;
    if (::lstat(NativePath::encode(filePath).constData(), &st) != 0)
        return d->fail(QStringLiteral("Cannot add %1: the file does not exist.").arg(NativePath::display(filePath)));
    QString name = storedName.isEmpty() ? info.fileName() : storedName;
    // Stored names are relative by nature; a leading "/" would only make other programs refuse the entry.
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    if (S_ISDIR(st.st_mode) && !name.endsWith(u'/')) name += u'/';
    if (name.isEmpty() || name == QLatin1String("/"))
        return d->fail(QStringLiteral("Cannot add %1: it has no name to store.").arg(filePath));
    WriteOrder order{info.absoluteFilePath(), name, code};
    const auto queued = d->m_orderIndex.constFind(name);
    if (queued != d->m_orderIndex.constEnd()) {
        d->m_orders[*queued] = order; // the later order for one stored name wins, as it would if added one by one
        return kZipOk;
    }
    d->m_orderIndex.insert(name, d->m_orders.size());
    d->m_orders.push_back(std::move(order));
    return kZipOk;
}

int ZipPackage::zCompressFiles(const QString& password, CompressionLevel level, const QString& comment,
                               const CancelToken& cancel, const ZipProgressCallback& progress) {
    d->startRun();
    d->m_written = 0;
    const bool creating = !d->isOpen();
    const QString target = creating ? d->m_newPath : d->m_path;
    if (target.isEmpty()) return d->fail(QStringLiteral("No package is open or being created."));
    if (!creating && d->m_spanned)
        return d->fail(QStringLiteral("Cannot update %1: it is a spanned package. Join its volumes with zip -s 0 "
                                      "first.")
                           .arg(target));
    if (!creating && d->refuseChangeOfArchiveOnly(QStringLiteral("update")) != kZipOk) return kZipFailed;
    if (creating && d->m_orders.empty())
        return d->fail(QStringLiteral("Nothing to write into %1: no files were ordered.").arg(target));

    CompressRequest request;
    request.target = target;
    request.creating = creating;
    request.entries = &d->m_entries;
    request.oldComment = d->m_comment;
    request.orders = &d->m_orders;
    request.password = password.toUtf8();
    request.level = level;
    request.comment = comment;
    request.progress = progress;
    request.cancel = &cancel;
    const WriteOutcome outcome = compressFiles(request);
    if (outcome.ordersUsed) {
        d->m_orders.clear();
        d->m_orderIndex.clear();
    }
    d->m_lastError = outcome.message;
    if (outcome.result != kZipOk || !outcome.changed) return outcome.result;
    d->m_written = outcome.written;
    return zOpenZipFile(target);
}

qint64 ZipPackage::zGetWrittenCount() const {
    return d->m_written;
}

int splitIntoVolumes(const QString& source, const QString& target, qint64 volumeSize, QString* error,
                     const CancelToken& cancel) {
    if (error) error->clear();
    qint64 perVolume = volumeSize;
    if (volumeSize == 0) {
        // The source already takes its room on the target's file system; count it back in.
        const qint64 size = QFileInfo(source).size();
        const qint64 freeNow = freeBytesAt(QFileInfo(target).absolutePath());
        perVolume = automaticVolumeSize(size, freeNow < 0 ? -1 : freeNow + size);
        if (perVolume < 0) return -1;
    } else if (QFileInfo(source).size() <= volumeSize) {
        return -1; // one volume would hold it all: an ordinary package serves every reader better
    }
    const SplitOutcome split = splitPackage(source, target, perVolume, cancel);
    if (split.result == kZipOk) return int(split.volumes);
    if (error) *error = split.result == kZipCancelled ? QString() : split.message;
    return 0;
}

bool recoverSpannedRebuild(const QString& package, QStringList* notes) {
    const RebuildRecovery recovery = recoverRebuild(package);
    if (notes) *notes << recovery.refused;
    return recovery.complete;
}

void setSpannedRebuildSeam(std::function<void(const char*)> seam) {
    setRebuildSeam(std::move(seam));
}

int packageVolumeCount(const QString& path) {
    return int(volumeCountOf(path));
}

void removeEarlierVolumes(const QString& lastVolume, int volumeCount) {
    if (volumeCount > 1) removeVolumes(lastVolume, 1, quint32(volumeCount - 1));
}
