#pragma once
// Parallel compression for zCompressFiles. libzip compresses serially inside zip_close, which leaves all but one
// core idle; instead, worker threads deflate the ordered files ahead of time and libzip is handed the finished
// deflate streams through source callbacks, which it copies into the package as they are.
//
// Files up to a bound are deflated whole with libdeflate (quicker than zlib and a little tighter). Larger files
// are cut into pieces that the workers deflate in parallel with zlib, each piece primed with the last 32 KiB of
// the piece before it (so matches reach across the cut as in one stream) and closed with a sync flush (so the
// pieces, put end to end, form one valid deflate stream); the piece holding the file's end finishes the stream.
//
// How libzip takes the bytes (checked against libzip 1.7.3): a source whose stat names a compression method other
// than "store" and whose entry keeps libzip's default method is copied raw, without recompressing; the method,
// CRC and sizes that end up in the headers are those the source reports in its stat after it was read to the end.
// So a stat before reading always names deflate (so libzip keeps its hands off the bytes), and the stat after
// reading tells the truth, including "stored" for a file that did not shrink.
//
// Memory stays bounded whatever the number and size of the files: the workers only run ahead of libzip while the
// buffers they hold stay under a fixed budget, and a large file is never held whole, only some of its pieces.

#include "ZipDetail.h"
#include "ZipTypes.h"
#include "utility/CancelToken.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <zip.h>

struct z_stream_s;

namespace zipdetail {

/// One piece of a large file deflated with zlib stream zs (raw deflate, reset here): primed with dictionary (the
/// end of the piece before), closed with a sync flush, or finishing the stream when last. Null when zlib fails.
QByteArray deflatePiece(z_stream_s* zs, const QByteArray& input, const QByteArray& dictionary, bool last);

class PackPipeline {
  public:
    struct Tuning {
        int workers = 2;
        qint64 wholeFileLimit = qint64(16) << 20; ///< larger files are deflated in pieces with zlib
        qint64 pieceSize = qint64(1) << 20;       ///< input per piece of a large file
        qint64 memoryBudget = qint64(96) << 20;   ///< bytes the workers may hold ahead of libzip
    };

    /// progress is called on the thread that runs zip_close (libzip's), with force for reports that must not be
    /// skipped. The workers and the sources stop once cancel is set.
    PackPipeline(CompressionLevel level, const CancelToken& cancel, std::function<void(bool force)> progress,
                 Tuning tuning);
    PackPipeline(CompressionLevel level, const CancelToken& cancel, std::function<void(bool force)> progress);
    ~PackPipeline();
    PackPipeline(const PackPipeline&) = delete;
    PackPipeline& operator=(const PackPipeline&) = delete;

    /// A source for libzip that delivers the file's deflated bytes; size and mtime as found when it was ordered.
    /// The caller gives the libzip index the entry got with setIndex so the workers go in libzip's order.
    zip_source_t* addFile(zip_t* zip, const QByteArray& nativePath, const QString& displayPath, qint64 size,
                          std::time_t mtime, size_t* jobId);
    void setIndex(size_t jobId, qint64 index);

    /// Starts the workers; call once every file was added, right before zip_close.
    void start();
    /// Stops the workers and waits for them (also done by the destructor).
    void stop();

    qint64 bytesDone() const { return m_bytesDone.load(); }
    qint64 filesDone() const { return m_filesDone.load(); }
    bool allDelivered() const { return m_filesDone.load() == qint64(m_jobs.size()); }
    /// The first failure (a file that could not be read), empty when none.
    QString failure() const;

    /// The libdeflate level used for a compression level (files deflated whole).
    static int libdeflateLevel(CompressionLevel level);
    /// The zlib level used for a compression level (large files, deflated in pieces).
    static int zlibLevel(CompressionLevel level);

    struct Job;
    struct Piece;

  private:
    friend zip_int64_t packSourceCallback(void*, void*, zip_uint64_t, zip_source_cmd_t);

    void workerLoop();
    void runWhole(Piece& piece, void* compressor, std::vector<char>& scratch);
    void runPiece(Piece& piece, void* compressor, void* stream);
    void fail(Job& job, const QString& reason);
    bool waitFor(Job& job, const std::function<bool()>& ready, zip_error_t* error);
    void releasePiece(Piece& piece);
    void delivered(Job& job);

    CompressionLevel m_level;
    const CancelToken& m_cancel;
    std::function<void(bool)> m_progress;
    Tuning m_tuning;

    std::vector<std::unique_ptr<Job>> m_jobs;
    std::vector<Piece*> m_schedule; ///< pieces in the order libzip will ask for them
    size_t m_nextToStart = 0;
    qint64 m_reserved = 0; ///< memory held by pieces that were started and not yet handed to libzip
    bool m_stopping = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_workerWake;   ///< for workers: room in the budget, a piece they need, or stop
    std::condition_variable m_consumerWake; ///< for libzip's thread: a piece is ready
    std::vector<std::thread> m_threads;
    QString m_failure;

    std::atomic<qint64> m_bytesDone{0};
    std::atomic<qint64> m_filesDone{0};
};

} // namespace zipdetail
