// The zip layer over libzip. Browsing keeps one read-only handle and a cached copy of every entry's facts, so the
// per-index getters cost nothing. Anything that changes a package opens a second, writable handle; libzip writes
// the new package to a temporary file beside the old one and renames it only when zip_close succeeds, and on any
// failure or cancel the handle is discarded, so the package on disk is either fully updated or untouched.

#include "ZipPackage.h"
#include "ZipDetail.h"
#include "ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipdetail;

namespace {

constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kMaxCommentSize = 65535;

quint16 readLe16(const char* p) {
    return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
}

int deflateLevel(CompressionLevel level) {
    switch (level) {
    case CompressionLevel::None:
        return 0;
    case CompressionLevel::Fast:
        return 1;
    case CompressionLevel::Normal:
        return 6;
    case CompressionLevel::Maximum:
        return 9;
    }
    return 6;
}

/// Where the end-of-central-directory record says the package is one volume of several.
struct EndRecordCheck {
    bool found = false;
    bool spanned = false;
};

EndRecordCheck checkEndRecord(QFile& file) {
    EndRecordCheck check;
    const qint64 size = file.size();
    const qint64 tail = std::min(size, kEndRecordSize + kMaxCommentSize);
    if (tail < kEndRecordSize || !file.seek(size - tail)) return check;
    const QByteArray bytes = file.read(tail);
    for (qsizetype pos = bytes.size() - kEndRecordSize; pos >= 0; --pos) {
        const char* p = bytes.constData() + pos;
        if (p[0] != 'P' || p[1] != 'K' || p[2] != 5 || p[3] != 6) continue;
        check.found = true;
        // 0xFFFF means "see the zip64 record", which only large single-volume packages use in practice.
        const quint16 disk = readLe16(p + 4);
        const quint16 directoryDisk = readLe16(p + 6);
        check.spanned = (disk != 0 && disk != 0xFFFF) || (directoryDisk != 0 && directoryDisk != 0xFFFF);
        return check;
    }
    return check;
}

QByteArray emptyPackageBytes(const QByteArray& comment) {
    QByteArray record(kEndRecordSize, '\0');
    record[0] = 'P';
    record[1] = 'K';
    record[2] = 5;
    record[3] = 6;
    const qsizetype length = std::min<qsizetype>(comment.size(), kMaxCommentSize);
    record[20] = char(length & 0xFF);
    record[21] = char((length >> 8) & 0xFF);
    return record + comment.left(length);
}

} // namespace

struct ZipPackage::Impl {
    struct Order {
        QString filePath;
        QString storedName;
        UpdateCode code = UpdateCode::AddReplace;
    };

    ZipHandle m_zip;
    QString m_path;
    std::vector<ZipEntry> m_entries;
    std::vector<char> m_selected;
    int m_selectedCount = 0;
    qint64 m_totalBytes = 0;
    QString m_comment;
    bool m_spanned = false;
    QString m_newPath; // target of the next compress when no package is open
    std::vector<Order> m_orders;
    QString m_lastError;
    std::atomic<bool> m_cancel{false};
    std::atomic<qint64> m_runDone{0};
    std::atomic<qint64> m_runTotal{0};

    int fail(const QString& text) {
        m_lastError = text;
        return kZipFailed;
    }
    int succeed() {
        m_lastError.clear();
        return kZipOk;
    }
    bool valid(qint64 index) const { return index >= 0 && index < qint64(m_entries.size()); }
    const ZipEntry& at(qint64 index) const {
        static const ZipEntry none;
        return valid(index) ? m_entries[size_t(index)] : none;
    }
    void startRun() {
        m_cancel = false;
        m_runDone = 0;
        m_runTotal = 0;
        m_lastError.clear();
    }
    bool readEntries(zip_t* zip, QString* error);
    int extract(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                const ExtractOptions& options, const ZipProgressCallback& progress, ExtractReport* report,
                bool allowSecondWorker);
};

bool ZipPackage::Impl::readEntries(zip_t* zip, QString* error) {
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    m_entries.clear();
    m_entries.reserve(size_t(std::max<zip_int64_t>(count, 0)));
    m_totalBytes = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        // Flags 0 let libzip guess the name's encoding: UTF-8 when flagged or valid, CP437 otherwise.
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &st) != 0) {
            *error = zipErrorText(zip_get_error(zip));
            return false;
        }
        ZipEntry e;
        e.storedName = QString::fromUtf8(st.name ? st.name : "");
        NameParts parts = splitStoredName(e.storedName);
        e.name = std::move(parts.name);
        e.folderPath = std::move(parts.folderPath);
        e.extension = std::move(parts.extension);
        e.isFolder = e.storedName.endsWith(u'/');
        e.size = qint64(st.size);
        e.compressedSize = qint64(st.comp_size);
        e.crc = st.crc;
        e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        e.modified = qint64(st.mtime);
        timeToDos(st.mtime, e.dosDate, e.dosTime);
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(zip, zip_uint64_t(i), 0, &system, &attributes) == 0 &&
            system == ZIP_OPSYS_UNIX) {
            const quint32 mode = attributes >> 16;
            e.isSymLink = S_ISLNK(mode);
            e.unixMode = mode & 07777;
        }
        m_totalBytes += e.size;
        m_entries.push_back(std::move(e));
    }
    return true;
}

int ZipPackage::Impl::extract(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                              const ExtractOptions& options, const ZipProgressCallback& progress, ExtractReport* report,
                              bool allowSecondWorker) {
    ExtractRequest request;
    request.packagePath = m_path;
    request.zip = m_zip.get();
    request.entries = &m_entries;
    request.indices = std::move(indices);
    request.targetFolder = targetFolder;
    request.password = password.toUtf8();
    request.options = options;
    request.allowSecondWorker = allowSecondWorker;
    request.progress = progress;
    request.cancel = &m_cancel;
    request.runDone = &m_runDone;
    request.runTotal = &m_runTotal;
    ExtractOutcome outcome = runExtraction(request);
    if (report) *report = outcome.report;
    m_lastError = outcome.message;
    return outcome.result;
}

ZipPackage::ZipPackage() : d(std::make_unique<Impl>()) {}
ZipPackage::~ZipPackage() = default;

// --- reading ---

int ZipPackage::zOpenZipFile(const QString& path) {
    zCloseZipFile();
    d->m_lastError.clear();
    d->m_spanned = false;
    const QFileInfo info(path);
    if (!info.exists()) return d->fail(QStringLiteral("Cannot open %1: the file does not exist.").arg(path));
    if (info.isDir()) return d->fail(QStringLiteral("Cannot open %1: it is a folder, not a zip package.").arg(path));
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return d->fail(QStringLiteral("Cannot open %1: %2.").arg(path, file.errorString()));
        // libzip takes an empty file for an empty package; for us it is a broken download or a stray file.
        if (file.size() == 0) return d->fail(QStringLiteral("%1 is not a zip package: the file is empty.").arg(path));
        const EndRecordCheck end = checkEndRecord(file);
        if (!end.found)
            return d->fail(QStringLiteral("%1 is not a zip package, or it is damaged or truncated.").arg(path));
        if (end.spanned) {
            d->m_spanned = true;
            return d->fail(QStringLiteral("%1 is one volume of a spanned package; spanned packages are not "
                                          "supported yet.")
                               .arg(path));
        }
    }

    int code = 0;
    ZipHandle zip(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    if (!zip) {
        const int systemCode = errno;
        if (code == ZIP_ER_NOZIP)
            return d->fail(QStringLiteral("%1 is not a zip package, or it is damaged or truncated.").arg(path));
        return d->fail(QStringLiteral("Cannot open %1: %2.").arg(path, zipErrorText(code, systemCode)));
    }
    QString error;
    if (!d->readEntries(zip.get(), &error)) {
        d->m_entries.clear();
        return d->fail(QStringLiteral("Cannot read the contents of %1: %2.").arg(path, error));
    }
    int commentLength = 0;
    const char* comment = zip_get_archive_comment(zip.get(), &commentLength, 0);
    d->m_comment = comment ? QString::fromUtf8(comment, commentLength) : QString();
    d->m_selected.assign(d->m_entries.size(), 0);
    d->m_selectedCount = 0;
    d->m_path = info.absoluteFilePath();
    d->m_zip = std::move(zip);
    return kZipOk;
}

void ZipPackage::zCloseZipFile() {
    d->m_zip.reset();
    d->m_path.clear();
    d->m_entries.clear();
    d->m_selected.clear();
    d->m_selectedCount = 0;
    d->m_totalBytes = 0;
    d->m_comment.clear();
    d->m_newPath.clear();
    d->m_orders.clear();
}

bool ZipPackage::isOpen() const {
    return d->m_zip != nullptr;
}
QString ZipPackage::path() const {
    return d->m_path;
}
qint64 ZipPackage::zGetTotalFiles() const {
    return qint64(d->m_entries.size());
}
qint64 ZipPackage::zGetTotalBytes() const {
    return d->m_totalBytes;
}
QString ZipPackage::zGetComment() const {
    return d->m_comment;
}
bool ZipPackage::zIsSpanned() const {
    return d->m_spanned;
}
const std::vector<ZipEntry>& ZipPackage::entries() const {
    return d->m_entries;
}
QString ZipPackage::zGetFileName(qint64 index) const {
    return d->at(index).name;
}
QString ZipPackage::zGetFilePath(qint64 index) const {
    return d->at(index).folderPath;
}
QString ZipPackage::zGetFileExt(qint64 index) const {
    return d->at(index).extension;
}
qint64 ZipPackage::zGetFileSize(qint64 index) const {
    return d->at(index).size;
}
qint64 ZipPackage::zGetCompressedFileSize(qint64 index) const {
    return d->at(index).compressedSize;
}
quint16 ZipPackage::zGetFileDate(qint64 index) const {
    return d->at(index).dosDate;
}
quint16 ZipPackage::zGetFileTime(qint64 index) const {
    return d->at(index).dosTime;
}
bool ZipPackage::zFileIsEncrypted(qint64 index) const {
    return d->at(index).encrypted;
}

// --- selection and delete ---

void ZipPackage::zSelectFile(qint64 index, bool select) {
    if (!d->valid(index)) return;
    char& flag = d->m_selected[size_t(index)];
    if (bool(flag) == select) return;
    flag = select ? 1 : 0;
    d->m_selectedCount += select ? 1 : -1;
}

int ZipPackage::zGetSelectedFiles() const {
    return d->m_selectedCount;
}

void ZipPackage::zUnselectAll() {
    std::fill(d->m_selected.begin(), d->m_selected.end(), 0);
    d->m_selectedCount = 0;
}

int ZipPackage::zDeleteFiles() {
    d->startRun();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    if (d->m_selectedCount == 0) return d->fail(QStringLiteral("No entries are selected for deletion."));
    const QString path = d->m_path;
    const QByteArray nativePath = QFile::encodeName(path);

    if (d->m_selectedCount == int(d->m_entries.size())) {
        // libzip removes a package left without entries; we keep an empty package (and its comment) instead.
        int length = 0;
        const char* raw = zip_get_archive_comment(d->m_zip.get(), &length, ZIP_FL_ENC_RAW);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(emptyPackageBytes(raw ? QByteArray(raw, length) : QByteArray())) < 0 || !file.commit())
            return d->fail(QStringLiteral("Cannot write %1: %2.").arg(path, file.errorString()));
        return zOpenZipFile(path);
    }

    int code = 0;
    ZipHandle writer(zip_open(nativePath.constData(), 0, &code));
    if (!writer) return d->fail(QStringLiteral("Cannot change %1: %2.").arg(path, zipErrorText(code, errno)));
    for (size_t i = 0; i < d->m_selected.size(); ++i) {
        if (d->m_selected[i] && zip_delete(writer.get(), zip_uint64_t(i)) != 0)
            return d->fail(QStringLiteral("Cannot delete %1 from %2: %3.")
                               .arg(d->m_entries[i].storedName, path, zipErrorText(zip_get_error(writer.get()))));
    }
    if (zip_close(writer.get()) != 0)
        return d->fail(QStringLiteral("Cannot write %1: %2. The package was left as it was.")
                           .arg(path, zipErrorText(zip_get_error(writer.get()))));
    writer.release(); // zip_close has freed it
    return zOpenZipFile(path);
}

// --- extraction ---

int ZipPackage::zExtractOne(qint64 index, const QString& targetFolder, const QString& password,
                            const ExtractOptions& options, ExtractReport* report) {
    d->startRun();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    if (!d->valid(index))
        return d->fail(QStringLiteral("There is no entry number %1 in %2.").arg(index).arg(d->m_path));
    return d->extract({index}, targetFolder, password, options, {}, report, false);
}

int ZipPackage::zExtractAll(const QString& targetFolder, const QString& password, const ExtractOptions& options,
                            const ZipProgressCallback& progress, ExtractReport* report) {
    d->startRun();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    std::vector<qint64> indices(d->m_entries.size());
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = qint64(i);
    return d->extract(std::move(indices), targetFolder, password, options, progress, report, true);
}

int ZipPackage::zTestAll(const QString& password, QStringList* failures, const ZipProgressCallback& progress) {
    d->startRun();
    if (failures) failures->clear();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    ExtractRequest request;
    request.packagePath = d->m_path;
    request.zip = d->m_zip.get();
    request.entries = &d->m_entries;
    request.indices.resize(d->m_entries.size());
    for (size_t i = 0; i < request.indices.size(); ++i)
        request.indices[i] = qint64(i);
    request.password = password.toUtf8();
    request.testOnly = true;
    request.progress = progress;
    request.cancel = &d->m_cancel;
    request.runDone = &d->m_runDone;
    request.runTotal = &d->m_runTotal;
    const ExtractOutcome outcome = runExtraction(request);
    if (failures) *failures = outcome.failures;
    d->m_lastError = outcome.message;
    return outcome.result;
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
    if (!isOpen() && d->m_newPath.isEmpty())
        return d->fail(QStringLiteral("Cannot add %1: no package is open or being created.").arg(filePath));
    const QFileInfo info(filePath);
    if (!info.exists()) return d->fail(QStringLiteral("Cannot add %1: the file does not exist.").arg(filePath));
    QString name = storedName.isEmpty() ? info.fileName() : storedName;
    // Stored names are relative by nature; a leading "/" would only make other programs refuse the entry.
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    if (info.isDir() && !name.endsWith(u'/')) name += u'/';
    if (name.isEmpty() || name == QLatin1String("/"))
        return d->fail(QStringLiteral("Cannot add %1: it has no name to store.").arg(filePath));
    Impl::Order order{info.absoluteFilePath(), name, code};
    for (Impl::Order& queued : d->m_orders) {
        if (queued.storedName == name) {
            queued = order; // the later order for one stored name wins, as it would if added one by one
            return kZipOk;
        }
    }
    d->m_orders.push_back(std::move(order));
    return kZipOk;
}

int ZipPackage::orderedCount() const {
    return int(d->m_orders.size());
}

int ZipPackage::zCompressFiles(const QString& tempFolder, const QString& password, CompressionLevel level,
                               bool resetArchiveFlag, qint64 volumeSize, const QString& comment,
                               const ZipProgressCallback& progress) {
    // libzip writes its temporary file beside the package so the final rename cannot cross disks.
    Q_UNUSED(tempFolder);
    Q_UNUSED(resetArchiveFlag);
    d->startRun();
    if (volumeSize > 0) return d->fail(QStringLiteral("Volume spanning is not supported yet."));
    const bool creating = !isOpen();
    const QString target = creating ? d->m_newPath : d->m_path;
    if (target.isEmpty()) return d->fail(QStringLiteral("No package is open or being created."));
    if (creating && d->m_orders.empty())
        return d->fail(QStringLiteral("Nothing to write into %1: no files were ordered.").arg(target));

    int code = 0;
    ZipHandle writer(
        zip_open(QFile::encodeName(target).constData(), creating ? (ZIP_CREATE | ZIP_TRUNCATE) : 0, &code));
    if (!writer) return d->fail(QStringLiteral("Cannot write %1: %2.").arg(target, zipErrorText(code, errno)));
    zip_t* zip = writer.get();

    QHash<QString, qint64> present;
    if (!creating) {
        present.reserve(qsizetype(d->m_entries.size()));
        for (size_t i = 0; i < d->m_entries.size(); ++i)
            present.insert(d->m_entries[i].storedName, qint64(i));
    }
    const QString targetCanonical = QFileInfo(target).canonicalFilePath();
    const int method = level == CompressionLevel::None ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    const zip_uint32_t methodLevel = zip_uint32_t(deflateLevel(level));
    const QByteArray passwordBytes = password.toUtf8();
    const auto libzipFailure = [&](const QString& file) {
        return d->fail(QStringLiteral("Cannot add %1 to %2: %3.").arg(file, target, zipErrorText(zip_get_error(zip))));
    };

    qint64 bytesTotal = 0;
    qint64 filesTotal = 0;
    for (const Impl::Order& order : d->m_orders) {
        const QByteArray nativeFile = QFile::encodeName(order.filePath);
        struct stat st;
        if (::stat(nativeFile.constData(), &st) != 0 || (!S_ISDIR(st.st_mode) && ::access(nativeFile, R_OK) != 0))
            return d->fail(QStringLiteral("Cannot read %1: %2.").arg(order.filePath, systemErrorText(errno)));
        if (!targetCanonical.isEmpty() && QFileInfo(order.filePath).canonicalFilePath() == targetCanonical)
            continue; // a package never goes into itself
        const bool isDir = S_ISDIR(st.st_mode);
        const auto found = present.constFind(order.storedName);
        const bool exists = found != present.constEnd();
        if (order.code == UpdateCode::Freshen && !exists) continue;
        if (exists && order.code != UpdateCode::AddReplace) {
            // Compared at the 2-second steps the entry keeps, so an unchanged file never looks newer.
            const ZipEntry& e = d->m_entries[size_t(*found)];
            if (packedDosOf(st.st_mtime) <= packDos(e.dosDate, e.dosTime)) continue;
        }
        const QByteArray storedName = order.storedName.toUtf8();
        zip_int64_t index = -1;
        if (isDir) {
            if (exists) continue;
            index = zip_dir_add(zip, storedName.constData(), ZIP_FL_ENC_UTF_8);
            if (index < 0) return libzipFailure(order.filePath);
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             (zip_uint32_t(st.st_mode & 0xFFFF) << 16) | 0x10);
        } else {
            zip_source_t* source = zip_source_file(zip, nativeFile.constData(), 0, -1);
            if (!source) return libzipFailure(order.filePath);
            if (exists) {
                index = *found;
                if (zip_file_replace(zip, zip_uint64_t(index), source, 0) != 0) {
                    zip_source_free(source);
                    return libzipFailure(order.filePath);
                }
            } else {
                // Marked UTF-8 so libzip sets the UTF-8 flag on names that are not plain ASCII.
                index = zip_file_add(zip, storedName.constData(), source, ZIP_FL_ENC_UTF_8);
                if (index < 0) {
                    zip_source_free(source);
                    return libzipFailure(order.filePath);
                }
            }
            if (zip_set_file_compression(zip, zip_uint64_t(index), method, methodLevel) != 0)
                return libzipFailure(order.filePath);
            if (!passwordBytes.isEmpty() &&
                zip_file_set_encryption(zip, zip_uint64_t(index), ZIP_EM_AES_256, passwordBytes.constData()) != 0)
                return libzipFailure(order.filePath);
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(st.st_mode & 0xFFFF) << 16);
            bytesTotal += st.st_size;
        }
        zip_file_set_mtime(zip, zip_uint64_t(index), st.st_mtime, 0);
        ++filesTotal;
    }

    // An empty comment leaves the package's comment alone, so adding files never wipes it by accident.
    const bool commentChanges = !comment.isEmpty() && comment != d->m_comment;
    if (commentChanges) {
        const QByteArray bytes = comment.toUtf8().left(kMaxCommentSize);
        if (zip_set_archive_comment(zip, bytes.constData(), zip_uint16_t(bytes.size())) != 0)
            return d->fail(
                QStringLiteral("Cannot set the comment of %1: %2.").arg(target, zipErrorText(zip_get_error(zip))));
    }
    if (filesTotal == 0 && !commentChanges) {
        d->m_orders.clear();
        if (creating) return d->fail(QStringLiteral("No files were added, so %1 was not written.").arg(target));
        return kZipOk; // nothing was newer: the package stays exactly as it was
    }

    d->m_runTotal = bytesTotal;
    struct Hook {
        Impl* impl;
        const ZipProgressCallback* progress;
        qint64 filesTotal;
        qint64 bytesTotal;
    } hook{d.get(), &progress, filesTotal, bytesTotal};
    zip_register_progress_callback_with_state(
        zip, 0.001,
        [](zip_t*, double fraction, void* state) {
            auto* h = static_cast<Hook*>(state);
            const qint64 bytesDone = qint64(fraction * double(h->bytesTotal));
            h->impl->m_runDone = bytesDone;
            if (!*h->progress) return;
            const ZipProgress p{qint64(fraction * double(h->filesTotal)), h->filesTotal, bytesDone, h->bytesTotal};
            if (!(*h->progress)(p)) h->impl->m_cancel = true;
        },
        nullptr, &hook);
    zip_register_cancel_callback_with_state(
        zip, [](zip_t*, void* state) { return static_cast<Hook*>(state)->impl->m_cancel.load() ? 1 : 0; }, nullptr,
        &hook);

    if (zip_close(zip) != 0) {
        const int closeCode = zip_error_code_zip(zip_get_error(zip));
        const QString why = zipErrorText(zip_get_error(zip));
        writer.reset(); // discards: libzip has already removed its temporary file
        if (closeCode == ZIP_ER_CANCELLED || d->m_cancel) {
            d->m_lastError = creating ? QStringLiteral("Cancelled: %1 was not written.").arg(target)
                                      : QStringLiteral("Cancelled: %1 was left as it was.").arg(target);
            return kZipCancelled;
        }
        return d->fail(creating
                           ? QStringLiteral("Cannot write %1: %2.").arg(target, why)
                           : QStringLiteral("Cannot write %1: %2. The package was left as it was.").arg(target, why));
    }
    writer.release(); // zip_close has freed it
    d->m_orders.clear();
    return zOpenZipFile(target);
}

QString ZipPackage::zGetLastErrorAsText() const {
    return d->m_lastError;
}

void ZipPackage::zGetRunTimeInfo(qint64& done, qint64& total) const {
    done = d->m_runDone.load();
    total = d->m_runTotal.load();
}

void ZipPackage::zCancelOperation() {
    d->m_cancel = true;
}
