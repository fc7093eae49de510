// Parallel compression feeding libzip; see ZipPack.h for the approach.

#include "ZipPack.h"
#include "ZipDetail.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace zipdetail {

namespace {

constexpr auto kWaitSlice = std::chrono::milliseconds(25);
constexpr qint64 kDictionarySize = qint64(32) << 10; // deflate's window

struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

QByteArray deflatePiece(z_stream* zs, const QByteArray& input, const QByteArray& dictionary, bool last) {
    deflateReset(zs);
    if (!dictionary.isEmpty() && deflateSetDictionary(zs, reinterpret_cast<const Bytef*>(dictionary.constData()),
                                                      uInt(dictionary.size())) != Z_OK)
        return {};
    // A sync flush ends the piece on a byte boundary with an empty stored block, so the next piece's output simply
    // follows; the last piece finishes the stream instead.
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    zs->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    zs->avail_in = uInt(input.size());
    QByteArray output(qsizetype(deflateBound(zs, uLong(input.size()))) + 16, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        zs->next_out = reinterpret_cast<Bytef*>(output.data() + used);
        zs->avail_out = uInt(output.size() - used);
        const int rc = deflate(zs, flush);
        used = output.size() - qsizetype(zs->avail_out);
        if (rc == Z_STREAM_ERROR) return {};
        if (flush == Z_FINISH ? rc == Z_STREAM_END : (zs->avail_in == 0 && zs->avail_out != 0)) break;
        if (zs->avail_out == 0) output.resize(output.size() * 2);
    }
    output.truncate(used);
    return output.isNull() ? QByteArray("") : output; // never null: null is the failure
}

int PackPipeline::libdeflateLevel(CompressionLevel level) {
    // 6 packs a little tighter than zlib's 6 at several times the speed. For Maximum, 10 packs some 2% tighter
    // than zlib's (and Info-ZIP's) 9; 11 and 12 gain another 0.1% for twice the time.
    switch (level) {
    case CompressionLevel::Fast:
        return 1;
    case CompressionLevel::Maximum:
        return 10;
    default:
        return 6;
    }
}

int PackPipeline::zlibLevel(CompressionLevel level) {
    // For Maximum, 7 rather than 9: zlib's longer match chains gain at most half a percent on large files and can
    // cost ten times the time (a 45 MB static library: 16.5 s at 9, 2.4 s at 7, 12.33 against 12.39 MB).
    switch (level) {
    case CompressionLevel::Fast:
        return 1;
    case CompressionLevel::Maximum:
        return 7;
    default:
        return 6;
    }
}

/// One unit of work: a whole small file, or one piece of a large one.
struct PackPipeline::Piece {
    Job* job = nullptr;
    size_t part = 0;
    qint64 offset = 0; ///< pieces of large files: where in the file
    qint64 length = 0;
    bool whole = false;
    bool last = false;
    enum class State { Waiting, Running, Read, Ready };
    State state = State::Waiting; ///< Read: the input is in and `tail` holds its end for the next piece
    qint64 reserved = 0;
    QByteArray tail;   ///< the last 32 KiB of this piece's input, primes the next piece
    QByteArray output; ///< deflated bytes, or the input itself when stored
    qint64 input = 0;  ///< bytes read
    quint32 crc = 0;
};

struct PackPipeline::Job {
    PackPipeline* owner = nullptr;
    QByteArray path;
    QString display;
    qint64 size = 0; ///< as found when ordered
    std::time_t mtime = 0;
    qint64 index = -1;
    std::vector<std::unique_ptr<Piece>> pieces;
    bool failed = false;
    bool decided = false; ///< large files: the first piece has chosen between storing and deflating
    bool stored = false;

    // Used on libzip's thread only.
    size_t readPiece = 0;
    qint64 readPos = 0;
    qint64 handed = 0; ///< bytes given to libzip so far
    qint64 inputSeen = 0;
    quint32 crc = 0;
    bool readToEnd = false;
    bool delivered = false;
    zip_error_t error;
};

zip_int64_t packSourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command);

PackPipeline::PackPipeline(CompressionLevel level, const CancelToken& cancel, std::function<void(bool)> progress,
                           Tuning tuning)
    : m_level(level), m_cancel(cancel), m_progress(std::move(progress)), m_tuning(tuning) {}

PackPipeline::PackPipeline(CompressionLevel level, const CancelToken& cancel, std::function<void(bool)> progress)
    : PackPipeline(level, cancel, std::move(progress), Tuning{}) {}

PackPipeline::~PackPipeline() {
    stop();
    for (auto& job : m_jobs)
        zip_error_fini(&job->error);
}

zip_source_t* PackPipeline::addFile(zip_t* zip, const QByteArray& nativePath, const QString& displayPath, qint64 size,
                                    std::time_t mtime, size_t* jobId) {
    auto job = std::make_unique<Job>();
    job->owner = this;
    job->path = nativePath;
    job->display = displayPath;
    job->size = size;
    job->mtime = mtime;
    zip_error_init(&job->error);
    if (size <= m_tuning.wholeFileLimit) {
        auto piece = std::make_unique<Piece>();
        piece->whole = piece->last = true;
        piece->length = size;
        job->pieces.push_back(std::move(piece));
    } else {
        for (qint64 at = 0; at < size; at += m_tuning.pieceSize) {
            auto piece = std::make_unique<Piece>();
            piece->part = job->pieces.size();
            piece->offset = at;
            piece->length = std::min(m_tuning.pieceSize, size - at);
            piece->last = at + piece->length >= size;
            job->pieces.push_back(std::move(piece));
        }
    }
    for (auto& piece : job->pieces)
        piece->job = job.get();
    zip_source_t* source = zip_source_function(zip, packSourceCallback, job.get());
    if (!source) {
        zip_error_fini(&job->error);
        return nullptr;
    }
    *jobId = m_jobs.size();
    m_jobs.push_back(std::move(job));
    return source;
}

void PackPipeline::setIndex(size_t jobId, qint64 index) {
    if (jobId < m_jobs.size()) m_jobs[jobId]->index = index;
}

void PackPipeline::start() {
    std::vector<Job*> jobs;
    for (auto& job : m_jobs)
        jobs.push_back(job.get());
    // libzip writes entries in index order (replaced entries keep their place), so the workers go the same way.
    std::stable_sort(jobs.begin(), jobs.end(), [](const Job* a, const Job* b) {
        return quint64(a->index) < quint64(b->index); // unknown (-1) last
    });
    m_schedule.clear();
    for (Job* job : jobs)
        for (auto& piece : job->pieces)
            m_schedule.push_back(piece.get());
    const int workers = std::max(1, std::min<int>(m_tuning.workers, int(m_schedule.size())));
    for (int i = 0; i < workers; ++i)
        m_threads.emplace_back([this] { workerLoop(); });
}

void PackPipeline::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workerWake.notify_all();
    m_consumerWake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
    m_threads.clear();
}

QString PackPipeline::failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void PackPipeline::workerLoop() {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(libdeflateLevel(m_level));
    // One zlib stream per worker, reset for every piece: setting one up costs more than deflating a small piece.
    z_stream zs{};
    const bool zlibReady = deflateInit2(&zs, zlibLevel(m_level), Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK;
    std::vector<char> scratch;
    for (;;) {
        Piece* piece = nullptr;
        {
            std::unique_lock lock(m_mutex);
            const auto cost = [&](const Piece* p) { return std::max<qint64>(p->whole ? p->length : 2 * p->length, 1); };
            // Never more than the budget ahead of libzip; but a piece may always start when nothing is held, so
            // the piece libzip waits for can never be kept out.
            m_workerWake.wait(lock, [&] {
                return m_stopping || m_nextToStart >= m_schedule.size() || m_reserved == 0 ||
                       m_reserved + cost(m_schedule[m_nextToStart]) <= m_tuning.memoryBudget;
            });
            if (m_stopping || m_nextToStart >= m_schedule.size()) break;
            piece = m_schedule[m_nextToStart++];
            piece->reserved = cost(piece);
            m_reserved += piece->reserved;
            piece->state = Piece::State::Running;
            if (piece->job->failed) { // the package will not be written; no point in the rest of this file
                m_reserved -= piece->reserved;
                piece->reserved = 0;
                continue;
            }
        }
        if (!compressor || !zlibReady) {
            fail(*piece->job, QStringLiteral("out of memory"));
            continue;
        }
        if (piece->whole)
            runWhole(*piece, compressor, scratch);
        else
            runPiece(*piece, compressor, &zs);
    }
    if (zlibReady) deflateEnd(&zs);
    libdeflate_free_compressor(compressor);
}

void PackPipeline::fail(Job& job, const QString& reason) {
    {
        std::lock_guard lock(m_mutex);
        job.failed = true;
        if (m_failure.isEmpty()) m_failure = QStringLiteral("Cannot read %1: %2.").arg(job.display, reason);
    }
    m_consumerWake.notify_all();
    m_workerWake.notify_all();
}

void PackPipeline::runWhole(Piece& piece, void* compressorPtr, std::vector<char>& scratch) {
    Job& job = *piece.job;
    auto* compressor = static_cast<libdeflate_compressor*>(compressorPtr);
    const int fd = ::open(job.path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return fail(job, SystemError::errorText(errno));
    FileCloser closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(job, SystemError::errorText(errno));
    // Read what the file holds now (it may have changed since it was ordered), within the bound for whole files.
    const qint64 want = std::min<qint64>(qint64(st.st_size), std::max(job.size, m_tuning.wholeFileLimit));
    QByteArray input(want, Qt::Uninitialized);
    const qint64 got = FileOps::readFullyAt(fd, input.data(), want, 0);
    if (got < 0) return fail(job, SystemError::errorText(errno));
    input.truncate(got);

    const quint32 crc = quint32(libdeflate_crc32(0, input.constData(), size_t(got)));
    QByteArray output;
    bool stored = true;
    if (got > 0) {
        if (scratch.size() < size_t(got)) scratch.resize(size_t(got));
        // Room for one byte less than the input: a result that does not shrink the file does not fit, and the
        // file is stored instead, as every zip program does.
        const size_t packed =
            libdeflate_deflate_compress(compressor, input.constData(), size_t(got), scratch.data(), size_t(got - 1));
        if (packed > 0) {
            output = QByteArray(scratch.data(), qsizetype(packed));
            stored = false;
        }
    }
    if (stored) output = std::move(input);
    {
        std::lock_guard lock(m_mutex);
        piece.output = std::move(output);
        piece.input = got;
        piece.crc = crc;
        job.stored = stored;
        job.decided = true;
        m_reserved += piece.output.size() - piece.reserved;
        piece.reserved = piece.output.size();
        piece.state = Piece::State::Ready;
    }
    m_consumerWake.notify_all();
    m_workerWake.notify_all();
}

void PackPipeline::runPiece(Piece& piece, void* compressorPtr, void* stream) {
    Job& job = *piece.job;
    auto* compressor = static_cast<libdeflate_compressor*>(compressorPtr);
    auto* zs = static_cast<z_stream*>(stream);
    const int fd = ::open(job.path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return fail(job, SystemError::errorText(errno));
    FileCloser closer{fd};
    // The piece holding the end reads on to the real end, in case the file grew since it was ordered.
    qint64 want = piece.length;
    if (piece.last) {
        struct stat st;
        if (::fstat(fd, &st) == 0)
            want = std::max<qint64>(
                0, std::min<qint64>(qint64(st.st_size) - piece.offset, piece.length + m_tuning.pieceSize));
    }
    QByteArray input(want, Qt::Uninitialized);
    const qint64 got = FileOps::readFullyAt(fd, input.data(), want, piece.offset);
    if (got < 0) return fail(job, SystemError::errorText(errno));
    input.truncate(got);
    const quint32 crc = quint32(libdeflate_crc32(0, input.constData(), size_t(got)));

    // Publish this piece's end for the next one, then learn what this piece needs: the decision to store (made by
    // the first piece) and the end of the piece before, exactly as it was read, so the stream stays consistent
    // even when the file changes under us.
    Piece* before = piece.part > 0 ? job.pieces[piece.part - 1].get() : nullptr;
    {
        std::unique_lock lock(m_mutex);
        piece.tail = input.right(kDictionarySize);
        piece.input = got;
        piece.state = Piece::State::Read;
    }
    m_workerWake.notify_all();
    if (piece.part == 0) {
        // Whether to store is decided on the first piece: data that libdeflate's quickest level cannot shrink by
        // a few percent is already compressed (media, archives), and deflating it would only cost time.
        const size_t room = size_t(got - got / 32);
        std::vector<char> probe(room + 1);
        libdeflate_compressor* quick = libdeflate_alloc_compressor(1);
        const bool stored = got == 0 || !quick ||
                            libdeflate_deflate_compress(quick ? quick : compressor, input.constData(), size_t(got),
                                                        probe.data(), room) == 0;
        libdeflate_free_compressor(quick);
        {
            std::lock_guard lock(m_mutex);
            job.stored = stored;
            job.decided = true;
        }
        m_workerWake.notify_all();
        m_consumerWake.notify_all();
    }
    QByteArray dictionary;
    bool stored = false;
    {
        std::unique_lock lock(m_mutex);
        m_workerWake.wait(lock, [&] {
            return m_stopping || job.failed ||
                   (job.decided &&
                    (!before || before->state == Piece::State::Read || before->state == Piece::State::Ready));
        });
        if (m_stopping || job.failed) return;
        stored = job.stored;
        if (before && !stored) dictionary = std::move(before->tail); // nobody else needs it
        if (before) before->tail = QByteArray();
    }

    QByteArray output;
    if (stored) {
        output = std::move(input);
    } else {
        output = deflatePiece(zs, input, dictionary, piece.last);
        if (output.isNull()) return fail(job, QStringLiteral("compression failed"));
    }
    {
        std::lock_guard lock(m_mutex);
        piece.output = std::move(output);
        piece.crc = crc;
        m_reserved += piece.output.size() - piece.reserved;
        piece.reserved = piece.output.size();
        piece.state = Piece::State::Ready;
    }
    m_consumerWake.notify_all();
    m_workerWake.notify_all();
}

bool PackPipeline::waitFor(Job& job, const std::function<bool()>& ready, zip_error_t* error) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (job.failed) {
            zip_error_set(error, ZIP_ER_READ, 0);
            return false;
        }
        if (ready()) return true;
        if (m_cancel.cancelled() || m_stopping) {
            zip_error_set(error, ZIP_ER_CANCELLED, 0);
            return false;
        }
        if (!m_consumerWake.wait_for(lock, kWaitSlice, [&] { return job.failed || ready(); })) {
            // Still waiting: keep the progress display (and its cancel button) alive meanwhile.
            lock.unlock();
            m_progress(false);
            lock.lock();
        }
    }
}

void PackPipeline::releasePiece(Piece& piece) {
    {
        std::lock_guard lock(m_mutex);
        piece.output = QByteArray();
        m_reserved -= piece.reserved;
        piece.reserved = 0;
    }
    m_workerWake.notify_all();
}

void PackPipeline::delivered(Job& job) {
    if (job.delivered) return;
    job.delivered = true;
    ++m_filesDone;
    // The last delivery is always reported: a cancel there still stops the package from being written.
    m_progress(allDelivered());
}

zip_int64_t packSourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto& job = *static_cast<PackPipeline::Job*>(state);
    PackPipeline& pipe = *job.owner;
    using PieceState = PackPipeline::Piece::State;
    switch (command) {
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &job.error);
        if (!st) return -1;
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD;
        st->mtime = job.mtime;
        if (!job.readToEnd) {
            // Before reading: deflate, whatever the outcome, so libzip copies the bytes untouched.
            st->comp_method = ZIP_CM_DEFLATE;
            st->size = zip_uint64_t(job.size);
            PackPipeline::Piece& only = *job.pieces.front();
            if (only.whole) {
                // A whole file is small: wait for it, so the first header libzip writes is already the right one.
                if (!pipe.waitFor(
                        job, [&] { return only.state == PieceState::Ready; }, &job.error))
                    return -1;
                st->size = zip_uint64_t(only.input);
                st->comp_size = zip_uint64_t(only.output.size());
                st->crc = only.crc;
                st->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
            }
        } else {
            std::lock_guard lock(pipe.m_mutex);
            st->comp_method = job.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
            st->size = zip_uint64_t(job.inputSeen);
            st->comp_size = zip_uint64_t(job.handed);
            st->crc = job.crc;
            st->valid |= ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
        }
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_OPEN:
        job.readPiece = 0;
        job.readPos = 0;
        job.handed = 0;
        job.inputSeen = 0;
        job.crc = 0;
        job.readToEnd = false;
        return 0;
    case ZIP_SOURCE_READ: {
        if (pipe.m_cancel.cancelled()) {
            zip_error_set(&job.error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        auto* out = static_cast<char*>(data);
        zip_int64_t n = 0;
        while (job.readPiece < job.pieces.size()) {
            PackPipeline::Piece& piece = *job.pieces[job.readPiece];
            if (!pipe.waitFor(
                    job, [&] { return piece.state == PieceState::Ready; }, &job.error))
                return -1;
            if (job.readPos < piece.output.size()) {
                n = zip_int64_t(std::min<qint64>(qint64(length), piece.output.size() - job.readPos));
                memcpy(out, piece.output.constData() + job.readPos, size_t(n));
                job.readPos += n;
                break;
            }
            // This piece is all handed over: account for it and let the workers have its memory.
            job.crc = quint32(crc32_combine(job.crc, piece.crc, z_off_t(piece.input)));
            job.inputSeen += piece.input;
            pipe.m_bytesDone += piece.input;
            pipe.releasePiece(piece);
            ++job.readPiece;
            job.readPos = 0;
        }
        job.handed += n;
        if (n > 0) {
            pipe.m_progress(false);
            return n;
        }
        job.readToEnd = true;
        pipe.delivered(job);
        if (pipe.m_cancel.cancelled()) {
            zip_error_set(&job.error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        return 0;
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&job.error, data, length);
    case ZIP_SOURCE_FREE:
        return 0;
    default:
        zip_error_set(&job.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace zipdetail
