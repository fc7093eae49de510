// Writing packages through libzip; see ZipWriter.h for the rules every write follows.

#include "ZipWriter.h"
#include "ZipDetail.h"
#include "ZipLayout.h"
#include "ZipPack.h"
#include "ZipSpan.h"
#include "utility/NativePath.h"
#include "utility/WorkFile.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace zipdetail {

namespace {

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

WriteOutcome failure(const QString& message) {
    WriteOutcome out;
    out.result = kZipFailed;
    out.message = message;
    return out;
}

/// Makes the work file start as the package it replaces. A hard link costs nothing, and libzip never writes into
/// the file it read but replaces it, so the old package stays as it is.
bool linkOldPackage(const WorkFile& work) {
    const QByteArray from = NativePath::encode(work.target()), to = NativePath::encode(work.path());
    ::unlink(to.constData());
    return ::link(from.constData(), to.constData()) == 0 || QFile::copy(work.target(), work.path());
}

/// Progress of a compress, reported on the caller's thread: at most every 25 ms unless forced.
class CompressReporter {
  public:
    CompressReporter(const ZipProgressCallback& progress, qint64 filesTotal, qint64 bytesTotal)
        : m_progress(progress), m_filesTotal(filesTotal), m_bytesTotal(bytesTotal) {}

    void setPipeline(const PackPipeline* pipeline, qint64 entriesOutside) {
        m_pipeline = pipeline;
        m_entriesOutside = entriesOutside;
    }
    /// libzip's own measure (share of entries written) where no pipeline counts bytes.
    void setLibzipFraction(double fraction) { m_fraction = fraction; }
    bool pipelineDone() const { return m_pipeline && m_pipeline->allDelivered(); }

    void report(bool force) {
        if (!m_progress) return;
        qint64 bytes = 0, files = 0;
        if (m_pipeline) {
            bytes = m_pipeline->bytesDone();
            files = std::min(m_filesTotal, m_pipeline->filesDone() + m_entriesOutside);
        } else {
            bytes = qint64(m_fraction * double(m_bytesTotal));
            files = qint64(m_fraction * double(m_filesTotal));
        }
        const auto now = std::chrono::steady_clock::now();
        if (!force && m_reported && now - m_last < std::chrono::milliseconds(25)) return;
        m_last = now;
        m_reported = true;
        m_progress(ZipProgress{files, m_filesTotal, bytes, m_bytesTotal});
    }

  private:
    const ZipProgressCallback& m_progress;
    qint64 m_filesTotal;
    qint64 m_bytesTotal;
    const PackPipeline* m_pipeline = nullptr;
    qint64 m_entriesOutside = 0;
    double m_fraction = 0;
    bool m_reported = false;
    std::chrono::steady_clock::time_point m_last{};
};

/// One compress: opens the work file with libzip, adds the orders as entries, closes and puts it in place.
class Compression {
  public:
    explicit Compression(const CompressRequest& request) : m_req(request) {}
    WriteOutcome run();

  private:
    struct FileFacts {
        QByteArray native;
        QString shown;
        struct stat st;
    };
    enum class Added { Yes, Skipped, Failed };

    bool openWork();
    bool addAll();
    Added addOrder(const WriteOrder& order);
    bool isUnchanged(const struct stat& st, qint64 index) const;
    bool addFolder(const WriteOrder& order, const FileFacts& file, zip_flags_t encoding, zip_int64_t* index);
    bool addFile(const WriteOrder& order, const FileFacts& file, zip_flags_t encoding, qint64 existing,
                 zip_int64_t* index);
    zip_source_t* sourceFor(const FileFacts& file, bool isLink, size_t* job);
    bool setComment();
    void watchProgress();
    bool closePackage();
    bool place();

    bool fail(const QString& message) {
        m_out = failure(message);
        return false;
    }
    bool libzipFailure(const QString& file) {
        return fail(QStringLiteral("Cannot add %1 to %2: %3.")
                        .arg(file, m_req.target, zipErrorText(zip_get_error(m_writer.get()))));
    }
    QString leftAlone() const {
        return m_req.creating ? QStringLiteral("%1 was not written.").arg(m_req.target)
                              : QStringLiteral("%1 was left as it was.").arg(m_req.target);
    }

    const CompressRequest& m_req;
    WriteOutcome m_out;
    WorkFile m_work;
    quint32 m_oldVolumes = 0;
    // Declared before the libzip handle: libzip calls into the pipeline's sources until the handle is gone, and
    // reads the links' targets from these buffers.
    std::unique_ptr<PackPipeline> m_pipeline;
    std::deque<QByteArray> m_linkTargets;
    std::unique_ptr<CompressReporter> m_reporter;
    ZipHandle m_writer;
    QHash<QString, qint64> m_present; // stored name -> index of the entries already in the package
    // The package's identity: a file with the same device and inode is the package, by whatever path it is reached
    // (a linked folder, a second mount, a hard link), and is never added to itself.
    std::optional<std::pair<dev_t, ino_t>> m_targetId;
    bool m_commentChanges = false;
    qint64 m_bytesTotal = 0;
    qint64 m_filesTotal = 0;
    qint64 m_outsidePipeline = 0; // folders and links, which libzip writes itself
};

WriteOutcome Compression::run() {
    m_oldVolumes = volumeCountOf(WorkFiles::realTarget(m_req.target));
    if (!openWork() || !addAll() || !setComment()) return m_out;
    if (m_filesTotal == 0 && !m_commentChanges) {
        // Nothing was newer: the package stays exactly as it was.
        if (m_req.creating) fail(QStringLiteral("No files were added, so %1 was not written.").arg(m_req.target));
        m_out.ordersUsed = true;
        return m_out;
    }
    watchProgress();
    if (!closePackage() || !place()) return m_out;
    m_out.ordersUsed = true;
    m_out.written = m_filesTotal;
    m_out.changed = true;
    return m_out;
}

bool Compression::openWork() {
    // The new package is written into a work file beside the real target (the file a link at target names), which
    // takes the target's place with one rename only when everything succeeded.
    Result<WorkFile> reserved = WorkFile::beside(m_req.target);
    if (!reserved.ok()) return fail(reserved.message());
    m_work = std::move(reserved.value());
    m_work.closeFd();
    if (!m_req.creating && !linkOldPackage(m_work))
        return fail(QStringLiteral("Cannot write beside %1: %2.").arg(m_req.target, SystemError::errorText(errno)));
    if (m_req.level != CompressionLevel::None)
        m_pipeline = std::make_unique<PackPipeline>(m_req.level, *m_req.cancel,
                                                    [this](bool force) { m_reporter->report(force); });
    int code = 0;
    m_writer.reset(zip_open(NativePath::encode(m_work.path()).constData(),
                            m_req.creating ? (ZIP_CREATE | ZIP_TRUNCATE) : 0, &code));
    if (!m_writer) return fail(QStringLiteral("Cannot write %1: %2.").arg(m_req.target, zipErrorText(code, errno)));
    if (!m_req.creating) {
        m_present.reserve(qsizetype(m_req.entries->size()));
        for (size_t i = 0; i < m_req.entries->size(); ++i)
            m_present.insert((*m_req.entries)[i].storedName(), qint64(i));
    }
    if (struct stat target; ::stat(NativePath::encode(m_req.target).constData(), &target) == 0)
        m_targetId = std::pair(target.st_dev, target.st_ino);
    return true;
}

bool Compression::addAll() {
    for (const WriteOrder& order : *m_req.orders) {
        const Added added = addOrder(order);
        if (added == Added::Failed) return false;
        if (added == Added::Yes) ++m_filesTotal;
    }
    return true;
}

Compression::Added Compression::addOrder(const WriteOrder& order) {
    FileFacts file{NativePath::encode(order.filePath), NativePath::display(order.filePath), {}};
    struct stat& st = file.st;
    if (::lstat(file.native.constData(), &st) != 0 || (S_ISREG(st.st_mode) && ::access(file.native, R_OK) != 0)) {
        fail(QStringLiteral("Cannot read %1: %2.").arg(file.shown, SystemError::errorText(errno)));
        return Added::Failed;
    }
    const bool isDir = S_ISDIR(st.st_mode);
    const bool isLink = S_ISLNK(st.st_mode);
    if (!isDir && !isLink && !S_ISREG(st.st_mode)) {
        fail(QStringLiteral("Cannot add %1: it is not a file, a folder or a link.").arg(file.shown));
        return Added::Failed;
    }
    if (!isLink && m_targetId == std::pair(st.st_dev, st.st_ino)) return Added::Skipped;
    const auto found = m_present.constFind(order.storedName);
    const qint64 existing = found != m_present.constEnd() ? *found : -1;
    if (order.code == UpdateCode::Freshen && existing < 0) return Added::Skipped;
    if (existing >= 0 && order.code != UpdateCode::AddReplace && isUnchanged(st, existing)) return Added::Skipped;
    if (isDir && existing >= 0) return Added::Skipped;
    // One file whose name libzip would refuse as UTF-8 must not stop the backup of its folder.
    const zip_flags_t encoding = nameStoredAsBytes(order.storedName) ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_UTF_8;
    zip_int64_t index = -1;
    const bool added =
        isDir ? addFolder(order, file, encoding, &index) : addFile(order, file, encoding, existing, &index);
    if (!added) return Added::Failed;
    zip_file_set_mtime(m_writer.get(), zip_uint64_t(index), st.st_mtime, 0);
    if (!setExactMtime(m_writer.get(), zip_uint64_t(index), st.st_mtime)) {
        libzipFailure(order.filePath);
        return Added::Failed;
    }
    return Added::Yes;
}

bool Compression::isUnchanged(const struct stat& st, qint64 index) const {
    // Compared to the second when the entry carries its exact time; otherwise at the 2-second steps of the DOS time
    // it keeps, so an unchanged file never looks newer.
    const ZipEntry& e = (*m_req.entries)[size_t(index)];
    const std::optional<qint64> exact = exactMtime(m_writer.get(), zip_uint64_t(index));
    return exact ? qint64(st.st_mtime) <= *exact : packedDosOf(st.st_mtime) <= packDos(e.dosDate, e.dosTime);
}

bool Compression::addFolder(const WriteOrder& order, const FileFacts& file, zip_flags_t encoding, zip_int64_t* index) {
    zip_t* zip = m_writer.get();
    *index = zip_dir_add(zip, NativePath::encode(order.storedName).constData(), encoding);
    if (*index < 0) return libzipFailure(order.filePath);
    zip_file_set_external_attributes(zip, zip_uint64_t(*index), 0, ZIP_OPSYS_UNIX,
                                     (zip_uint32_t(file.st.st_mode & 0xFFFF) << 16) | 0x10);
    ++m_outsidePipeline;
    return true;
}

zip_source_t* Compression::sourceFor(const FileFacts& file, bool isLink, size_t* job) {
    zip_t* zip = m_writer.get();
    if (isLink) {
        // A link's entry holds the path it points to, as Info-ZIP stores links.
        QByteArray& linked = m_linkTargets.emplace_back(qsizetype(file.st.st_size) + 1, Qt::Uninitialized);
        const ssize_t length = ::readlink(file.native.constData(), linked.data(), size_t(linked.size()));
        if (length < 0) {
            fail(QStringLiteral("Cannot read %1: %2.").arg(file.shown, SystemError::errorText(errno)));
            return nullptr;
        }
        linked.truncate(qsizetype(length));
        zip_source_t* source = zip_source_buffer(zip, linked.constData(), zip_uint64_t(linked.size()), 0);
        if (!source) libzipFailure(file.shown);
        return source;
    }
    zip_source_t* source =
        m_pipeline ? m_pipeline->addFile(zip, file.native, file.shown, qint64(file.st.st_size), file.st.st_mtime, job)
                   : zip_source_file(zip, file.native.constData(), 0, -1);
    if (!source) libzipFailure(file.shown);
    return source;
}

bool Compression::addFile(const WriteOrder& order, const FileFacts& file, zip_flags_t encoding, qint64 existing,
                          zip_int64_t* index) {
    zip_t* zip = m_writer.get();
    const bool isLink = S_ISLNK(file.st.st_mode);
    size_t job = 0;
    zip_source_t* source = sourceFor(file, isLink, &job);
    if (!source) return false;
    if (existing >= 0) {
        *index = existing;
        if (zip_file_replace(zip, zip_uint64_t(existing), source, 0) != 0) {
            zip_source_free(source);
            return libzipFailure(order.filePath);
        }
    } else {
        // Marked UTF-8 so libzip sets the UTF-8 flag on names that are not plain ASCII.
        *index = zip_file_add(zip, NativePath::encode(order.storedName).constData(), source, encoding);
        if (*index < 0) {
            zip_source_free(source);
            return libzipFailure(order.filePath);
        }
    }
    const zip_uint64_t at = zip_uint64_t(*index);
    if (m_pipeline && !isLink) {
        // The entry keeps libzip's default method, which makes libzip take the deflated bytes as they come.
        m_pipeline->setIndex(job, *index);
    } else if (zip_set_file_compression(zip, at, ZIP_CM_STORE, 0) != 0) {
        return libzipFailure(order.filePath);
    }
    // libzip encrypts whatever the source gives, deflated bytes included.
    if (!m_req.password.isEmpty() && zip_file_set_encryption(zip, at, ZIP_EM_AES_256, m_req.password.constData()) != 0)
        return libzipFailure(order.filePath);
    zip_file_set_external_attributes(zip, at, 0, ZIP_OPSYS_UNIX,
                                     zip_uint32_t(isLink ? (S_IFLNK | 0777) : (file.st.st_mode & 0xFFFF)) << 16);
    if (isLink)
        ++m_outsidePipeline; // written by libzip itself, outside the pipeline's count
    else
        m_bytesTotal += file.st.st_size;
    return true;
}

bool Compression::setComment() {
    // An empty comment leaves the package's comment alone, so adding files never wipes it by accident.
    m_commentChanges = !m_req.comment.isEmpty() && m_req.comment != m_req.oldComment;
    if (!m_commentChanges) return true;
    const QByteArray bytes = m_req.comment.toUtf8().left(kMaxCommentSize);
    if (zip_set_archive_comment(m_writer.get(), bytes.constData(), zip_uint16_t(bytes.size())) != 0)
        return fail(QStringLiteral("Cannot set the comment of %1: %2.")
                        .arg(m_req.target, zipErrorText(zip_get_error(m_writer.get()))));
    return true;
}

void Compression::watchProgress() {
    m_reporter = std::make_unique<CompressReporter>(m_req.progress, m_filesTotal, m_bytesTotal);
    m_reporter->setPipeline(m_pipeline.get(), m_outsidePipeline);
    zip_register_progress_callback_with_state(
        m_writer.get(), 0.001,
        [](zip_t*, double fraction, void* state) {
            auto* r = static_cast<CompressReporter*>(state);
            r->setLibzipFraction(fraction);
            // Once the pipeline has delivered everything, libzip only copies old entries and writes the
            // directory; those reports would add nothing but a chance to cancel a finished job.
            if (!r->pipelineDone()) r->report(false);
        },
        nullptr, m_reporter.get());
    // libzip asks for a plain pointer; the callback only reads the caller's token.
    zip_register_cancel_callback_with_state(
        m_writer.get(), [](zip_t*, void* state) { return static_cast<const CancelToken*>(state)->cancelled() ? 1 : 0; },
        nullptr, const_cast<CancelToken*>(m_req.cancel));
}

bool Compression::closePackage() {
    zip_t* zip = m_writer.get();
    m_reporter->report(true);
    if (m_pipeline) m_pipeline->start();
    const bool cancelled = m_req.cancel->cancelled();
    if (!cancelled && zip_close(zip) == 0) {
        m_writer.release(); // zip_close has freed it
        if (m_pipeline) m_pipeline->stop();
        return true;
    }
    const int closeCode = cancelled ? ZIP_ER_CANCELLED : zip_error_code_zip(zip_get_error(zip));
    const QString why = zipErrorText(zip_get_error(zip));
    const QString unreadable = m_pipeline ? m_pipeline->failure() : QString();
    m_writer.reset(); // discards: libzip has already removed its temporary file
    if (m_pipeline) m_pipeline->stop();
    if (!unreadable.isEmpty()) return fail(unreadable + QLatin1Char(' ') + leftAlone());
    if (closeCode == ZIP_ER_CANCELLED || m_req.cancel->cancelled()) {
        m_out.result = kZipCancelled;
        m_out.message = QStringLiteral("Cancelled: ") + leftAlone();
        return false;
    }
    return fail(m_req.creating
                    ? QStringLiteral("Cannot write %1: %2.").arg(m_req.target, why)
                    : QStringLiteral("Cannot write %1: %2. The package was left as it was.").arg(m_req.target, why));
}

bool Compression::place() {
    if (const Status placed = m_work.commit(); !placed)
        return fail(placed.message() + QStringLiteral(". ") + leftAlone());
    // Volumes of a spanned package this one replaced would only mislead.
    if (m_oldVolumes > 1) removeVolumes(m_work.target(), 1, m_oldVolumes - 1);
    return true;
}

} // namespace

WriteOutcome compressFiles(const CompressRequest& request) {
    return Compression(request).run();
}

WriteOutcome deleteEntries(const QString& path, zip_t* zip, const std::vector<ZipEntry>& entries,
                           const std::vector<char>& selected) {
    // The smaller package is made in a work file beside the real package and renamed over it when complete.
    Result<WorkFile> reserved = WorkFile::beside(path);
    if (!reserved.ok()) return failure(reserved.message());
    WorkFile work = std::move(reserved.value());

    if (size_t(std::count(selected.begin(), selected.end(), 1)) == entries.size()) {
        // libzip removes a package left without entries; we keep an empty package (and its comment) instead.
        int length = 0;
        const char* raw = zip_get_archive_comment(zip, &length, ZIP_FL_ENC_RAW);
        Status written = work.write(emptyPackageBytes(raw ? QByteArray(raw, length) : QByteArray()));
        if (written) written = work.commit();
        if (!written) return failure(written.message() + QLatin1Char('.'));
        return {};
    }

    work.closeFd();
    if (!linkOldPackage(work))
        return failure(QStringLiteral("Cannot write beside %1: %2.").arg(path, SystemError::errorText(errno)));
    int code = 0;
    ZipHandle writer(zip_open(NativePath::encode(work.path()).constData(), 0, &code));
    if (!writer) return failure(QStringLiteral("Cannot change %1: %2.").arg(path, zipErrorText(code, errno)));
    for (size_t i = 0; i < selected.size(); ++i) {
        if (selected[i] && zip_delete(writer.get(), zip_uint64_t(i)) != 0)
            return failure(QStringLiteral("Cannot delete %1 from %2: %3.")
                               .arg(entries[i].storedName(), path, zipErrorText(zip_get_error(writer.get()))));
    }
    if (zip_close(writer.get()) != 0)
        return failure(QStringLiteral("Cannot write %1: %2. The package was left as it was.")
                           .arg(path, zipErrorText(zip_get_error(writer.get()))));
    writer.release(); // zip_close has freed it
    if (const Status placed = work.commit(); !placed)
        return failure(placed.message() + QStringLiteral(". The package was left as it was."));
    return {};
}

} // namespace zipdetail
