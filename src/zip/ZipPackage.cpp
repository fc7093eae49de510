// The zip layer over libzip. Browsing keeps one read-only handle and a cached copy of every entry's facts, so the
// per-index getters cost nothing. Anything that changes a package opens a second, writable handle; libzip writes
// the new package to a temporary file beside the old one and renames it only when zip_close succeeds, and on any
// failure or cancel the handle is discarded, so the package on disk is either fully updated or untouched.
// Compressing happens on worker threads ahead of libzip (ZipPack.h); packages cut into volumes are written and
// read through ZipSpan.h, with the same rule: the old package and its volumes change only on success.

#include "ZipPackage.h"
#include "ZipDetail.h"
#include "ZipDirectory.h"
#include "ZipExtractor.h"
#include "ZipLayout.h"
#include "ZipPack.h"
#include "ZipSpan.h"
#include "utility/NativePath.h"
#include "utility/WorkFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryFile>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

using namespace zipdetail;

namespace {

constexpr qint64 kMaxSize = std::numeric_limits<qint64>::max();
// The extended timestamp extra field (Info-ZIP "UT"): flags, then the times the flags name, each 32-bit Unix time.
// Written with only the modification time; read from the central directory, where other writers put it too.
constexpr zip_uint16_t kExtendedTimestamp = 0x5455;

std::optional<qint64> exactMtime(zip_t* zip, zip_uint64_t index) {
    zip_uint16_t length = 0;
    const zip_uint8_t* data =
        zip_file_extra_field_get_by_id(zip, index, kExtendedTimestamp, 0, &length, ZIP_FL_CENTRAL);
    if (!data || length < 5 || !(data[0] & 1)) return std::nullopt;
    const quint32 time = quint32(data[1]) | quint32(data[2]) << 8 | quint32(data[3]) << 16 | quint32(data[4]) << 24;
    return qint64(qint32(time));
}

bool setExactMtime(zip_t* zip, zip_uint64_t index, time_t mtime) {
    // A replaced entry may still carry another writer's field (with access times); it gives way to ours.
    zip_file_extra_field_delete_by_id(zip, index, kExtendedTimestamp, ZIP_EXTRA_FIELD_ALL,
                                      ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
    const quint32 time = quint32(qint32(mtime));
    const zip_uint8_t field[5] = {1, zip_uint8_t(time), zip_uint8_t(time >> 8), zip_uint8_t(time >> 16),
                                  zip_uint8_t(time >> 24)};
    return zip_file_extra_field_set(zip, index, kExtendedTimestamp, ZIP_EXTRA_FIELD_NEW, field, sizeof field,
                                    ZIP_FL_LOCAL | ZIP_FL_CENTRAL) == 0;
}

QByteArray emptyPackageBytes(const QByteArray& comment) {
    QByteArray record(zipdetail::kEndRecordSize, '\0');
    record[0] = 'P';
    record[1] = 'K';
    record[2] = 5;
    record[3] = 6;
    const qsizetype length = std::min<qsizetype>(comment.size(), zipdetail::kMaxCommentSize);
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
    bool m_handleDeferred = false; // opened for listing: m_zip is opened when an operation first needs it
    QString m_path;
    std::vector<ZipEntry> m_entries;
    std::vector<char> m_selected;
    int m_selectedCount = 0;
    qint64 m_totalBytes = 0;
    QString m_comment;
    bool m_spanned = false;
    std::shared_ptr<JoinedPackage> m_joined; // the volumes of the open package when it is spanned
    QString m_newPath; // target of the next compress when no package is open
    std::vector<Order> m_orders;
    QHash<QString, size_t> m_orderIndex; // stored name -> place in m_orders, so ordering stays linear
    QString m_lastError;
    std::atomic<bool> m_cancel{false};
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
        m_cancel = false;
        m_runDone = 0;
        m_runTotal = 0;
        m_lastError.clear();
    }
    bool readEntries(zip_t* zip, QString* error);
    bool readDirectory(const QString& path);
    bool ensureHandle();
    int extract(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                const ExtractOptions& options, const ZipProgressCallback& progress, ExtractReport* report,
                bool allowSecondWorker);
};

namespace {

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
    m_zip.reset(zip_open(QFile::encodeName(m_path).constData(), ZIP_RDONLY, &code));
    if (!m_zip) {
        m_lastError = QStringLiteral("Cannot open %1: %2.").arg(m_path, zipErrorText(code, errno));
        return false;
    }
    m_handleDeferred = false;
    return true;
}

int ZipPackage::Impl::extract(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                              const ExtractOptions& options, const ZipProgressCallback& progress, ExtractReport* report,
                              bool allowSecondWorker) {
    if (!ensureHandle()) return kZipFailed;
    ExtractRequest request;
    request.packagePath = m_path;
    if (m_joined) request.openAnother = [joined = m_joined] {
        int code = 0;
        return joined->openArchive(&code);
    };
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

int ZipPackage::zOpenZipFile(const QString& path, OpenPurpose purpose) {
    zCloseZipFile();
    d->m_lastError.clear();
    d->m_spanned = false;
    // A rebuild of a spanned package that a kill interrupted is completed (or dropped) before anything is read.
    recoverRebuilds(QFileInfo(WorkFiles::realTarget(path)).absolutePath());
    const QFileInfo info(path);
    // Checked by stat before anything opens it: opening a named pipe would wait for a writer for ever.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT) return d->fail(QStringLiteral("Cannot open %1: the file does not exist.").arg(path));
        return d->fail(QStringLiteral("Cannot open %1: %2.").arg(path, systemErrorText(errno)));
    }
    if (S_ISDIR(st.st_mode))
        return d->fail(QStringLiteral("Cannot open %1: it is a folder, not a zip package.").arg(path));
    if (!S_ISREG(st.st_mode))
        return d->fail(
            QStringLiteral(
                "Cannot open %1: it is not a regular file (a pipe, socket or device), so it is no zip package.")
                .arg(path));
    // libzip takes an empty file for an empty package; for us it is a broken download or a stray file.
    if (st.st_size == 0) return d->fail(QStringLiteral("%1 is not a zip package: the file is empty.").arg(path));
    const quint32 volumes = volumeCountOf(path);
    if (volumes == 0) return d->fail(QStringLiteral("%1 is not a zip package, or it is damaged or truncated.").arg(path));

    if (volumes == 1 && purpose == OpenPurpose::Listing && d->readDirectory(path)) {
        d->m_selected.assign(d->m_entries.size(), 0);
        d->m_selectedCount = 0;
        d->m_path = info.absoluteFilePath();
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
        joined = JoinedPackage::open(info.absoluteFilePath(), &why);
        if (!joined)
            return d->fail(QStringLiteral("Cannot open %1, the last volume of a spanned package: %2.").arg(path, why));
        zip.reset(joined->openArchive(&code));
        if (!zip)
            return d->fail(QStringLiteral("Cannot open the spanned package %1: %2.").arg(path, zipErrorText(code)));
    } else {
        zip.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    }
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
    // The smaller package is made in a work file beside the real package and renamed over it when complete.
    Result<WorkFile> reserved = WorkFile::beside(path);
    if (!reserved.ok()) return d->fail(reserved.message());
    WorkFile work = std::move(reserved.value());

    if (d->m_selectedCount == int(d->m_entries.size())) {
        // libzip removes a package left without entries; we keep an empty package (and its comment) instead.
        if (!d->ensureHandle()) return kZipFailed;
        int length = 0;
        const char* raw = zip_get_archive_comment(d->m_zip.get(), &length, ZIP_FL_ENC_RAW);
        Status written = work.write(emptyPackageBytes(raw ? QByteArray(raw, length) : QByteArray()));
        if (written) written = work.commit();
        if (!written) return d->fail(written.message() + QLatin1Char('.'));
        return zOpenZipFile(path);
    }

    // The work file starts as the package (a hard link: libzip replaces the file it writes, never changes it).
    work.closeFd();
    const QByteArray nativePath = QFile::encodeName(work.path());
    ::unlink(nativePath.constData());
    if (::link(QFile::encodeName(work.target()).constData(), nativePath.constData()) != 0 &&
        !QFile::copy(work.target(), work.path()))
        return d->fail(QStringLiteral("Cannot write beside %1: %2.").arg(path, systemErrorText(errno)));
    int code = 0;
    ZipHandle writer(zip_open(nativePath.constData(), 0, &code));
    if (!writer) return d->fail(QStringLiteral("Cannot change %1: %2.").arg(path, zipErrorText(code, errno)));
    for (size_t i = 0; i < d->m_selected.size(); ++i) {
        if (d->m_selected[i] && zip_delete(writer.get(), zip_uint64_t(i)) != 0)
            return d->fail(QStringLiteral("Cannot delete %1 from %2: %3.")
                               .arg(d->m_entries[i].storedName(), path, zipErrorText(zip_get_error(writer.get()))));
    }
    if (zip_close(writer.get()) != 0)
        return d->fail(QStringLiteral("Cannot write %1: %2. The package was left as it was.")
                           .arg(path, zipErrorText(zip_get_error(writer.get()))));
    writer.release(); // zip_close has freed it
    if (const Status placed = work.commit(); !placed)
        return d->fail(placed.message() + QStringLiteral(". The package was left as it was."));
    return zOpenZipFile(path);
}

// --- extraction ---

int ZipPackage::zExtractOne(qint64 index, const QString& targetFolder, const QString& password,
                            const ExtractOptions& options, ExtractReport* report, const ZipProgressCallback& progress) {
    d->startRun();
    if (!isOpen()) return d->fail(QStringLiteral("No package is open."));
    if (!d->valid(index))
        return d->fail(QStringLiteral("There is no entry number %1 in %2.").arg(index).arg(d->m_path));
    return d->extract({index}, targetFolder, password, options, progress, report, false);
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
    if (!d->ensureHandle()) return kZipFailed;
    ExtractRequest request;
    request.packagePath = d->m_path;
    if (d->m_joined) request.openAnother = [joined = d->m_joined] {
        int code = 0;
        return joined->openArchive(&code);
    };
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
    Impl::Order order{info.absoluteFilePath(), name, code};
    const auto queued = d->m_orderIndex.constFind(name);
    if (queued != d->m_orderIndex.constEnd()) {
        d->m_orders[*queued] = order; // the later order for one stored name wins, as it would if added one by one
        return kZipOk;
    }
    d->m_orderIndex.insert(name, d->m_orders.size());
    d->m_orders.push_back(std::move(order));
    return kZipOk;
}

int ZipPackage::orderedCount() const {
    return int(d->m_orders.size());
}

namespace {

/// Progress of a compress, reported on the caller's thread: at most every 25 ms unless forced.
class CompressReporter {
  public:
    CompressReporter(std::atomic<bool>& cancel, std::atomic<qint64>& runDone, const ZipProgressCallback& progress,
                     qint64 filesTotal, qint64 bytesTotal)
        : m_cancel(cancel), m_runDone(runDone), m_progress(progress), m_filesTotal(filesTotal),
          m_bytesTotal(bytesTotal) {}

    void setPipeline(const PackPipeline* pipeline, qint64 entriesOutside) {
        m_pipeline = pipeline;
        m_entriesOutside = entriesOutside;
    }
    /// libzip's own measure (share of entries written) where no pipeline counts bytes.
    void setLibzipFraction(double fraction) { m_fraction = fraction; }
    bool pipelineDone() const { return m_pipeline && m_pipeline->allDelivered(); }

    void report(bool force) {
        qint64 bytes = 0, files = 0;
        if (m_pipeline) {
            bytes = m_pipeline->bytesDone();
            files = std::min(m_filesTotal, m_pipeline->filesDone() + m_entriesOutside);
        } else {
            bytes = qint64(m_fraction * double(m_bytesTotal));
            files = qint64(m_fraction * double(m_filesTotal));
        }
        m_runDone = bytes;
        if (!m_progress) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && m_reported && now - m_last < std::chrono::milliseconds(25)) return;
        m_last = now;
        m_reported = true;
        if (!m_progress(ZipProgress{files, m_filesTotal, bytes, m_bytesTotal})) m_cancel = true;
    }

  private:
    std::atomic<bool>& m_cancel;
    std::atomic<qint64>& m_runDone;
    const ZipProgressCallback& m_progress;
    qint64 m_filesTotal;
    qint64 m_bytesTotal;
    const PackPipeline* m_pipeline = nullptr;
    qint64 m_entriesOutside = 0;
    double m_fraction = 0;
    bool m_reported = false;
    std::chrono::steady_clock::time_point m_last{};
};

} // namespace

int ZipPackage::zCompressFiles(const QString& tempFolder, const QString& password, CompressionLevel level,
                               bool resetArchiveFlag, qint64 volumeSize, const QString& comment,
                               const ZipProgressCallback& progress) {
    // Every new file is written beside the package so the final renames cannot cross file systems.
    Q_UNUSED(tempFolder);
    Q_UNUSED(resetArchiveFlag);
    d->startRun();
    d->m_written = 0;
    if (volumeSize > 0 && volumeSize < kMinVolumeSize)
        return d->fail(QStringLiteral("The volume size of %1 bytes is too small: volumes must hold at least %2 bytes "
                                      "(64 KiB).")
                           .arg(volumeSize)
                           .arg(kMinVolumeSize));
    const bool creating = !isOpen();
    const QString target = creating ? d->m_newPath : d->m_path;
    if (target.isEmpty()) return d->fail(QStringLiteral("No package is open or being created."));
    if (!creating && d->m_spanned)
        return d->fail(QStringLiteral("Cannot update %1: it is a spanned package. Join its volumes with zip -s 0 "
                                      "first.")
                           .arg(target));
    if (creating && d->m_orders.empty())
        return d->fail(QStringLiteral("Nothing to write into %1: no files were ordered.").arg(target));

    // Spanning, automatic or by size, decides only once the package is built: libzip writes an ordinary package
    // into a work file beside the target, which then either takes the target's name or is cut into volumes.
    // Automatic spanning compares the package with the space that was free on the target's file system before the
    // build: a package that fits stays one ordinary file, one that does not is cut into volumes as large as that
    // free space, so that the first volume fills the disk and the rest can go elsewhere.
    const bool mayBeSplit = volumeSize >= 0;
    const quint32 oldVolumes = volumeCountOf(WorkFiles::realTarget(target));
    const qint64 freeBefore = volumeSize == 0 ? freeBytesAt(QFileInfo(target).absolutePath()) : -1;
    // The new package is written into a work file beside the real target (the file a link at target names), which
    // takes the target's place with one rename, or is cut into volumes, only when everything succeeded.
    Result<WorkFile> reserved = WorkFile::beside(target);
    if (!reserved.ok()) return d->fail(reserved.message());
    WorkFile work = std::move(reserved.value());
    work.closeFd();
    const QString writePath = work.path();
    if (!creating) {
        // The work file starts as the old package; a hard link costs nothing, and libzip never writes into the file
        // it read but replaces it, so the old package stays as it is.
        const QByteArray from = QFile::encodeName(work.target()), to = QFile::encodeName(writePath);
        ::unlink(to.constData());
        if (::link(from.constData(), to.constData()) != 0 && !QFile::copy(work.target(), writePath))
            return d->fail(QStringLiteral("Cannot write beside %1: %2.").arg(target, systemErrorText(errno)));
    }

    // Declared before the libzip handle: libzip calls into the pipeline's sources until the handle is gone, and
    // reads the links' targets from these buffers.
    std::unique_ptr<PackPipeline> pipeline;
    std::deque<QByteArray> linkTargets;
    std::unique_ptr<CompressReporter> reporter;
    if (level != CompressionLevel::None)
        pipeline = std::make_unique<PackPipeline>(level, &d->m_cancel, [&](bool force) { reporter->report(force); });

    int code = 0;
    ZipHandle writer(
        zip_open(QFile::encodeName(writePath).constData(), creating ? (ZIP_CREATE | ZIP_TRUNCATE) : 0, &code));
    if (!writer) return d->fail(QStringLiteral("Cannot write %1: %2.").arg(target, zipErrorText(code, errno)));
    zip_t* zip = writer.get();

    QHash<QString, qint64> present;
    if (!creating) {
        present.reserve(qsizetype(d->m_entries.size()));
        for (size_t i = 0; i < d->m_entries.size(); ++i)
            present.insert(d->m_entries[i].storedName(), qint64(i));
    }
    const QString targetCanonical = QFileInfo(target).canonicalFilePath();
    const QByteArray passwordBytes = password.toUtf8();
    const auto libzipFailure = [&](const QString& file) {
        return d->fail(QStringLiteral("Cannot add %1 to %2: %3.").arg(file, target, zipErrorText(zip_get_error(zip))));
    };

    qint64 bytesTotal = 0;
    qint64 filesTotal = 0;
    qint64 folders = 0;
    for (const Impl::Order& order : d->m_orders) {
        const QByteArray nativeFile = NativePath::encode(order.filePath);
        const QString shownFile = NativePath::display(order.filePath);
        struct stat st;
        if (::lstat(nativeFile.constData(), &st) != 0 || (S_ISREG(st.st_mode) && ::access(nativeFile, R_OK) != 0))
            return d->fail(QStringLiteral("Cannot read %1: %2.").arg(shownFile, systemErrorText(errno)));
        const bool isDir = S_ISDIR(st.st_mode);
        const bool isLink = S_ISLNK(st.st_mode);
        if (!isDir && !isLink && !S_ISREG(st.st_mode))
            return d->fail(QStringLiteral("Cannot add %1: it is not a file, a folder or a link.").arg(shownFile));
        if (!isLink && !targetCanonical.isEmpty() && QFileInfo(order.filePath).canonicalFilePath() == targetCanonical)
            continue; // a package never goes into itself
        const auto found = present.constFind(order.storedName);
        const bool exists = found != present.constEnd();
        if (order.code == UpdateCode::Freshen && !exists) continue;
        if (exists && order.code != UpdateCode::AddReplace) {
            // Compared to the second when the entry carries its exact time; otherwise at the 2-second steps of the
            // DOS time it keeps, so an unchanged file never looks newer.
            const ZipEntry& e = d->m_entries[size_t(*found)];
            const std::optional<qint64> exact = exactMtime(zip, zip_uint64_t(*found));
            if (exact ? qint64(st.st_mtime) <= *exact : packedDosOf(st.st_mtime) <= packDos(e.dosDate, e.dosTime))
                continue;
        }
        // A name that is not UTF-8 is stored as its bytes, without the UTF-8 flag, as Info-ZIP does on Unix.
        const QByteArray storedName = NativePath::encode(order.storedName);
        const zip_flags_t nameEncoding = NativePath::hasRawBytes(order.storedName) ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_UTF_8;
        zip_int64_t index = -1;
        if (isDir) {
            if (exists) continue;
            index = zip_dir_add(zip, storedName.constData(), nameEncoding);
            if (index < 0) return libzipFailure(order.filePath);
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             (zip_uint32_t(st.st_mode & 0xFFFF) << 16) | 0x10);
            ++folders;
        } else {
            size_t job = 0;
            zip_source_t* source = nullptr;
            if (isLink) {
                // A link's entry holds the path it points to, as Info-ZIP stores links.
                QByteArray& linked = linkTargets.emplace_back(qsizetype(st.st_size) + 1, Qt::Uninitialized);
                const ssize_t length = ::readlink(nativeFile.constData(), linked.data(), size_t(linked.size()));
                if (length < 0)
                    return d->fail(QStringLiteral("Cannot read %1: %2.").arg(shownFile, systemErrorText(errno)));
                linked.truncate(qsizetype(length));
                source = zip_source_buffer(zip, linked.constData(), zip_uint64_t(linked.size()), 0);
            } else {
                source = pipeline ? pipeline->addFile(zip, nativeFile, shownFile, qint64(st.st_size), st.st_mtime, &job)
                                  : zip_source_file(zip, nativeFile.constData(), 0, -1);
            }
            if (!source) return libzipFailure(shownFile);
            if (exists) {
                index = *found;
                if (zip_file_replace(zip, zip_uint64_t(index), source, 0) != 0) {
                    zip_source_free(source);
                    return libzipFailure(order.filePath);
                }
            } else {
                // Marked UTF-8 so libzip sets the UTF-8 flag on names that are not plain ASCII.
                index = zip_file_add(zip, storedName.constData(), source, nameEncoding);
                if (index < 0) {
                    zip_source_free(source);
                    return libzipFailure(order.filePath);
                }
            }
            if (pipeline && !isLink) {
                // The entry keeps libzip's default method, which makes libzip take the deflated bytes as they come.
                pipeline->setIndex(job, index);
            } else if (zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0) != 0) {
                return libzipFailure(order.filePath);
            }
            // libzip encrypts whatever the source gives, deflated bytes included.
            if (!passwordBytes.isEmpty() &&
                zip_file_set_encryption(zip, zip_uint64_t(index), ZIP_EM_AES_256, passwordBytes.constData()) != 0)
                return libzipFailure(order.filePath);
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(isLink ? (S_IFLNK | 0777) : (st.st_mode & 0xFFFF)) << 16);
            if (isLink)
                ++folders; // written by libzip itself, outside the pipeline's count
            else
                bytesTotal += st.st_size;
        }
        zip_file_set_mtime(zip, zip_uint64_t(index), st.st_mtime, 0);
        if (!setExactMtime(zip, zip_uint64_t(index), st.st_mtime)) return libzipFailure(order.filePath);
        ++filesTotal;
    }

    // An empty comment leaves the package's comment alone, so adding files never wipes it by accident.
    const bool commentChanges = !comment.isEmpty() && comment != d->m_comment;
    if (commentChanges) {
        const QByteArray bytes = comment.toUtf8().left(zipdetail::kMaxCommentSize);
        if (zip_set_archive_comment(zip, bytes.constData(), zip_uint16_t(bytes.size())) != 0)
            return d->fail(
                QStringLiteral("Cannot set the comment of %1: %2.").arg(target, zipErrorText(zip_get_error(zip))));
    }
    if (filesTotal == 0 && !commentChanges) {
        d->m_orders.clear();
        d->m_orderIndex.clear();
        if (creating) return d->fail(QStringLiteral("No files were added, so %1 was not written.").arg(target));
        return kZipOk; // nothing was newer: the package stays exactly as it was
    }

    d->m_runTotal = bytesTotal;
    reporter = std::make_unique<CompressReporter>(d->m_cancel, d->m_runDone, progress, filesTotal, bytesTotal);
    reporter->setPipeline(pipeline.get(), folders);
    zip_register_progress_callback_with_state(
        zip, 0.001,
        [](zip_t*, double fraction, void* state) {
            auto* r = static_cast<CompressReporter*>(state);
            r->setLibzipFraction(fraction);
            // Once the pipeline has delivered everything, libzip only copies old entries and writes the
            // directory; those reports would add nothing but a chance to cancel a finished job.
            if (!r->pipelineDone()) r->report(false);
        },
        nullptr, reporter.get());
    zip_register_cancel_callback_with_state(
        zip, [](zip_t*, void* state) { return static_cast<Impl*>(state)->m_cancel.load() ? 1 : 0; }, nullptr,
        d.get());

    const QString leftAlone = creating ? QStringLiteral("%1 was not written.").arg(target)
                                       : QStringLiteral("%1 was left as it was.").arg(target);
    reporter->report(true);
    if (pipeline) pipeline->start();
    const int closed = d->m_cancel ? -1 : zip_close(zip);
    if (closed != 0) {
        const int closeCode = d->m_cancel ? ZIP_ER_CANCELLED : zip_error_code_zip(zip_get_error(zip));
        const QString why = zipErrorText(zip_get_error(zip));
        const QString unreadable = pipeline ? pipeline->failure() : QString();
        writer.reset(); // discards: libzip has already removed its temporary file
        if (pipeline) pipeline->stop();
        if (!unreadable.isEmpty()) return d->fail(unreadable + QLatin1Char(' ') + leftAlone);
        if (closeCode == ZIP_ER_CANCELLED || d->m_cancel) {
            d->m_lastError = QStringLiteral("Cancelled: ") + leftAlone;
            return kZipCancelled;
        }
        return d->fail(creating ? QStringLiteral("Cannot write %1: %2.").arg(target, why)
                                : QStringLiteral("Cannot write %1: %2. The package was left as it was.")
                                      .arg(target, why));
    }
    writer.release(); // zip_close has freed it
    if (pipeline) pipeline->stop();

    quint32 newVolumes = 1;
    const qint64 size = QFileInfo(writePath).size();
    const qint64 perVolume = !mayBeSplit ? -1 : volumeSize > 0 ? volumeSize : automaticVolumeSize(size, freeBefore);
    {
        if (perVolume < 0 || size <= perVolume) {
            // Fits in one volume: an ordinary package, as other zip programs make in that case too.
            if (const Status placed = work.commit(); !placed)
                return d->fail(placed.message() + QStringLiteral(". ") + leftAlone);
        } else {
            const SplitOutcome split = splitPackage(writePath, work.target(), perVolume, [&] {
                reporter->report(true);
                return !d->m_cancel.load();
            });
            if (split.result != kZipOk) {
                d->m_lastError = split.result == kZipCancelled ? QStringLiteral("Cancelled: ") + leftAlone
                                                               : split.message + QLatin1Char(' ') + leftAlone;
                return split.result;
            }
            newVolumes = split.volumes;
        }
    }
    // Volumes of the package this one replaced that the new one did not overwrite would only mislead.
    if (oldVolumes > newVolumes) removeVolumes(work.target(), newVolumes, oldVolumes - 1);
    d->m_orders.clear();
    d->m_orderIndex.clear();
    d->m_written = filesTotal;
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

void ZipPackage::zCancelOperation() {
    d->m_cancel = true;
}

int splitIntoVolumes(const QString& source, const QString& target, qint64 volumeSize, QString* error,
                     const std::function<bool()>& keepGoing) {
    if (error) error->clear();
    qint64 perVolume = volumeSize;
    if (volumeSize == 0) {
        // The source already takes its room on the target's file system; count it back in.
        const qint64 size = QFileInfo(source).size();
        const qint64 freeNow = freeBytesAt(QFileInfo(target).absolutePath());
        perVolume = automaticVolumeSize(size, freeNow < 0 ? -1 : freeNow + size);
        if (perVolume < 0) return -1;
    }
    const SplitOutcome split = splitPackage(source, target, perVolume, [&] { return !keepGoing || keepGoing(); });
    if (split.result == kZipOk) return int(split.volumes);
    if (error) *error = split.result == kZipCancelled ? QString() : split.message;
    return 0;
}

bool recoverSpannedRebuild(const QString& folder) {
    return recoverRebuilds(folder);
}

void setSpannedRebuildSeam(std::function<void(const char*)> seam) {
    setRebuildSeam(std::move(seam));
}

int packageVolumeCount(const QString& path) { return int(volumeCountOf(path)); }

void removeEarlierVolumes(const QString& lastVolume, int volumeCount) {
    if (volumeCount > 1) removeVolumes(lastVolume, 1, quint32(volumeCount - 1));
}
