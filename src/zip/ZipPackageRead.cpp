// Reading packages over libzip. Browsing keeps one read-only handle and a cached copy of every entry's facts.
// Extracting and testing are ZipExtractor.h's work; spanned packages are read through JoinedPackage.h.

#include "RebuildJournal.h"
#include "ZipDirectory.h"
#include "ZipLayout.h"
#include "ZipPackageImpl.h"
#include "ZipSpan.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

bool ZipPackage::Impl::readThroughArchive(const QString& path) {
    QString why;
    if (!readArchiveEntries({path, nullptr}, &m_entries, &why)) {
        m_entries.clear();
        return false;
    }
    m_totalBytes = 0;
    for (const ZipEntry& e : m_entries)
        m_totalBytes = e.size > kMaxSize - m_totalBytes ? kMaxSize : m_totalBytes + e.size;
    m_comment.clear(); // libarchive does not give the package comment
    return true;
}

int ZipPackage::Impl::refuseChangeOfArchiveOnly(const QString& what) {
    if (!m_archiveOnly) return kZipOk;
    return fail(QStringLiteral("Cannot %1 %2: libzip, which makes this change, refuses the package as damaged; it can "
                               "still be listed, tested and extracted.")
                    .arg(what, NativePath::display(m_path)));
}

bool ZipPackage::Impl::ensureHandle() {
    if (m_archiveOnly) return true;
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
    request.archiveSource = {m_path, m_joined};
    request.entries = &m_entries;
    request.password = password.toUtf8();
    request.progress = progress;
    request.cancel = &cancel;
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
    // Extra fields other programs pass over (a last few bytes that form no whole field) make libzip refuse the
    // whole package; libarchive's reader reads such a package, and then reads it alone.
    // Only a package whose directory is whole, though: libarchive would otherwise read the entries from their
    // local headers alone and call a package with a broken directory sound.
    if (!zip && code == ZIP_ER_INCONS && volumes == 1 && directoryLiesInside(absolute) &&
        d->readThroughArchive(absolute)) {
        d->m_selected.assign(d->m_entries.size(), 0);
        d->m_selectedCount = 0;
        d->m_path = absolute;
        d->m_archiveOnly = true;
        return kZipOk;
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
    d->m_archiveOnly = false;
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

// --- extraction ---

int ZipPackage::zExtractOne(qint64 index, const QString& targetFolder, const QString& password,
                            const ExtractOptions& options, const CancelToken& cancel, ExtractReport* report,
                            const ZipProgressCallback& progress) {
    d->startRun();
    if (!d->isOpen()) return d->fail(QStringLiteral("No package is open."));
    if (!d->valid(index))
        return d->fail(QStringLiteral("There is no entry number %1 in %2.").arg(index).arg(d->m_path));
    return d->extract({index}, targetFolder, password, options, cancel, progress, report, false);
}

int ZipPackage::zExtractAll(const QString& targetFolder, const QString& password, const ExtractOptions& options,
                            const CancelToken& cancel, const ZipProgressCallback& progress, ExtractReport* report) {
    d->startRun();
    if (!d->isOpen()) return d->fail(QStringLiteral("No package is open."));
    std::vector<qint64> indices(d->m_entries.size());
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = qint64(i);
    return d->extract(std::move(indices), targetFolder, password, options, cancel, progress, report, true);
}

int ZipPackage::zExtractEntries(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                                const ExtractOptions& options, const CancelToken& cancel,
                                const ZipProgressCallback& progress, ExtractReport* report) {
    d->startRun();
    if (!d->isOpen()) return d->fail(QStringLiteral("No package is open."));
    for (const qint64 index : indices)
        if (index < 0 || size_t(index) >= d->m_entries.size())
            return d->fail(QStringLiteral("No entry %1 in the package.").arg(index));
    return d->extract(std::move(indices), targetFolder, password, options, cancel, progress, report, true);
}

int ZipPackage::zTestAll(const QString& password, QStringList* failures, const CancelToken& cancel,
                         const ZipProgressCallback& progress) {
    d->startRun();
    if (failures) failures->clear();
    if (!d->isOpen()) return d->fail(QStringLiteral("No package is open."));
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

QString ZipPackage::zGetLastErrorAsText() const {
    return d->m_lastError;
}
