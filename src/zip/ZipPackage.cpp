// The zip layer over libzip. Browsing keeps one read-only handle and a cached copy of every entry's facts, so the
// per-index getters cost nothing. Writing (compress and delete) is ZipWriter.h's work, extracting and testing
// ZipExtractor.h's; spanned packages are cut and read through ZipSpan.h. Whatever writes, the package on disk is
// either fully updated or untouched.

#include "ZipPackage.h"
#include "ZipDetail.h"
#include "ZipDirectory.h"
#include "ZipExtractor.h"
#include "ZipLayout.h"
#include "ZipSpan.h"
#include "ZipWriter.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

using namespace zipdetail;

namespace {

constexpr qint64 kMaxSize = std::numeric_limits<qint64>::max();

} // namespace

struct ZipPackage::Impl {
    ZipHandle m_zip;
    bool m_handleDeferred = false; // opened for listing: m_zip is opened when an operation first needs it
    QString m_path;
    std::vector<ZipEntry> m_entries;
    std::vector<char> m_selected;
    int m_selectedCount = 0;
    qint64 m_totalBytes = 0;
    QString m_comment;
    bool m_spanned = false;
    std::shared_ptr<JoinedPackage> m_joined; // the volumes of a spanned package, or a package read with repairs
    QString m_newPath;                       // target of the next compress when no package is open
    std::vector<WriteOrder> m_orders;
    QHash<QString, size_t> m_orderIndex; // stored name -> place in m_orders, so ordering stays linear
    QString m_lastError;
    QString m_notice; // an interrupted rebuild found beside the open package
    std::atomic<qint64> m_runDone{0};
    std::atomic<qint64> m_runTotal{0};
    qint64 m_written = 0; // entries the last compress added or replaced

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
        m_runDone = 0;
        m_runTotal = 0;
        m_lastError.clear();
    }
    bool readEntries(zip_t* zip, QString* error);
    bool readDirectory(const QString& path);
    bool ensureHandle();
    /// A request over the open package's entries that reports to this run's counters and stops by cancel.
    ExtractRequest readRequest(const QString& password, const ZipProgressCallback& progress, const CancelToken& cancel);
    int extract(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                const ExtractOptions& options, const CancelToken& cancel, const ZipProgressCallback& progress,
                ExtractReport* report, bool allowSecondWorker);
};

namespace {

// Why the package at path is refused for entries that share their data (see overlappingEntries), or "".
QString overlapIn(const QString& path) {
    QString why;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) return {};
    struct stat st;
    QString overlap;
    if (::fstat(fd, &st) == 0)
        overlap = overlappingEntries(
            [fd](quint32, quint64 offset, qint64 length) {
                QByteArray bytes(length, Qt::Uninitialized);
                bytes.truncate(std::max<qint64>(FileOps::readFullyAt(fd, bytes.data(), length, qint64(offset)), 0));
                return bytes;
            },
            qint64(st.st_size));
    ::close(fd);
    return overlap;
}

// The facts of an entry that follow from its time and the system that made it, alike for both readers.
void setTimeAndMode(ZipEntry& e, std::time_t mtime, std::optional<qint64> exact, bool madeOnUnix, quint32 attributes) {
    e.modified = qint64(mtime);
    timeToDos(mtime, e.dosDate, e.dosTime);
    // libzip reads only the 2-second DOS time; extraction gives files the exact time when the entry has it.
    if (exact) e.modified = *exact;
    if (madeOnUnix) {
        const quint32 mode = attributes >> 16;
        e.isSymLink = S_ISLNK(mode);
        e.unixMode = mode & 07777;
    }
}

} // namespace

bool ZipPackage::Impl::readEntries(zip_t* zip, QString* error) {
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    m_entries.clear();
    m_entries.reserve(size_t(std::max<zip_int64_t>(count, 0)));
    m_totalBytes = 0;
    // Folder paths and extensions repeat across a package: keep one copy of each text, shared by its entries,
    // so a package of 100,000 entries stays small in memory.
    QSet<QString> shared;
    auto intern = [&shared](QString text) {
        if (text.isEmpty()) return text;
        auto it = shared.constFind(text);
        if (it != shared.cend()) return *it;
        shared.insert(text);
        return text;
    };
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        // Flags 0 let libzip guess the name's encoding: UTF-8 when flagged or valid, CP437 otherwise.
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &st) != 0) {
            *error = zipErrorText(zip_get_error(zip));
            return false;
        }
        ZipEntry e;
        QString storedName = QString::fromUtf8(st.name ? st.name : "");
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        const bool madeOnUnix = zip_file_get_external_attributes(zip, zip_uint64_t(i), 0, &system, &attributes) == 0 &&
                                system == ZIP_OPSYS_UNIX;
        if (madeOnUnix && st.name) {
            // A name made on Unix that is not UTF-8 is the file's own bytes (Info-ZIP and this program store such
            // names so); libzip's guess would read them as CP437, so they are kept as they are instead.
            const char* raw = zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_RAW);
            if (raw && std::strcmp(raw, st.name) != 0) storedName = NativePath::decode(QByteArrayView(raw));
        }
        NameParts parts = splitStoredName(storedName);
        e.name = std::move(parts.name);
        e.folderPath = intern(std::move(parts.folderPath));
        e.extension = intern(std::move(parts.extension));
        e.isFolder = storedName.endsWith(u'/');
        // Sizes are whatever the directory claims, up to 2^64 - 1; kept in range rather than wrapped negative.
        e.size = qint64(std::min<zip_uint64_t>(st.size, kMaxSize));
        e.compressedSize = qint64(std::min<zip_uint64_t>(st.comp_size, kMaxSize));
        e.crc = st.crc;
        e.encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
        setTimeAndMode(e, st.mtime, exactMtime(zip, zip_uint64_t(i)), madeOnUnix, attributes);
        m_totalBytes = e.size > kMaxSize - m_totalBytes ? kMaxSize : m_totalBytes + e.size;
        m_entries.push_back(std::move(e));
    }
    return true;
}

bool ZipPackage::Impl::readDirectory(const QString& path) {
    QString why;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) return false;
    struct stat st = {};
    const bool statted = ::fstat(fd, &st) == 0;
    m_entries.clear();
    m_totalBytes = 0;
    // Folder paths and extensions repeat across a package: one copy of each text, shared by its entries, found by
    // the stored bytes so that no text is made twice.
    // The keys point into the directory bytes, which stay in place while the records are read.
    std::unordered_map<std::string_view, QString> shared;
    auto intern = [&shared](QByteArrayView bytes, bool ascii) -> QString {
        if (bytes.isEmpty()) return QString();
        auto [it, added] = shared.try_emplace(std::string_view(bytes.data(), size_t(bytes.size())));
        if (added) it->second = ascii ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
        return it->second;
    };
    // Entries written together share their times: the last conversion is kept.
    quint32 lastStamp = 0;
    std::time_t lastTime = 0;
    bool haveLast = false;
    QString comment;
    const auto add = [&](const DirectoryRecord& r) {
        ZipEntry e;
        const QByteArrayView stored = r.name;
        const qsizetype slash = stored.lastIndexOf('/');
        const QByteArrayView folder = stored.first(slash + 1);
        const QByteArrayView name = stored.sliced(slash + 1);
        e.folderPath = intern(folder, r.asciiName);
        e.name = r.asciiName ? QString::fromLatin1(name) : QString::fromUtf8(name);
        const qsizetype dot = name.lastIndexOf('.');
        if (dot >= 0) e.extension = intern(name.sliced(dot + 1), r.asciiName);
        e.isFolder = name.isEmpty();
        e.size = qint64(r.size);
        e.compressedSize = qint64(r.compressedSize);
        e.crc = r.crc;
        e.encrypted = r.encrypted;
        const quint32 stamp = packDos(r.dosDate, r.dosTime);
        if (!haveLast || stamp != lastStamp) {
            lastTime = libzipEntryTime(r.dosDate, r.dosTime);
            lastStamp = stamp;
            haveLast = true;
        }
        setTimeAndMode(e, lastTime, r.exactMtime, r.madeOnUnix, r.attributes);
        m_totalBytes = e.size > kMaxSize - m_totalBytes ? kMaxSize : m_totalBytes + e.size;
        m_entries.push_back(std::move(e));
    };
    const bool read = statted && readPlainDirectory(fd, qint64(st.st_size), add, &comment);
    ::close(fd);
    if (!read) {
        m_entries.clear();
        m_totalBytes = 0;
        return false;
    }
    m_comment = comment;
    return true;
}

bool ZipPackage::Impl::ensureHandle() {
    if (m_zip || !m_handleDeferred) return m_zip != nullptr;
    int code = 0;
    m_zip.reset(zip_open(NativePath::encode(m_path).constData(), ZIP_RDONLY, &code));
    if (!m_zip) {
        m_lastError = QStringLiteral("Cannot open %1: %2.").arg(NativePath::display(m_path), zipErrorText(code, errno));
        return false;
    }
    m_handleDeferred = false;
    return true;
}

ExtractRequest ZipPackage::Impl::readRequest(const QString& password, const ZipProgressCallback& progress,
                                             const CancelToken& cancel) {
    ExtractRequest request;
    request.packagePath = m_path;
    if (m_joined)
        request.openAnother = [joined = m_joined] {
            int code = 0;
            return joined->openArchive(&code);
        };
    request.zip = m_zip.get();
    request.entries = &m_entries;
    request.password = password.toUtf8();
    request.progress = progress;
    request.cancel = &cancel;
    request.runDone = &m_runDone;
    request.runTotal = &m_runTotal;
    return request;
}

int ZipPackage::Impl::extract(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                              const ExtractOptions& options, const CancelToken& cancel,
                              const ZipProgressCallback& progress, ExtractReport* report, bool allowSecondWorker) {
    if (!ensureHandle()) return kZipFailed;
    ExtractRequest request = readRequest(password, progress, cancel);
    request.indices = std::move(indices);
    request.targetFolder = targetFolder;
    request.options = options;
    request.allowSecondWorker = allowSecondWorker;
    ExtractOutcome outcome = runExtraction(request);
    if (report) *report = outcome.report;
    m_lastError = outcome.message;
    return outcome.result;
}

ZipPackage::ZipPackage() : d(std::make_unique<Impl>()) {}
ZipPackage::~ZipPackage() = default;

// --- reading ---

int ZipPackage::zOpenZipFile(const QString& path, OpenPurpose purpose) {
    zCloseZipFile();
    d->m_lastError.clear();
    d->m_spanned = false;
    // A rebuild of a spanned package that a kill interrupted is only reported: reading changes nothing on disk,
    // and the next build or update of the package completes it.
    d->m_notice = hasInterruptedRebuild(path)
                      ? QStringLiteral("%1: an interrupted rebuild of this package was found; building or updating "
                                       "it finishes the repair")
                            .arg(NativePath::display(path))
                      : QString();
    const QString absolute = FileOps::absolutePath(path);
    const QString shown = NativePath::display(path);
    // Checked by stat before anything opens it: opening a named pipe would wait for a writer for ever.
    struct stat st;
    if (::stat(NativePath::encode(path).constData(), &st) != 0) {
        if (errno == ENOENT) return d->fail(QStringLiteral("Cannot open %1: the file does not exist.").arg(shown));
        return d->fail(QStringLiteral("Cannot open %1: %2.").arg(shown, SystemError::errorText(errno)));
    }
    if (S_ISDIR(st.st_mode))
        return d->fail(QStringLiteral("Cannot open %1: it is a folder, not a zip package.").arg(shown));
    if (!S_ISREG(st.st_mode))
        return d->fail(
            QStringLiteral(
                "Cannot open %1: it is not a regular file (a pipe, socket or device), so it is no zip package.")
                .arg(shown));
    // libzip takes an empty file for an empty package; for us it is a broken download or a stray file.
    if (st.st_size == 0) return d->fail(QStringLiteral("%1 is not a zip package: the file is empty.").arg(shown));
    const quint32 volumes = volumeCountOf(path);
    if (volumes == 0)
        return d->fail(QStringLiteral("%1 is not a zip package, or it is damaged or truncated.").arg(shown));

    const auto refuseOverlap = [&](const QString& overlap) {
        return d->fail(
            QStringLiteral("%1 is refused: %2, the mark of a zip bomb that unpacks the same data many times over.")
                .arg(shown, overlap));
    };
    if (volumes == 1)
        if (const QString overlap = overlapIn(path); !overlap.isEmpty()) return refuseOverlap(overlap);

    if (volumes == 1 && purpose == OpenPurpose::Listing && d->readDirectory(path)) {
        d->m_selected.assign(d->m_entries.size(), 0);
        d->m_selectedCount = 0;
        d->m_path = absolute;
        d->m_handleDeferred = true;
        return kZipOk;
    }

    int code = 0;
    ZipHandle zip;
    std::shared_ptr<JoinedPackage> joined;
    if (volumes > 1) {
        // libzip reads single-file packages only; the volumes are joined for it on the fly.
        d->m_spanned = true;
        QString why;
        joined = JoinedPackage::open(absolute, &why);
        if (!joined)
            return d->fail(QStringLiteral("Cannot open %1, the last volume of a spanned package: %2.").arg(shown, why));
        const QString overlap = overlappingEntries(
            [&joined](quint32, quint64 offset, qint64 length) {
                QByteArray bytes(length, Qt::Uninitialized);
                bytes.truncate(std::max<qint64>(joined->readAt(qint64(offset), bytes.data(), length), 0));
                return bytes;
            },
            joined->size());
        if (!overlap.isEmpty()) return refuseOverlap(overlap);
        zip.reset(joined->openArchive(&code));
        if (!zip)
            return d->fail(QStringLiteral("Cannot open the spanned package %1: %2.").arg(shown, zipErrorText(code)));
    } else {
        zip.reset(zip_open(NativePath::encode(path).constData(), ZIP_RDONLY, &code));
        // libzip refuses a whole package when one name flagged as UTF-8 holds a control character; other programs
        // write such names (Python's zipfile) and read them, so the package is read with those names as bytes.
        if (!zip && code == ZIP_ER_INCONS) {
            QString why;
            joined = JoinedPackage::open(absolute, &why, true);
            int again = 0;
            if (joined) zip.reset(joined->openArchive(&again));
            if (!zip) joined.reset();
        }
    }
    if (!zip) {
        const int systemCode = errno;
        if (code == ZIP_ER_NOZIP)
            return d->fail(QStringLiteral("%1 is not a zip package, or it is damaged or truncated.").arg(shown));
        return d->fail(QStringLiteral("Cannot open %1: %2.").arg(shown, zipErrorText(code, systemCode)));
    }
    QString error;
    if (!d->readEntries(zip.get(), &error)) {
        d->m_entries.clear();
        return d->fail(QStringLiteral("Cannot read the contents of %1: %2.").arg(shown, error));
    }
    int commentLength = 0;
    // A comment whose bytes are UTF-8 (ASCII with a BEL or ESC among them included) is read as such; libzip would
    // take the control characters for CP437 and turn them into pictures.
    const char* raw = zip_get_archive_comment(zip.get(), &commentLength, ZIP_FL_ENC_RAW);
    const QByteArrayView rawComment(raw, raw ? commentLength : 0);
    const char* comment = zip_get_archive_comment(zip.get(), &commentLength, 0);
    d->m_comment = !NativePath::hasRawBytes(NativePath::decode(rawComment)) ? QString::fromUtf8(rawComment)
                   : comment                                                ? QString::fromUtf8(comment, commentLength)
                                                                            : QString();
    d->m_selected.assign(d->m_entries.size(), 0);
    d->m_selectedCount = 0;
    d->m_path = absolute;
    d->m_zip = std::move(zip);
    d->m_joined = std::move(joined);
    return kZipOk;
}

void ZipPackage::zCloseZipFile() {
    d->m_zip.reset();
    d->m_handleDeferred = false;
    d->m_joined.reset();
    d->m_path.clear();
    d->m_entries.clear();
    d->m_selected.clear();
    d->m_selectedCount = 0;
    d->m_totalBytes = 0;
    d->m_comment.clear();
    d->m_newPath.clear();
    d->m_orders.clear();
    d->m_orderIndex.clear();
}

bool ZipPackage::isOpen() const {
    return d->m_zip != nullptr || d->m_handleDeferred;
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
QString ZipPackage::zOpenNotice() const {
    return d->m_notice;
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
    if (d->m_spanned)
        return d->fail(QStringLiteral("Cannot delete from %1: it is a spanned package. Join its volumes with "
                                      "zip -s 0 first.")
                           .arg(d->m_path));
    const QString path = d->m_path;
    if (!d->ensureHandle()) return kZipFailed;
    const WriteOutcome outcome = deleteEntries(path, d->m_zip.get(), d->m_entries, d->m_selected);
    if (outcome.result != kZipOk) return d->fail(outcome.message);
    return zOpenZipFile(path);
}

// --- extraction ---

int ZipPackage::zExtractOne(qint64 index, const QString& targetFolder, const QString& password,
                            const ExtractOptions& options, const CancelToken& cancel, ExtractReport* report,
                            const ZipProgressCallback& progress) {
    d->startRun();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    if (!d->valid(index))
        return d->fail(QStringLiteral("There is no entry number %1 in %2.").arg(index).arg(d->m_path));
    return d->extract({index}, targetFolder, password, options, cancel, progress, report, false);
}

int ZipPackage::zExtractAll(const QString& targetFolder, const QString& password, const ExtractOptions& options,
                            const CancelToken& cancel, const ZipProgressCallback& progress, ExtractReport* report) {
    d->startRun();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    std::vector<qint64> indices(d->m_entries.size());
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = qint64(i);
    return d->extract(std::move(indices), targetFolder, password, options, cancel, progress, report, true);
}

int ZipPackage::zTestAll(const QString& password, QStringList* failures, const CancelToken& cancel,
                         const ZipProgressCallback& progress) {
    d->startRun();
    if (failures) failures->clear();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    if (!d->ensureHandle()) return kZipFailed;
    ExtractRequest request = d->readRequest(password, progress, cancel);
    request.indices.resize(d->m_entries.size());
    for (size_t i = 0; i < request.indices.size(); ++i)
        request.indices[i] = qint64(i);
    request.testOnly = true;
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
    const bool creating = !isOpen();
    const QString target = creating ? d->m_newPath : d->m_path;
    if (target.isEmpty()) return d->fail(QStringLiteral("No package is open or being created."));
    if (!creating && d->m_spanned)
        return d->fail(QStringLiteral("Cannot update %1: it is a spanned package. Join its volumes with zip -s 0 "
                                      "first.")
                           .arg(target));
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
    request.runDone = &d->m_runDone;
    request.runTotal = &d->m_runTotal;
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

QString ZipPackage::zGetLastErrorAsText() const {
    return d->m_lastError;
}

void ZipPackage::zGetRunTimeInfo(qint64& done, qint64& total) const {
    done = d->m_runDone.load();
    total = d->m_runTotal.load();
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
