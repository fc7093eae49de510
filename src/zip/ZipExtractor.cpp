// Extraction writes each file beside its target under a work-file name (WorkFile.h) and renames it into place
// only once the entry was read to its end (libzip, or libarchive for what libzip cannot read, checks the CRC there), so
// a wrong password, damaged data or a cancel never leaves a half-written or empty file; what a killed run left is swept
// from each folder before the next extraction writes there. Below the target folder nothing is reached through a
// symbolic link: every folder is opened one component at a time without following links, and the file is created and
// renamed inside that folder's descriptor, so a link planted in the target (sub -> /elsewhere) cannot redirect a write.
// An entry that fails is named in the report and the others are still extracted. Large jobs run on two workers, each
// with its own read-only libzip handle, because inflating is what takes the time and the machines we run on have more
// than one core.

#include "ZipExtractor.h"
#include "ZipAes.h"
#include "ZipDetail.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

namespace zipdetail {
namespace {

constexpr qint64 kBufferSize = qint64(1) << 20;
// A second worker pays for reading the central directory again, so it only starts when there is real work.
constexpr qint64 kSecondWorkerBytes = qint64(32) << 20;
constexpr auto kProgressInterval = std::chrono::milliseconds(25);
constexpr int kListedAtMost = 10;

QString listed(const QStringList& items) {
    QString text = items.mid(0, kListedAtMost).join(QStringLiteral("; "));
    if (items.size() > kListedAtMost) text += QStringLiteral("; and %1 more").arg(items.size() - kListedAtMost);
    return text;
}

QString display(const QByteArray& path) {
    return NativePath::display(NativePath::decode(path));
}

class Run {
  public:
    explicit Run(const ExtractRequest& request) : m_req(request) {}
    ~Run() {
        if (m_targetFd >= 0) ::close(m_targetFd);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ExtractOutcome execute();

  private:
    struct Item {
        qint64 index = 0;
        QByteArray dest;      // final path, for messages (extraction only)
        QByteArray folder;    // its folder below the target ("" for the target itself), components joined by "/"
        QByteArray leaf;      // its name in that folder, where the temporary file is made too
        bool dropped = false; // a later entry of the run goes to the same place
    };
    enum class ItemEnd { Done, Failed, Stopped };
    /// The last folder a worker opened, kept open since entries of one folder usually follow each other.
    struct FolderCache {
        QByteArray folder;
        int fd = -1;
        ~FolderCache() {
            if (fd >= 0) ::close(fd);
        }
    };

    const ZipEntry& entry(qint64 index) const { return (*m_req.entries)[size_t(index)]; }
    bool plan();
    bool ensureFolder(QByteArray path, QString* error);
    int openFolder(const QByteArray& folder, QString* error) const;
    int cachedFolder(FolderCache& cache, const QByteArray& folder, QString* error) const;
    bool keepExisting(const ZipEntry& e, quint32 existingPackedDos) const;
    void work(zip_t* zip, bool callerThread);
    ItemEnd process(zip_t* zip, const Item& item, char* buffer, FolderCache& folders,
                    std::unique_ptr<ArchiveCursor>& archive, bool callerThread);
    QString reasonOf(const ZipEntry& e, int encryptionMethod, zip_error_t* error) const;
    void recordFailure(const ZipEntry& e, const QString& reason, const QString& sentence = {});
    void takeFailures(); // moves the failures into the outcome, in the package's order
    bool shouldStop() const { return m_req.cancel->cancelled() || m_stop.load(); }
    void reportProgress(bool force);

    const ExtractRequest& m_req;
    ExtractOutcome m_out;
    std::vector<Item> m_items;
    std::vector<std::pair<qint64, QString>> m_failed; // entry position, "name: reason"
    QSet<QByteArray> m_knownFolders;
    QByteArray m_target; // the target folder, for messages
    int m_targetFd = -1; // the target folder itself (which may be a link the user chose)
    qint64 m_bytesTotal = 0;
    std::atomic<size_t> m_next{0};
    std::atomic<qint64> m_filesDone{0};
    std::atomic<qint64> m_bytesDone{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_failureMutex;
    QString m_firstFailure;
    bool m_passwordStop = false; ///< a password failure ended the extraction (guarded by m_failureMutex)
    std::chrono::steady_clock::time_point m_lastReport{};
    bool m_reportedOnce = false;
};

bool Run::keepExisting(const ZipEntry& e, quint32 existingPackedDos) const {
    if (!m_req.options.overwrite) return true;
    return m_req.options.skipOlder && existingPackedDos >= packDos(e.dosDate, e.dosTime);
}

/// Adds without overflowing: sizes come from the package and may be anything up to 2^63 - 1.
void addSaturated(qint64& total, qint64 value) {
    total = value > std::numeric_limits<qint64>::max() - total ? std::numeric_limits<qint64>::max() : total + value;
}

/// The folder components of a relative path ("" and "." dropped), joined by "/".
QByteArray cleanFolder(const QByteArray& path) {
    QByteArray out;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        if (!out.isEmpty()) out += '/';
        out += part;
    }
    return out;
}

bool Run::plan() {
    if (m_req.testOnly) {
        for (qint64 index : m_req.indices) {
            if (entry(index).isFolder) continue;
            m_items.push_back({index, {}, {}, {}, false});
            addSaturated(m_bytesTotal, entry(index).size);
        }
        return true;
    }

    const QByteArray target = NativePath::encode(FileOps::absolutePath(m_req.targetFolder));
    const QString targetText = display(target);
    struct stat st;
    if (::stat(target.constData(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        m_out.message = QStringLiteral("Cannot extract into %1: it is not a folder.").arg(targetText);
        return false;
    }
    QString error;
    if (!ensureFolder(target, &error)) {
        m_out.message = QStringLiteral("Cannot create the folder %1: %2.").arg(targetText, error);
        return false;
    }
    if (::access(target.constData(), W_OK | X_OK) != 0) {
        m_out.message =
            QStringLiteral("Cannot write into the folder %1: %2.").arg(targetText, SystemError::errorText(errno));
        return false;
    }
    // The target itself is followed if it is a link: the user chose it. Nothing below it is.
    m_targetFd = ::open(target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_targetFd < 0) {
        m_out.message = QStringLiteral("Cannot open the folder %1: %2.").arg(targetText, SystemError::errorText(errno));
        return false;
    }
    m_target = target;

    FolderCache folders;
    QHash<QByteArray, size_t> planned; // destination -> item, for entries that land on the same file
    QSet<QByteArray> sweptFolders;
    for (qint64 index : m_req.indices) {
        const ZipEntry& e = entry(index);
        const QString reason = unsafeNameReason(e.storedName(), e.isSymLink);
        if (!reason.isEmpty()) {
            m_out.report.refused << e.storedName() + QStringLiteral(": ") + reason;
            continue;
        }
        if (e.isFolder) {
            if (!m_req.options.useFolderNames) continue;
            if (cachedFolder(folders, cleanFolder(NativePath::encode(e.storedName())), &error) < 0)
                recordFailure(e, error);
            continue;
        }

        Item item;
        item.index = index;
        const QByteArray relative = NativePath::encode(m_req.options.useFolderNames ? e.storedName() : e.name);
        const qsizetype slash = relative.lastIndexOf('/');
        item.folder = cleanFolder(slash < 0 ? QByteArray() : relative.left(slash));
        item.leaf = relative.mid(slash + 1);
        item.dest = target + '/' + (item.folder.isEmpty() ? item.leaf : item.folder + '/' + item.leaf);
        const int folderFd = cachedFolder(folders, item.folder, &error);
        if (folderFd < 0) {
            recordFailure(e, error);
            continue;
        }
        // What a killed extraction left in a folder goes before this one writes there.
        if (!sweptFolders.contains(item.folder)) {
            sweptFolders.insert(item.folder);
            WorkFiles::sweepStaleAt(folderFd);
        }

        const auto earlier = planned.constFind(item.dest);
        if (earlier != planned.constEnd()) {
            // Without folder names two entries can meet in one file; treat the first as already on disk.
            Item& previous = m_items[*earlier];
            const ZipEntry& pe = entry(previous.index);
            ++m_out.report.skipped;
            if (keepExisting(e, packDos(pe.dosDate, pe.dosTime))) continue;
            previous.dropped = true;
            if (m_bytesTotal < std::numeric_limits<qint64>::max()) m_bytesTotal -= pe.size;
        } else {
            struct stat existing;
            if (::fstatat(folderFd, item.leaf.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISDIR(existing.st_mode)) {
                    recordFailure(e, QStringLiteral("a folder of that name is in the way"));
                    continue;
                }
                if (keepExisting(e, packedDosOf(existing.st_mtime))) {
                    ++m_out.report.skipped;
                    continue;
                }
            }
        }
        planned.insert(item.dest, m_items.size());
        addSaturated(m_bytesTotal, e.size);
        m_items.push_back(item);
    }
    std::erase_if(m_items, [](const Item& item) { return item.dropped; });
    // What the directory declares must fit: a package that claims more than the disk holds is refused before a
    // byte is written, rather than stopping halfway on a full disk.
    struct statvfs fs;
    if (::fstatvfs(m_targetFd, &fs) == 0) {
        const qint64 freeBytes = qint64(fs.f_bavail) * qint64(fs.f_frsize);
        if (m_bytesTotal > freeBytes) {
            m_out.message =
                QStringLiteral("Cannot extract into %1: the entries hold %2 bytes, but only %3 bytes are "
                               "free there.")
                    .arg(targetText, TextUtil::formatGrouped(m_bytesTotal), TextUtil::formatGrouped(freeBytes));
            return false;
        }
    }
    return true;
}

int Run::openFolder(const QByteArray& folder, QString* error) const {
    int fd = ::fcntl(m_targetFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        *error = SystemError::errorText(errno);
        return -1;
    }
    if (folder.isEmpty()) return fd;
    QByteArray walked;
    for (const QByteArray& part : folder.split('/')) {
        walked += walked.isEmpty() ? part : '/' + part;
        int next = ::openat(fd, part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(fd, part.constData(), 0777) != 0 && errno != EEXIST) {
                *error = QStringLiteral("cannot create the folder %1: %2")
                             .arg(display(m_target + '/' + walked), SystemError::errorText(errno));
                ::close(fd);
                return -1;
            }
            next = ::openat(fd, part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next < 0) {
            const int err = errno;
            struct stat st;
            const bool known = ::fstatat(fd, part.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
            if (known && S_ISLNK(st.st_mode))
                *error = QStringLiteral("%1 is a symbolic link; nothing is extracted through one")
                             .arg(display(m_target + '/' + walked));
            else if (known && !S_ISDIR(st.st_mode))
                *error = QStringLiteral("a file of that name is in the way (%1)").arg(display(m_target + '/' + walked));
            else
                *error = QStringLiteral("cannot open the folder %1: %2")
                             .arg(display(m_target + '/' + walked), SystemError::errorText(err));
            ::close(fd);
            return -1;
        }
        ::close(fd);
        fd = next;
    }
    return fd;
}

int Run::cachedFolder(FolderCache& cache, const QByteArray& folder, QString* error) const {
    if (cache.fd >= 0 && cache.folder == folder) return cache.fd;
    const int fd = openFolder(folder, error);
    if (fd < 0) return -1;
    if (cache.fd >= 0) ::close(cache.fd);
    cache.fd = fd;
    cache.folder = folder;
    return fd;
}

bool Run::ensureFolder(QByteArray path, QString* error) {
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    if (path.isEmpty() || m_knownFolders.contains(path)) return true;
    int result = ::mkdir(path.constData(), 0777);
    if (result != 0 && errno == ENOENT) {
        const qsizetype slash = path.lastIndexOf('/');
        if (slash <= 0 || !ensureFolder(path.left(slash), error)) {
            if (error->isEmpty()) *error = SystemError::errorText(ENOENT);
            return false;
        }
        result = ::mkdir(path.constData(), 0777);
    }
    if (result != 0) {
        const int err = errno;
        struct stat st;
        if (err == EEXIST && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            m_knownFolders.insert(path);
            return true;
        }
        *error = err == EEXIST ? QStringLiteral("a file of that name is in the way") : SystemError::errorText(err);
        return false;
    }
    m_knownFolders.insert(path);
    return true;
}

QString Run::reasonOf(const ZipEntry& e, int encryptionMethod, zip_error_t* error) const {
    const int code = zip_error_code_zip(error);
    // Traditional encryption checks only one byte of the password up front, so a wrong one that passes that check
    // (one time in 256) shows only later: as a CRC mismatch, or as deflate data that makes no sense. AES checks
    // two bytes and authenticates the data, so there such a failure is damage, never the password.
    if (e.encrypted && encryptionMethod == ZIP_EM_TRAD_PKWARE &&
        (code == ZIP_ER_CRC || code == ZIP_ER_ZLIB || code == ZIP_ER_COMPRESSED_DATA))
        return QStringLiteral("wrong password, or the data is damaged");
    if (code == ZIP_ER_WRONGPASSWD) return QStringLiteral("wrong password");
    if (code == ZIP_ER_NOPASSWD) return QStringLiteral("it is encrypted and no password was given");
    return zipErrorText(error);
}

void Run::recordFailure(const ZipEntry& e, const QString& reason, const QString& sentence) {
    // One failed entry stops nothing: every other entry is still extracted (or tested), and all are named. A
    // password that fails its check is the exception when extracting: it would fail on every other encrypted entry
    // too, one by one, so the first such entry ends the run and is the one reported.
    const bool passwordFailed = reason == QLatin1String("wrong password") ||
                                reason == QLatin1String("it is encrypted and no password was given");
    std::lock_guard lock(m_failureMutex);
    if (!m_req.testOnly && passwordFailed) {
        if (m_passwordStop) return; // the other worker met the same password
        m_passwordStop = true;
        m_stop = true;
    }
    m_failed.emplace_back(&e - m_req.entries->data(), e.storedName() + QStringLiteral(": ") + reason);
    if (m_req.testOnly) return;
    if (m_firstFailure.isEmpty()) {
        const QString name = e.storedName();
        if (!sentence.isEmpty())
            m_firstFailure = sentence;
        else if (reason.startsWith(QLatin1String("wrong password")))
            m_firstFailure =
                QStringLiteral("Wrong password for %1%2.").arg(name, reason.mid(int(sizeof("wrong password")) - 1));
        else
            m_firstFailure = QStringLiteral("Cannot extract %1: %2.").arg(name, reason);
    }
}

void Run::reportProgress(bool force) {
    if (!m_req.progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force) {
        // The first report from the work itself goes out at once, so a caller sees the run move; then throttled.
        if (m_reportedOnce && now - m_lastReport < kProgressInterval) return;
        m_reportedOnce = true;
        m_lastReport = now;
    }
    const ZipProgress progress{m_filesDone.load(), qint64(m_items.size()), m_bytesDone.load(), m_bytesTotal};
    m_req.progress(progress);
}

Run::ItemEnd Run::process(zip_t* zip, const Item& item, char* buffer, FolderCache& folders,
                          std::unique_ptr<ArchiveCursor>& archive, bool callerThread) {
    const ZipEntry& e = entry(item.index);
    const char* password = e.encrypted && !m_req.password.isEmpty() ? m_req.password.constData() : nullptr;
    int encryptionMethod = ZIP_EM_NONE;
    bool ownAes = false; // AE-2 entries carry no CRC, which libzip insists on: those are read by hand
    // What libzip cannot read, libarchive does: the whole package when libzip refused it, else entries whose
    // compression method libzip lacks.
    const bool viaArchive = !zip || readByArchive(zip, zip_uint64_t(item.index));
    if (e.encrypted && !viaArchive) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip, zip_uint64_t(item.index), 0, &st) == 0 && (st.valid & ZIP_STAT_ENCRYPTION_METHOD))
            encryptionMethod = st.encryption_method;
        AesField field;
        ownAes = password && aesFieldOf(zip, zip_uint64_t(item.index), &field) && field.version != 1;
    }
    zip_file_t* file = nullptr;
    std::unique_ptr<AesEntryReader> aes;
    if (viaArchive) {
        if (!archive)
            archive = std::make_unique<ArchiveCursor>(m_req.archiveSource, *m_req.entries, !zip, m_req.password);
        QString reason;
        if (!archive->open(item.index, &reason)) {
            recordFailure(e, reason);
            return ItemEnd::Failed;
        }
    } else if (!ownAes) {
        file = zip_fopen_index_encrypted(zip, zip_uint64_t(item.index), 0, password);
        if (!file) {
            const QString reason = reasonOf(e, encryptionMethod, zip_get_error(zip));
            zip_error_clear(zip);
            recordFailure(e, reason);
            return ItemEnd::Failed;
        }
    } else {
        AesEntryReader::Failure failure = AesEntryReader::Failure::None;
        QString reason;
        aes = AesEntryReader::open(zip, zip_uint64_t(item.index), m_req.password, &failure, &reason);
        if (!aes) {
            recordFailure(e, failure == AesEntryReader::Failure::WrongPassword ? QStringLiteral("wrong password")
                                                                               : reason);
            return ItemEnd::Failed;
        }
    }
    const auto readSome = [&](QString* reason) -> qint64 {
        if (viaArchive) return archive->read(buffer, kBufferSize, reason);
        if (aes) {
            const qint64 n = aes->read(buffer, kBufferSize);
            if (n < 0) *reason = aes->reason();
            return n;
        }
        const zip_int64_t n = zip_fread(file, buffer, zip_uint64_t(kBufferSize));
        if (n < 0) *reason = reasonOf(e, encryptionMethod, zip_file_get_error(file));
        return n;
    };

    int fd = -1;
    int folderFd = -1;
    QByteArray temp;
    if (!m_req.testOnly) {
        QString error;
        folderFd = cachedFolder(folders, item.folder, &error);
        if (folderFd < 0) {
            if (file) zip_fclose(file);
            recordFailure(e, error);
            return ItemEnd::Failed;
        }
        // Permissions come from the entry when it was stored on Unix; the umask applies as for any new file.
        const mode_t mode = (e.unixMode & 0777) ? mode_t(e.unixMode & 0777) : mode_t(0666);
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temp = WorkFiles::nameBeside(item.leaf);
            fd = ::openat(folderFd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd < 0 && errno != EEXIST) break;
        }
        if (fd < 0) {
            const int err = errno;
            if (file) zip_fclose(file);
            recordFailure(e, SystemError::errorText(err),
                          QStringLiteral("Cannot write %1: %2.").arg(display(item.dest), SystemError::errorText(err)));
            return ItemEnd::Failed;
        }
    }
    const auto abandon = [&] {
        if (file) zip_fclose(file);
        if (fd >= 0) {
            ::close(fd);
            ::unlinkat(folderFd, temp.constData(), 0);
        }
    };

    qint64 produced = 0;
    for (;;) {
        if (shouldStop()) {
            abandon();
            return ItemEnd::Stopped;
        }
        QString reason;
        const qint64 n = readSome(&reason);
        if (n < 0) {
            abandon();
            recordFailure(e, reason);
            return ItemEnd::Failed;
        }
        if (n == 0) break;
        produced += n;
        // An entry never gets more than the directory declares: a lying size would otherwise fill the disk
        // before the sizes were compared.
        if (produced > e.size) {
            abandon();
            recordFailure(
                e, QStringLiteral("the data is damaged (more than the %1 bytes the directory says)").arg(e.size));
            return ItemEnd::Failed;
        }
        if (fd >= 0 && !FileOps::writeAll(fd, buffer, n)) {
            const int err = errno;
            abandon();
            recordFailure(e, SystemError::errorText(err),
                          QStringLiteral("Cannot write %1: %2.").arg(display(item.dest), SystemError::errorText(err)));
            return ItemEnd::Failed;
        }
        m_bytesDone += n;
        if (callerThread) reportProgress(false);
    }
    if (file) zip_fclose(file);
    file = nullptr;
    // libzip stops where the compressed data ends; the directory's size must agree with what came out.
    if (produced != e.size) {
        abandon();
        recordFailure(
            e, QStringLiteral("the data is damaged (%1 bytes where the directory says %2)").arg(produced).arg(e.size));
        return ItemEnd::Failed;
    }

    if (fd >= 0) {
        const struct timespec times[2] = {{std::time_t(e.modified), 0}, {std::time_t(e.modified), 0}};
        ::futimens(fd, times);
        const bool closed = ::close(fd) == 0;
        const int closeError = errno;
        if (!closed || ::renameat(folderFd, temp.constData(), folderFd, item.leaf.constData()) != 0) {
            const int err = closed ? errno : closeError;
            ::unlinkat(folderFd, temp.constData(), 0);
            recordFailure(e, SystemError::errorText(err),
                          QStringLiteral("Cannot write %1: %2.").arg(display(item.dest), SystemError::errorText(err)));
            return ItemEnd::Failed;
        }
    }
    ++m_filesDone;
    if (callerThread) reportProgress(false);
    return ItemEnd::Done;
}

void Run::work(zip_t* zip, bool callerThread) {
    const std::unique_ptr<char[]> buffer(new char[size_t(kBufferSize)]);
    FolderCache folders;
    std::unique_ptr<ArchiveCursor> archive; // made when the first entry needs it
    while (!shouldStop()) {
        const size_t next = m_next++;
        if (next >= m_items.size()) return;
        process(zip, m_items[next], buffer.get(), folders, archive, callerThread);
    }
}

void Run::takeFailures() {
    // Named in the package's order, whichever worker met them first, so that a run reads the same every time.
    std::sort(m_failed.begin(), m_failed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& failure : m_failed)
        m_out.failures << std::move(failure.second);
    m_failed.clear();
}

ExtractOutcome Run::execute() {
    if (!plan()) {
        takeFailures();
        m_out.result = kZipFailed;
        if (m_out.message.isEmpty()) m_out.message = m_firstFailure;
        return m_out;
    }
    reportProgress(true);

    ZipHandle secondZip;
    std::thread second;
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool secondDone = false;
    if (m_req.allowSecondWorker && m_items.size() >= 2 && m_bytesTotal >= kSecondWorkerBytes) {
        // A package libarchive reads alone needs no libzip handle: each worker opens its own libarchive reader.
        const bool archiveOnly = !m_req.zip;
        int error = 0;
        if (!archiveOnly)
            secondZip.reset(m_req.openAnother
                                ? m_req.openAnother()
                                : zip_open(NativePath::encode(m_req.packagePath).constData(), ZIP_RDONLY, &error));
        if (secondZip || archiveOnly) {
            second = std::thread([&] {
                work(secondZip.get(), false);
                std::lock_guard lock(doneMutex);
                secondDone = true;
                doneSignal.notify_all();
            });
        }
    }
    work(m_req.zip, true);
    if (second.joinable()) {
        // Progress is only ever reported on the caller's thread, so keep reporting while the other one finishes.
        for (;;) {
            {
                std::unique_lock lock(doneMutex);
                if (doneSignal.wait_for(lock, kProgressInterval, [&] { return secondDone; })) break;
            }
            reportProgress(false);
        }
        second.join();
    }

    takeFailures();
    const bool failed = !m_out.failures.isEmpty();
    const bool cancelled = m_req.cancel->cancelled();
    if (!failed && !cancelled) reportProgress(true);

    if (!m_req.testOnly) {
        m_out.report.extracted = int(m_filesDone.load());
        m_out.report.failed = m_out.failures;
    }
    if (failed) {
        m_out.result = kZipFailed;
        if (m_req.testOnly)
            m_out.message = QStringLiteral("%1 of %2 entries failed the test: %3")
                                .arg(m_out.failures.size())
                                .arg(m_items.size())
                                .arg(listed(m_out.failures));
        else if (m_out.failures.size() == 1)
            m_out.message = m_firstFailure;
        else
            m_out.message = m_firstFailure + QStringLiteral(" %1 entries could not be extracted: %2")
                                                 .arg(m_out.failures.size())
                                                 .arg(listed(m_out.failures));
    } else if (cancelled) {
        m_out.result = kZipCancelled;
        m_out.message = m_req.testOnly ? QStringLiteral("The test was cancelled.")
                                       : QStringLiteral("The extraction was cancelled after %1 of %2 files.")
                                             .arg(m_filesDone.load())
                                             .arg(m_items.size());
    }
    if (!m_out.report.refused.isEmpty()) {
        const qsizetype n = m_out.report.refused.size();
        const QString refused = (n == 1 ? QStringLiteral("1 entry was refused as unsafe: %2")
                                        : QStringLiteral("%1 entries were refused as unsafe: %2").arg(n))
                                    .arg(listed(m_out.report.refused));
        if (m_out.result == kZipOk) m_out.result = kZipFailed;
        m_out.message = m_out.message.isEmpty() ? refused : m_out.message + QLatin1Char(' ') + refused;
    }
    return m_out;
}

} // namespace

ExtractOutcome runExtraction(const ExtractRequest& request) {
    return Run(request).execute();
}

} // namespace zipdetail
