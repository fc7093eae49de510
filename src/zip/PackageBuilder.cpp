// The work behind PackageBuilder; see PackageBuilder.h for the approach.

#include "PackageBuilder.h"
#include "ZipAes.h"
#include "ZipDetail.h"
#include "ZipLayout.h"
#include "ZipPack.h"
#include "ZipRecords.h"
#include "utility/LockTest.h"
#include "utility/NativePath.h"
#include "utility/SystemError.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <libdeflate.h>
#include <limits.h>
#include <mutex>
#include <openssl/rand.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

using namespace zipdetail;

namespace {

constexpr int kFilesPerBatch = 64;
constexpr qint64 kBatchBytes = qint64(1) << 20;
constexpr size_t kWaitingTasks = 64; // tasks not yet started before add() waits
constexpr qint64 kWriteBuffer = qint64(4) << 20;
constexpr qint64 kDictionarySize = qint64(32) << 10;
constexpr auto kWaitSlice = std::chrono::milliseconds(25);

qint64 nanoseconds(const struct timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Whether the file read is still the one the scan saw: same size and times.
bool sameAsScanned(const FileToPack& file, const struct stat& st) {
    return qint64(st.st_size) == file.size && nanoseconds(st.st_mtim) == file.modifiedNs &&
           nanoseconds(st.st_ctim) == file.changedNs;
}

PackNote noteOf(PackNote::Kind kind, const FileToPack& file, QString reason = {}, quint32 mode = 0) {
    return PackNote{kind, file.path, std::move(reason), mode};
}

// A file is opened as the file the scan saw: never through a link put in its place since (which could hand the
// backup any file the link names), never waiting for a pipe's writer, never becoming our terminal.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;

// Why an open failed, as a note: a file gone since the scan is listed with the locked ones.
PackNote openFailure(const FileToPack& file, int error) {
    if (error == ENOENT) return noteOf(PackNote::Kind::Locked, file);
    if (error == ELOOP)
        return noteOf(PackNote::Kind::Unreadable, file, QStringLiteral("it was replaced by a link during the backup"));
    return noteOf(PackNote::Kind::Unreadable, file, SystemError::errorText(error));
}

/// The package file, written front to back through one buffer; a large entry's header is patched in place once
/// its sizes are known, and an entry that fails half-way is cut off again.
class OutFile {
  public:
    void open(int fd, const QString& shown) {
        m_fd = fd;
        m_shown = shown;
        m_buffer.reserve(kWriteBuffer);
    }
    qint64 position() const { return m_base + m_buffer.size(); }
    const QString& error() const { return m_error; }
    const QString& shown() const { return m_shown; }

    bool append(const char* data, qint64 length) {
        if (m_buffer.size() + length > kWriteBuffer && !flush()) return false;
        if (length >= kWriteBuffer) {
            if (!writeAt(data, length, m_base)) return false;
            m_base += length;
            return true;
        }
        m_buffer.append(data, length);
        return true;
    }
    bool append(const QByteArray& bytes) { return append(bytes.constData(), bytes.size()); }

    bool patch(qint64 at, const QByteArray& bytes) {
        qint64 done = 0;
        if (at < m_base) {
            done = std::min<qint64>(bytes.size(), m_base - at);
            if (!writeAt(bytes.constData(), done, at)) return false;
        }
        if (done < bytes.size())
            std::memcpy(m_buffer.data() + (at + done - m_base), bytes.constData() + done, size_t(bytes.size() - done));
        return true;
    }
    /// Drops everything from offset on; later writes go there.
    void cutBackTo(qint64 offset) {
        if (offset >= m_base) {
            m_buffer.truncate(offset - m_base);
        } else {
            m_buffer.clear();
            m_base = offset;
        }
    }
    bool flush() {
        if (m_buffer.isEmpty()) return true;
        if (!writeAt(m_buffer.constData(), m_buffer.size(), m_base)) return false;
        m_base += m_buffer.size();
        m_buffer.clear();
        return true;
    }
    /// Flushes and cuts off whatever an entry that was dropped had left beyond the end.
    bool close() {
        if (!flush()) return false;
        if (::ftruncate(m_fd, m_base) != 0) return failed(errno);
        return true;
    }

  private:
    bool writeAt(const char* data, qint64 length, qint64 at) {
        while (length > 0) {
            const ssize_t n = ::pwrite(m_fd, data, size_t(length), at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return failed(n < 0 ? errno : ENOSPC);
            data += n;
            length -= n;
            at += n;
        }
        return true;
    }
    bool failed(int error) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("Cannot write %1: %2.").arg(m_shown, SystemError::errorText(error));
        return false;
    }

    int m_fd = -1;
    QString m_shown;
    QByteArray m_buffer;
    qint64 m_base = 0; ///< where the buffer's first byte goes in the file
    QString m_error;
};

} // namespace

class PackageBuilder::Impl {
  public:
    Impl(Settings settings, const CancelToken& cancel) : m_settings(std::move(settings)), m_cancel(cancel) {}
    ~Impl() { stopAll(); }

    /// A large file, shared by its pieces; the descriptor closes with the last of them.
    struct LargeFile {
        FileToPack file;
        int fd = -1;
        enum class Open { Pending, Ready, Skipped } open = Open::Pending;
        std::optional<PackNote> skip; ///< why it is not stored (none: it is the package itself)
        bool decided = false;         ///< the first piece has chosen between storing and deflating
        bool stored = false;
        quint32 mode = 0;
        qint64 mtime = 0;
        QString readError; ///< a piece could not be read: the entry is dropped again
        std::optional<PackNote> changed;
        QByteArray name;
        bool utf8 = false;
        quint64 id = 0;
        /// Per piece: its input is read, and the last 32 KiB of it, which primes the next piece.
        std::vector<char> read;
        std::vector<QByteArray> tails;
        ~LargeFile() {
            if (fd >= 0) ::close(fd);
        }
    };

    /// One small file of a batch, with what its worker made of it.
    struct Item {
        FileToPack file;
        enum class Result { Stored, Noted, Dropped } result = Result::Dropped;
        std::optional<PackNote> note;
        QByteArray name;
        bool utf8 = false;
        bool deflated = false;
        bool enciphered = false;
        quint32 crc = 0;
        qint64 input = 0;
        qint64 outAt = 0;
        qint64 outLength = 0;
        quint32 mode = 0;
        qint64 mtime = 0;
    };

    /// A unit of work: a batch of small files, or one piece of a large file.
    struct Task {
        bool ready = false;  ///< its worker is done with it: the writer may take it
        qint64 cost = 0;     ///< memory it is expected to hold
        qint64 reserved = 0; ///< memory it holds against the budget
        std::vector<Item> items;
        qint64 inputBytes = 0;
        std::shared_ptr<LargeFile> large;
        size_t part = 0;
        qint64 offset = 0;
        qint64 length = 0;
        bool last = false;
        qint64 input = 0;
        quint32 crc = 0;
        QByteArray output;
    };

    void begin(int fd, const QString& shown, std::vector<std::pair<dev_t, ino_t>> never) {
        m_out.open(fd, shown);
        m_never = std::move(never);
        const int workers = std::max(1, m_settings.workers);
        for (int i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { workerLoop(); });
        m_threads.emplace_back([this] { writerLoop(); });
    }

    bool add(FileToPack file) {
        if (m_cancel.cancelled()) stopWith(QString());
        {
            std::unique_lock lock(m_mutex);
            // A cancel ends the wait at once: waiting on with the cancel's predicate already true would return
            // without ever letting go of the lock, and the workers could then never stop.
            while (!m_stop && !m_cancel.cancelled() && m_nextToStart - m_firstSeq + kWaitingTasks <= m_tasks.size())
                m_adderWake.wait_for(lock, kWaitSlice, [&] { return m_cancel.cancelled(); });
            if (m_stop) return false;
        }
        if (m_cancel.cancelled()) return stopWith(QString()), false;
        ++m_handed;
        m_bytesHanded += file.size;
        if (!file.isLink && file.size > m_settings.wholeFileLimit) {
            pushOpenBatch();
            addLargeFile(std::move(file));
            return true;
        }
        if (!m_batch) m_batch = std::make_unique<Task>();
        m_batch->inputBytes += file.isLink ? 0 : file.size;
        m_batch->items.emplace_back().file = std::move(file);
        if (int(m_batch->items.size()) >= kFilesPerBatch || m_batch->inputBytes >= kBatchBytes) pushOpenBatch();
        return true;
    }

    std::vector<PackNote> takeNotes() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_notes, {});
    }

    ZipProgress progress() const {
        return {m_filesDone.load(), m_handed.load(), m_bytesDone.load(), m_bytesHanded.load()};
    }

    End finish(const std::function<void()>& waiting, QString* message) {
        pushOpenBatch();
        {
            std::unique_lock lock(m_mutex);
            m_closed = true;
            m_workerWake.notify_all();
            m_writerWake.notify_all();
            while (!m_stop && !m_writerDone) {
                if (m_cancel.cancelled()) break;
                m_doneWake.wait_for(lock, kWaitSlice, [&] { return m_stop || m_writerDone; });
                lock.unlock();
                if (waiting) waiting();
                lock.lock();
            }
        }
        if (m_cancel.cancelled()) stopWith(QString());
        stopAll();
        if (m_cancel.cancelled()) return End::Cancelled;
        if (!m_failure.isEmpty()) {
            if (message) *message = m_failure;
            return End::Failed;
        }
        if (!copyKept() || !writeDirectory() || !m_out.close()) {
            if (message) *message = m_out.error();
            return End::Failed;
        }
        return End::Written;
    }

    qint64 entries() const { return m_entries - m_kept; }

    void keep(int sourceFd, std::vector<KeptEntry> entries) {
        m_keptFrom = sourceFd;
        m_keptEntries = std::move(entries);
    }

  private:
    // --- handing over (caller's thread) ---
    void pushTask(std::unique_ptr<Task> task) {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_workerWake.notify_one();
    }

    void pushOpenBatch() {
        if (!m_batch) return;
        m_batch->cost = m_batch->inputBytes + 64 * qint64(m_batch->items.size());
        pushTask(std::move(m_batch));
    }

    void addLargeFile(FileToPack file) {
        auto large = std::make_shared<LargeFile>();
        const qint64 size = file.size;
        large->file = std::move(file);
        large->id = ++m_largeFiles;
        const size_t pieces = size_t((size + m_settings.pieceSize - 1) / m_settings.pieceSize);
        large->read.assign(pieces, 0);
        large->tails.resize(pieces);
        for (qint64 at = 0; at < size; at += m_settings.pieceSize) {
            auto piece = std::make_unique<Task>();
            piece->large = large;
            piece->part = size_t(at / m_settings.pieceSize);
            piece->offset = at;
            piece->length = std::min(m_settings.pieceSize, size - at);
            piece->last = at + piece->length >= size;
            piece->cost = 2 * piece->length;
            pushTask(std::move(piece));
        }
    }

    // --- the workers ---
    void workerLoop() {
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(PackPipeline::libdeflateLevel(level()));
        z_stream zs{};
        const bool zlibReady =
            deflateInit2(&zs, PackPipeline::zlibLevel(level()), Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        std::vector<char> input;
        std::vector<char> scratch;
        for (;;) {
            Task* task = nullptr;
            {
                std::unique_lock lock(m_mutex);
                for (;;) {
                    if (m_stop) break;
                    const size_t at = m_nextToStart - m_firstSeq;
                    if (at < m_tasks.size()) {
                        Task& next = *m_tasks[at];
                        // Never more than the budget ahead of the writer; but a task may always start when
                        // nothing is held, so the one the writer waits for is never kept out.
                        if (m_reserved == 0 || m_reserved + next.cost <= m_settings.memoryBudget) {
                            task = &next;
                            break;
                        }
                    } else if (m_closed) {
                        break;
                    }
                    m_workerWake.wait_for(lock, kWaitSlice);
                    if (m_cancel.cancelled()) m_stop = true;
                }
                if (!task) break;
                ++m_nextToStart;
                task->reserved = task->cost;
                m_reserved += task->reserved;
            }
            if (!compressor || !zlibReady) {
                stopWith(QStringLiteral("Cannot compress: out of memory."));
                break;
            }
            if (task->large)
                runPiece(*task, &zs);
            else
                runBatch(*task, compressor, input, scratch);
            {
                std::lock_guard lock(m_mutex);
                m_reserved += task->output.size() - task->reserved;
                task->reserved = task->output.size();
                task->ready = true;
            }
            m_writerWake.notify_one();
            m_workerWake.notify_all();
        }
        if (zlibReady) deflateEnd(&zs);
        libdeflate_free_compressor(compressor);
    }

    CompressionLevel level() const { return m_settings.level; }

    bool isNever(const struct stat& st) const {
        return std::find(m_never.begin(), m_never.end(), std::pair(st.st_dev, st.st_ino)) != m_never.end();
    }

    void nameOf(const QString& storedName, QByteArray& name, bool& utf8) {
        name = NativePath::encode(storedName);
        // The UTF-8 flag only where it says something: a name of plain ASCII reads the same either way.
        utf8 = !nameStoredAsBytes(storedName) &&
               std::any_of(name.begin(), name.end(), [](char c) { return uchar(c) >= 0x80; });
    }

    void runBatch(Task& task, libdeflate_compressor* compressor, std::vector<char>& input, std::vector<char>& scratch) {
        task.output.reserve(task.inputBytes + 64);
        for (Item& item : task.items) {
            if (m_cancel.cancelled()) return;
            nameOf(item.file.storedName, item.name, item.utf8);
            if (m_settings.beforeOpen) m_settings.beforeOpen(item.file.path);
            if (item.file.isLink ? readLink(item, input) : readFile(item, input))
                pack(task, item, compressor, input, scratch);
        }
    }

    bool readLink(Item& item, std::vector<char>& input) {
        // A link's entry holds the path it points to, as Info-ZIP stores links.
        input.resize(size_t(std::max<qint64>(item.file.size, PATH_MAX)) + 1);
        const ssize_t n = ::readlink(NativePath::encode(item.file.path).constData(), input.data(), input.size());
        if (n < 0) {
            item.result = Item::Result::Noted;
            item.note = errno == EINVAL ? noteOf(PackNote::Kind::Locked, item.file) : openFailure(item.file, errno);
            return false;
        }
        item.input = n;
        item.mode = S_IFLNK | 0777;
        item.mtime = item.file.modifiedNs / 1000000000;
        return true;
    }

    bool readFile(Item& item, std::vector<char>& input) {
        const auto noted = [&](PackNote note) {
            item.result = Item::Result::Noted;
            item.note = std::move(note);
            return false;
        };
        const int fd = ::open(NativePath::encode(item.file.path).constData(), kOpenFlags);
        if (fd < 0) return noted(openFailure(item.file, errno));
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        if (isDescriptorLocked(fd, true)) return noted(noteOf(PackNote::Kind::Locked, item.file));
        // One byte more than the scan saw: a read that fills it all tells the file grew.
        const qint64 limit = std::max(item.file.size, m_settings.wholeFileLimit);
        qint64 want = item.file.size + 1;
        input.resize(size_t(want));
        qint64 got = 0;
        struct stat st {};
        bool statted = false;
        for (;;) {
            const ssize_t n = ::read(fd, input.data() + got, size_t(want - got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                const int error = errno;
                if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode))
                    return noted(noteOf(PackNote::Kind::NotAFile, item.file, {}, st.st_mode));
                return noted(noteOf(PackNote::Kind::Unreadable, item.file, SystemError::errorText(error)));
            }
            got += n;
            if (n == 0) break;
            if (got < want) {
                // Short of what was asked: the end, unless the status says the file holds more.
                if (::fstat(fd, &st) == 0 && qint64(st.st_size) <= got) {
                    statted = true;
                    break;
                }
                continue;
            }
            if (want >= limit) break;
            want = std::min(limit, want * 2);
            input.resize(size_t(want));
        }
        if (!statted && ::fstat(fd, &st) != 0)
            return noted(noteOf(PackNote::Kind::Unreadable, item.file, SystemError::errorText(errno)));
        if (!S_ISREG(st.st_mode)) return noted(noteOf(PackNote::Kind::NotAFile, item.file, {}, st.st_mode));
        if (isNever(st)) {
            item.result = Item::Result::Dropped;
            return false;
        }
        if (!sameAsScanned(item.file, st)) item.note = noteOf(PackNote::Kind::Changed, item.file);
        item.input = got;
        item.mode = st.st_mode & 0xFFFF;
        item.mtime = st.st_mtime;
        return true;
    }

    void pack(Task& task, Item& item, libdeflate_compressor* compressor, std::vector<char>& input,
              std::vector<char>& scratch) {
        const size_t got = size_t(item.input);
        item.result = Item::Result::Stored;
        item.crc = quint32(libdeflate_crc32(0, input.data(), got));
        item.outAt = task.output.size();
        if (got > 0 && level() != CompressionLevel::None && !item.file.isLink) {
            if (scratch.size() < got) scratch.resize(got);
            // Room for one byte less than the input: a result that does not shrink the file does not fit, and
            // the file is stored instead, as every zip program does.
            const size_t packed = libdeflate_deflate_compress(compressor, input.data(), got, scratch.data(), got - 1);
            if (packed > 0) {
                item.deflated = true;
                task.output.append(scratch.data(), qsizetype(packed));
            }
        }
        if (!item.deflated) task.output.append(input.data(), qsizetype(got));
        item.outLength = task.output.size() - item.outAt;
        if (!m_settings.password.isEmpty()) {
            // Enciphered here, on the worker: deriving each entry's key is the costly part, and it is per entry.
            const QByteArray sealed =
                aesEncipher(m_settings.password, task.output.constData() + item.outAt, item.outLength);
            task.output.truncate(item.outAt);
            if (sealed.isEmpty()) {
                item.result = Item::Result::Noted;
                item.note = noteOf(PackNote::Kind::Unreadable, item.file, QStringLiteral("it could not be encrypted"));
                item.outLength = 0;
                return;
            }
            task.output.append(sealed);
            item.outLength = sealed.size();
            item.enciphered = true;
        }
    }

    // Waits for what a piece needs from the others; false when the build stops meanwhile.
    template <typename Ready> bool waitFor(std::unique_lock<std::mutex>& lock, Ready ready) {
        while (!ready()) {
            if (m_stop || m_cancel.cancelled()) return false;
            m_workerWake.wait_for(lock, kWaitSlice);
        }
        return true;
    }

    void openLarge(LargeFile& large) {
        const auto skip = [&](std::optional<PackNote> note) {
            std::lock_guard lock(m_mutex);
            large.skip = std::move(note);
            large.open = LargeFile::Open::Skipped;
            m_workerWake.notify_all();
        };
        nameOf(large.file.storedName, large.name, large.utf8);
        if (m_settings.beforeOpen) m_settings.beforeOpen(large.file.path);
        const int fd = ::open(NativePath::encode(large.file.path).constData(), kOpenFlags);
        if (fd < 0) return skip(openFailure(large.file, errno));
        struct stat st {};
        const int statError = ::fstat(fd, &st) == 0 ? 0 : errno;
        std::optional<PackNote> why;
        if (statError)
            why = noteOf(PackNote::Kind::Unreadable, large.file, SystemError::errorText(statError));
        else if (!S_ISREG(st.st_mode))
            why = noteOf(PackNote::Kind::NotAFile, large.file, {}, st.st_mode);
        else if (isDescriptorLocked(fd))
            why = noteOf(PackNote::Kind::Locked, large.file);
        if (why || isNever(st)) {
            ::close(fd);
            return skip(std::move(why));
        }
        std::lock_guard lock(m_mutex);
        large.fd = fd;
        large.mode = st.st_mode & 0xFFFF;
        large.mtime = st.st_mtime;
        large.open = LargeFile::Open::Ready;
        m_workerWake.notify_all();
    }

    void runPiece(Task& piece, z_stream* zs) {
        LargeFile& large = *piece.large;
        if (piece.part == 0) openLarge(large);
        {
            std::unique_lock lock(m_mutex);
            if (!waitFor(lock, [&] { return large.open != LargeFile::Open::Pending; })) return;
            if (large.open == LargeFile::Open::Skipped || !large.readError.isEmpty()) return;
        }
        // The piece holding the end reads on to the real end, in case the file grew since the scan.
        qint64 want = piece.length;
        struct stat st {};
        if (piece.last && ::fstat(large.fd, &st) == 0)
            want = std::max<qint64>(
                0, std::min<qint64>(qint64(st.st_size) - piece.offset, piece.length + m_settings.pieceSize));
        QByteArray input(want, Qt::Uninitialized);
        const qint64 got = FileOps::readFullyAt(large.fd, input.data(), want, piece.offset);
        if (got < 0) {
            const QString why = SystemError::errorText(errno);
            std::lock_guard lock(m_mutex);
            if (large.readError.isEmpty()) large.readError = why;
            m_workerWake.notify_all();
            return;
        }
        input.truncate(got);
        if (piece.last && ::fstat(large.fd, &st) == 0 && !sameAsScanned(large.file, st))
            large.changed = noteOf(PackNote::Kind::Changed, large.file);
        const quint32 crc = quint32(libdeflate_crc32(0, input.constData(), size_t(got)));
        {
            std::lock_guard lock(m_mutex);
            large.tails[piece.part] = input.right(kDictionarySize);
            large.read[piece.part] = 1;
            piece.input = got;
            piece.crc = crc;
        }
        m_workerWake.notify_all();
        if (piece.part == 0) {
            // Data that libdeflate's quickest level cannot shrink by a few percent is already compressed (media,
            // archives): it is stored, and deflating it would only cost time.
            bool stored = got == 0 || level() == CompressionLevel::None;
            if (!stored) {
                const size_t room = size_t(got - got / 32);
                std::vector<char> probe(room + 1);
                libdeflate_compressor* quick = libdeflate_alloc_compressor(1);
                stored = !quick ||
                         libdeflate_deflate_compress(quick, input.constData(), size_t(got), probe.data(), room) == 0;
                libdeflate_free_compressor(quick);
            }
            std::lock_guard lock(m_mutex);
            large.stored = stored;
            large.decided = true;
        }
        QByteArray dictionary;
        bool stored = false;
        {
            std::unique_lock lock(m_mutex);
            m_workerWake.notify_all();
            if (!waitFor(lock, [&] {
                    return !large.readError.isEmpty() ||
                           (large.decided && (piece.part == 0 || large.read[piece.part - 1]));
                }))
                return;
            if (!large.readError.isEmpty()) return;
            stored = large.stored;
            if (piece.part > 0) dictionary = std::exchange(large.tails[piece.part - 1], QByteArray());
            if (stored) dictionary.clear();
        }
        if (stored) {
            piece.output = std::move(input);
            return;
        }
        piece.output = deflatePiece(zs, input, dictionary, piece.last);
        if (piece.output.isNull()) {
            std::lock_guard lock(m_mutex);
            if (large.readError.isEmpty()) large.readError = QStringLiteral("compression failed");
        }
    }

    // --- the writer ---
    void writerLoop() {
        for (;;) {
            std::unique_ptr<Task> task;
            {
                std::unique_lock lock(m_mutex);
                for (;;) {
                    if (m_stop) return;
                    if (!m_tasks.empty() && m_tasks.front()->ready) break;
                    if (m_tasks.empty() && m_closed) {
                        m_writerDone = true;
                        m_doneWake.notify_all();
                        return;
                    }
                    m_writerWake.wait_for(lock, kWaitSlice);
                    if (m_cancel.cancelled()) m_stop = true;
                }
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
                ++m_firstSeq;
            }
            m_adderWake.notify_one();
            const bool written = task->large ? writePiece(*task) : writeBatch(*task);
            {
                std::lock_guard lock(m_mutex);
                m_reserved -= task->reserved;
                task->reserved = 0;
            }
            m_workerWake.notify_all();
            if (!written) return stopWith(m_out.error());
        }
    }

    void note(PackNote note) {
        std::lock_guard lock(m_mutex);
        m_notes.push_back(std::move(note));
    }

    const DosStamp& dosOf(qint64 mtime) {
        if (mtime != m_lastMtime) {
            m_lastMtime = mtime;
            timeToDos(std::time_t(mtime), m_lastDos.date, m_lastDos.time);
        }
        return m_lastDos;
    }

    EntryRecord recordOf(const QByteArray& name, bool utf8, quint32 mode, qint64 mtime) {
        EntryRecord r;
        r.name = name;
        r.utf8 = utf8;
        r.dos = dosOf(mtime);
        r.mtime = mtime;
        r.externalAttributes = mode << 16;
        return r;
    }

    bool writeBatch(Task& task) {
        for (Item& item : task.items) {
            if (item.result == Item::Result::Stored) {
                EntryRecord r = recordOf(item.name, item.utf8, item.mode, item.mtime);
                r.deflated = item.deflated;
                r.aesVersion = !item.enciphered ? 0 : item.input < 20 ? 2 : 1; // as WinZip: no CRC of tiny files
                r.crc = item.crc;
                r.size = quint64(item.input);
                r.compressedSize = quint64(item.outLength);
                r.offset = quint64(m_out.position());
                if (!m_out.append(localHeader(r, false)) ||
                    !m_out.append(task.output.constData() + item.outAt, item.outLength))
                    return false;
                appendCentralRecord(directoryChunk(), r);
                ++m_entries;
                m_bytesDone += item.input;
            }
            if (item.note) note(std::move(*item.note));
            ++m_filesDone;
        }
        return true;
    }

    bool writePiece(Task& piece) {
        LargeFile& large = *piece.large;
        if (m_droppedLarge == large.id) return true; // an earlier piece dropped the file
        if (piece.part == 0) {
            if (large.open == LargeFile::Open::Skipped) return dropLarge(large, large.skip);
            m_largeRecord = recordOf(large.name, large.utf8, large.mode, large.mtime);
            m_largeRecord.deflated = !large.stored;
            m_largeRecord.offset = quint64(m_out.position());
            // Sizes that may reach 4 GiB are kept in a zip64 field, whose room must be in the header from the start.
            m_largeZip64 = large.file.size >= qint64(0xFFFFFFFFLL) - 4 * m_settings.pieceSize;
            m_largeCrc = 0;
            m_largeRecord.aesVersion = m_settings.password.isEmpty() ? 0 : 1;
            if (!m_out.append(localHeader(m_largeRecord, m_largeZip64))) return false;
            if (m_largeRecord.aesVersion && !startCipher()) return false;
        }
        if (const QString why = readErrorOf(large); !why.isEmpty()) {
            m_cipher.reset();
            m_out.cutBackTo(qint64(m_largeRecord.offset));
            return dropLarge(large, noteOf(PackNote::Kind::Unreadable, large.file, why));
        }
        if (m_cipher) {
            auto* bytes = reinterpret_cast<unsigned char*>(piece.output.data());
            if (!m_cipher->crypt(bytes, piece.output.size()) || !m_cipher->authenticate(bytes, piece.output.size()))
                return cipherFailed();
        }
        if (!m_out.append(piece.output)) return false;
        m_largeCrc = quint32(crc32_combine(m_largeCrc, piece.crc, z_off_t(piece.input)));
        m_largeRecord.size += quint64(piece.input);
        m_largeRecord.compressedSize += quint64(piece.output.size());
        m_bytesDone += piece.input;
        if (!piece.last) return true;
        if (m_cipher) {
            QByteArray code(AesCipher::kCodeSize, Qt::Uninitialized);
            if (!m_cipher->finish(reinterpret_cast<unsigned char*>(code.data()))) return cipherFailed();
            m_cipher.reset();
            if (!m_out.append(code)) return false;
            m_largeRecord.compressedSize += quint64(code.size());
        }
        m_largeRecord.crc = m_largeCrc;
        if (!m_largeZip64 && (m_largeRecord.size >= 0xFFFFFFFFu || m_largeRecord.compressedSize >= 0xFFFFFFFFu)) {
            // Grew past what its header has room for since the scan: left out rather than stored wrong.
            m_cipher.reset();
            m_out.cutBackTo(qint64(m_largeRecord.offset));
            return dropLarge(large, noteOf(PackNote::Kind::Unreadable, large.file,
                                           QStringLiteral("it grew past 4 GiB during the backup")));
        }
        if (!m_out.patch(qint64(m_largeRecord.offset), localHeader(m_largeRecord, m_largeZip64))) return false;
        appendCentralRecord(directoryChunk(), m_largeRecord);
        ++m_entries;
        ++m_filesDone;
        if (large.changed) note(std::move(*large.changed));
        return true;
    }

    // A large entry is enciphered by the writer, piece after piece, since the key stream runs on across them.
    bool startCipher() {
        QByteArray head(AesCipher::saltSize(3) + AesCipher::kVerifierSize, Qt::Uninitialized);
        auto* bytes = reinterpret_cast<unsigned char*>(head.data());
        m_cipher = std::make_unique<AesCipher>();
        if (RAND_bytes(bytes, AesCipher::saltSize(3)) != 1 ||
            m_cipher->start(m_settings.password, 3, bytes, bytes + AesCipher::saltSize(3), true) !=
                AesCipher::Setup::Ready)
            return cipherFailed();
        m_largeRecord.compressedSize += quint64(head.size());
        return m_out.append(head);
    }

    bool cipherFailed() {
        m_cipher.reset();
        stopWith(QStringLiteral("Cannot encrypt %1: the cipher could not be set up.").arg(m_out.shown()));
        return true; // the failure is the message above, not a write error
    }

    QString readErrorOf(const LargeFile& large) const {
        std::lock_guard lock(m_mutex);
        return large.readError;
    }

    bool dropLarge(LargeFile& large, std::optional<PackNote> why) {
        m_droppedLarge = large.id;
        if (why) note(std::move(*why));
        ++m_filesDone;
        return true;
    }

    // The old package's entries go in as they are: their bytes copied, their records pointed at the new place.
    bool copyKept() {
        std::vector<char> buffer(size_t(qint64(1) << 20));
        for (const KeptEntry& entry : m_keptEntries) {
            if (m_cancel.cancelled()) return false;
            const quint64 offset = quint64(m_out.position());
            for (qint64 done = 0; done < entry.length;) {
                const qint64 want = std::min<qint64>(entry.length - done, qint64(buffer.size()));
                const qint64 got = FileOps::readFullyAt(m_keptFrom, buffer.data(), want, entry.from + done);
                if (got != want) {
                    stopWith(QStringLiteral("Cannot read the package being updated: %1.")
                                 .arg(SystemError::errorText(got < 0 ? errno : EIO)));
                    return false;
                }
                if (!m_out.append(buffer.data(), got)) return false;
                done += got;
            }
            CentralRecord record;
            record.length = entry.record.size();
            record.size = entry.size;
            record.compressedSize = entry.compressedSize;
            directoryChunk().append(relocatedRecord(entry.record, record, 0, offset));
            ++m_entries;
            ++m_kept;
        }
        m_keptEntries.clear();
        return true;
    }

    // The directory is kept in pieces of about a megabyte: one growing buffer would be copied whole each time it
    // grows, and for a million entries hold twice its size while it does.
    QByteArray& directoryChunk() {
        constexpr qsizetype kChunk = qsizetype(1) << 20;
        if (m_directory.empty() || m_directory.back().size() > kChunk - 4096) {
            m_directory.emplace_back();
            m_directory.back().reserve(kChunk);
        }
        return m_directory.back();
    }

    bool writeDirectory() {
        const quint64 start = quint64(m_out.position());
        for (QByteArray& chunk : m_directory) {
            if (!m_out.append(chunk)) return false;
            chunk = QByteArray();
        }
        m_directory.clear();
        EndRecords end;
        end.entriesOnDisk = end.entries = quint64(m_entries);
        end.directoryOffset = start;
        end.directorySize = quint64(m_out.position()) - start;
        end.comment = m_settings.commentBytes.value_or(m_settings.comment.toUtf8());
        return m_out.append(endRecordsBytes(end, quint64(m_out.position())));
    }

    // --- stopping ---
    void stopWith(const QString& failure) {
        {
            std::lock_guard lock(m_mutex);
            if (!failure.isEmpty() && m_failure.isEmpty()) m_failure = failure;
            m_stop = true;
        }
        m_workerWake.notify_all();
        m_writerWake.notify_all();
        m_adderWake.notify_all();
        m_doneWake.notify_all();
    }

    void stopAll() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_workerWake.notify_all();
        m_writerWake.notify_all();
        m_adderWake.notify_all();
        for (std::thread& t : m_threads)
            t.join();
        m_threads.clear();
    }

    Settings m_settings;
    const CancelToken& m_cancel;
    std::vector<std::pair<dev_t, ino_t>> m_never;
    std::vector<std::thread> m_threads;

    mutable std::mutex m_mutex;
    std::condition_variable m_workerWake;      ///< a task to start, room in the budget, a piece's neighbour, or stop
    std::condition_variable m_writerWake;      ///< the writer's next task is ready
    std::condition_variable m_adderWake;       ///< room for more tasks
    std::condition_variable m_doneWake;        ///< the writer is done
    std::deque<std::unique_ptr<Task>> m_tasks; ///< from the writer's next task on, in order
    size_t m_firstSeq = 0;                     ///< the number of m_tasks.front()
    size_t m_nextToStart = 0;                  ///< the number of the next task a worker takes
    qint64 m_reserved = 0;
    bool m_closed = false;
    bool m_stop = false;
    bool m_writerDone = false;
    QString m_failure;
    std::vector<PackNote> m_notes;

    // The caller's thread.
    std::unique_ptr<Task> m_batch;
    std::atomic<qint64> m_handed{0};
    std::atomic<qint64> m_bytesHanded{0};
    quint64 m_largeFiles = 0;

    // The writer's thread (and the caller's once it has ended).
    OutFile m_out;
    std::vector<QByteArray> m_directory;
    qint64 m_entries = 0;
    qint64 m_kept = 0;
    int m_keptFrom = -1;
    std::vector<KeptEntry> m_keptEntries;
    qint64 m_lastMtime = -1;
    DosStamp m_lastDos;
    EntryRecord m_largeRecord;
    std::unique_ptr<AesCipher> m_cipher; ///< the large entry's, when the package is enciphered
    bool m_largeZip64 = false;
    quint32 m_largeCrc = 0;
    quint64 m_droppedLarge = 0;

    std::atomic<qint64> m_filesDone{0};
    std::atomic<qint64> m_bytesDone{0};
};

bool readKeptEntries(int fd, qint64 size, std::vector<KeptEntry>* entries, QByteArray* comment) {
    const DiskReader read = [fd](quint32 disk, quint64 offset, qint64 length) {
        // The file is the one disk; the end records ask for it as the last one.
        QByteArray bytes(disk == 0 || disk == quint32(-1) ? length : 0, Qt::Uninitialized);
        const qint64 got = FileOps::readFullyAt(fd, bytes.data(), bytes.size(), qint64(offset));
        bytes.truncate(std::max<qint64>(got, 0));
        return bytes;
    };
    EndRecords end;
    QString why;
    if (!readEndRecords(read, size, &end, &why) || end.spanned() || end.directoryOffset > quint64(size) ||
        end.directorySize > quint64(size) - end.directoryOffset)
        return false;
    const QByteArray directory = read(0, end.directoryOffset, qint64(end.directorySize));
    std::vector<CentralRecord> records;
    if (directory.size() != qint64(end.directorySize) ||
        !parseCentralDirectory(directory, end.entries, &records, &why) || records.size() != end.entries)
        return false;
    // Each entry reaches to the next one in the file, or to the directory; entries that share bytes, or a header
    // that cannot fit, mean the package is not one to copy piece by piece.
    std::vector<size_t> byOffset(records.size());
    for (size_t i = 0; i < byOffset.size(); ++i)
        byOffset[i] = i;
    std::sort(byOffset.begin(), byOffset.end(),
              [&](size_t a, size_t b) { return records[a].localOffset < records[b].localOffset; });
    entries->assign(records.size(), KeptEntry{});
    for (size_t k = 0; k < byOffset.size(); ++k) {
        const CentralRecord& r = records[byOffset[k]];
        const quint64 next = k + 1 < byOffset.size() ? records[byOffset[k + 1]].localOffset : end.directoryOffset;
        if (r.disk != 0 || next < r.localOffset + quint64(kLocalHeaderSize) + r.compressedSize) return false;
        KeptEntry& e = (*entries)[byOffset[k]];
        e.from = qint64(r.localOffset);
        e.length = qint64(next - r.localOffset);
        e.record = directory.mid(r.start, r.length);
        e.size = r.size;
        e.compressedSize = r.compressedSize;
        const char* p = e.record.constData();
        e.packedDos = packDos(le16(p + 14), le16(p + 12));
        const quint16 nameLength = le16(p + 28), extraLength = le16(p + 30);
        const char* extra = p + kCentralHeaderSize + nameLength;
        for (qsizetype at = 0; at + 4 <= extraLength && kCentralHeaderSize + nameLength + extraLength <= r.length;) {
            const quint16 id = le16(extra + at), length = le16(extra + at + 2);
            if (at + 4 + length > extraLength) break;
            // The extended timestamp field: flags, then the modification time when its bit is set.
            if (id == 0x5455 && length >= 5 && (uchar(extra[at + 4]) & 1)) e.exactMtime = qint32(le32(extra + at + 5));
            at += 4 + length;
        }
    }
    *comment = end.comment;
    return true;
}

QByteArray storedNameBytes(const KeptEntry& entry) {
    return entry.record.mid(kCentralHeaderSize, le16(entry.record.constData() + 28));
}

bool entryIsAsNew(const KeptEntry& entry, qint64 mtime) {
    return entry.exactMtime ? mtime <= *entry.exactMtime : packedDosOf(std::time_t(mtime)) <= entry.packedDos;
}

PackageBuilder::PackageBuilder(Settings settings, const CancelToken& cancel)
    : d(std::make_unique<Impl>(std::move(settings), cancel)) {}

PackageBuilder::~PackageBuilder() = default;

void PackageBuilder::begin(int fd, const QString& shownPath, std::vector<std::pair<dev_t, ino_t>> never) {
    d->begin(fd, shownPath, std::move(never));
}

bool PackageBuilder::add(FileToPack file) {
    return d->add(std::move(file));
}

void PackageBuilder::keep(int sourceFd, std::vector<KeptEntry> entries) {
    d->keep(sourceFd, std::move(entries));
}

std::vector<PackNote> PackageBuilder::takeNotes() {
    return d->takeNotes();
}

ZipProgress PackageBuilder::progress() const {
    return d->progress();
}

PackageBuilder::End PackageBuilder::finish(const std::function<void()>& waiting, QString* message) {
    return d->finish(waiting, message);
}

qint64 PackageBuilder::entriesWritten() const {
    return d->entries();
}
