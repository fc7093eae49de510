// The read-back check of a written package without libzip: libzip's test seeks and reads each entry on its own and
// inflates with zlib, which for 100,000 small entries takes most of a backup's time. Here the entries, sorted by
// where they lie, are split into a few contiguous stretches, one per worker; each worker reads its stretch in big
// pieces (many small entries come from one read) and inflates with libdeflate straight into a buffer of the
// entry's size. Entries too large for that are inflated in pieces with zlib, so memory stays bounded. Every value
// the file gives is checked against the file's size before it is used to read or to size anything.

#include "PackageCheck.h"
#include "ZipDetail.h"
#include "ZipLayout.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <QStringDecoder>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <libdeflate.h>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>
#include <zlib.h>

namespace {

using namespace zipdetail;

constexpr qint64 kPiece = qint64(8) << 20;                 // one read: many small entries, or a piece of a large one
constexpr quint64 kWholeEntryBytes = quint64(32) << 20;    // larger entries are inflated in pieces
constexpr qint64 kStreamOutput = qint64(1) << 20;          // what one inflate step of a large entry produces
constexpr quint64 kBytesPerExtraWorker = quint64(4) << 20; // below this a thread costs more than it saves
constexpr int kMostWorkers = 16;
constexpr auto kProgressInterval = std::chrono::milliseconds(25);
constexpr qint64 kMaxProgress = std::numeric_limits<qint64>::max();

constexpr quint16 kFlagEncrypted = 0x0001;
constexpr quint16 kFlagDescriptor = 0x0008;
constexpr quint16 kFlagStrongEncryption = 0x0040;
constexpr quint16 kFlagUtf8 = 0x0800;
constexpr quint16 kFlagMaskedDirectory = 0x2000;
constexpr quint16 kMethodStore = 0;
constexpr quint16 kMethodDeflate = 8;
constexpr quint16 kExtraZip64 = 0x0001;
constexpr quint32 kMax32 = 0xFFFFFFFFu;

// The reasons an entry fails: where libzip's test meets the same fault, in its words (ZipErrors.cpp,
// ZipExtractor.cpp), so that a failed check reads the same whichever reader made it.
const QString kCrcError = QStringLiteral("CRC error: the data is damaged");
const QString kBadDeflate = QStringLiteral("the compressed data is damaged");
const QString kNoLocalHeader = QStringLiteral("the package is damaged (there is no local header where its directory "
                                              "says)");
const QString kLocalMismatch = QStringLiteral("the package is damaged (its local header does not match its directory)");
const QString kTruncated = QStringLiteral("the package ends too early (it may be truncated)");

QString sizeMismatch(quint64 produced, quint64 declared) {
    return QStringLiteral("the data is damaged (%1 bytes where the directory says %2)").arg(produced).arg(declared);
}
QString tooLarge(quint64 declared) {
    return QStringLiteral("the data is damaged (more than the %1 bytes the directory says)").arg(declared);
}

/// Names that are not UTF-8 and were not made on Unix are CP437, as libzip reads them (its pictures for control
/// characters aside).
QString fromCp437(QByteArrayView bytes) {
    static const char16_t kHigh[] = u"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨"
                                    u"╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
    static_assert(sizeof(kHigh) / sizeof(kHigh[0]) == 129);
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes)
        text += uchar(c) < 0x80 ? QChar(uchar(c)) : QChar(kHigh[uchar(c) - 0x80]);
    return text;
}

/// The stored name as the package's listing shows it (ZipPackageRead), so that failures name entries alike.
QString storedNameOf(QByteArrayView bytes, quint16 flags, bool madeOnUnix) {
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if ((flags & kFlagUtf8) || !utf8.hasError()) return text;
    return madeOnUnix ? NativePath::decode(bytes) : fromCp437(bytes);
}

/// Finds the zip64 field among the extra fields; nullptr (and *length untouched) when there is none.
const char* zip64Field(const char* extra, qsizetype extraLength, qsizetype* length) {
    for (qsizetype at = 0; extraLength - at >= 4;) {
        const quint16 id = le16(extra + at), size = le16(extra + at + 2);
        if (extraLength - at - 4 < size) return nullptr;
        if (id == kExtraZip64) {
            *length = size;
            return extra + at + 4;
        }
        at += 4 + size;
    }
    return nullptr;
}

/// Sizes come from the package and may be anything up to 2^64 - 1: sums stop at the largest qint64.
qint64 saturatedSum(qint64 total, quint64 value) {
    return value > quint64(kMaxProgress - total) ? kMaxProgress : total + qint64(value);
}
void addSaturated(std::atomic<qint64>& total, quint64 value) {
    qint64 now = total.load(std::memory_order_relaxed);
    while (!total.compare_exchange_weak(now, saturatedSum(now, value), std::memory_order_relaxed)) {
    }
}

struct Entry {
    quint64 localOffset = 0;
    quint64 compressedSize = 0;
    quint64 size = 0;
    quint64 next = 0;  ///< where the entry that follows it in the file starts (or the directory)
    qint64 record = 0; ///< where its record starts in the directory bytes
    size_t index = 0;  ///< its place in the directory
    quint32 crc = 0;
    quint16 method = 0;
    quint16 nameLength = 0;
};

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

/// One worker's view of the file: the piece it read last, and the buffer entries are inflated into.
struct Reader {
    int fd = -1;
    quint64 limit = 0; ///< where this worker's stretch ends; nothing after it is read
    std::unique_ptr<char[]> piece{new char[size_t(kPiece)]};
    quint64 pieceStart = 0;
    qint64 pieceLength = 0;
    std::unique_ptr<char[]> out;
    quint64 outCapacity = 0;
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor{libdeflate_alloc_decompressor()};
    quint64 counted = 0; ///< bytes of the current entry already added to the progress (large entries)

    /// The length bytes at offset (length at most kPiece, offset + length within limit), read with the bytes after
    /// them when they are not in the last piece; nullptr with the reason in *why when they cannot be read.
    const char* view(quint64 offset, qint64 length, QString* why) {
        if (offset >= pieceStart && offset - pieceStart + quint64(length) <= quint64(pieceLength))
            return piece.get() + (offset - pieceStart);
        if (offset > limit || quint64(length) > limit - offset) {
            *why = kTruncated;
            return nullptr;
        }
        const qint64 want = qint64(std::min<quint64>(quint64(kPiece), limit - offset));
        const qint64 got = FileOps::readFullyAt(fd, piece.get(), want, qint64(offset));
        pieceStart = offset;
        pieceLength = std::max<qint64>(got, 0);
        if (pieceLength >= length) return piece.get();
        *why = got < 0 ? SystemError::errorText(errno) : kTruncated;
        pieceLength = 0;
        return nullptr;
    }
    char* output(quint64 size) {
        if (size > outCapacity || !out) {
            out.reset(new char[size_t(std::max<quint64>(size, 1))]);
            outCapacity = size;
        }
        return out.get();
    }
};

class Checker {
  public:
    Checker(const CancelToken& cancel, const ZipProgressCallback& progress) : m_cancel(cancel), m_progress(progress) {}
    ~Checker() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;
    PackageCheck run(const QString& path, int workers);

  private:
    bool readDirectory(PackageCheck* out);
    QString nameOf(const Entry& e) const;
    void fail(const Entry& e, const QString& reason);
    void work(size_t begin, size_t end, quint64 limit, bool callerThread);
    QString check(const Entry& e, Reader& reader);
    QString checkLarge(const Entry& e, quint64 dataStart, Reader& reader);
    void reportProgress(bool force);

    const CancelToken& m_cancel;
    const ZipProgressCallback& m_progress;
    int m_fd = -1;
    QString m_shownPath;
    qint64 m_fileSize = 0;
    quint64 m_directoryOffset = 0;
    QByteArray m_directory;
    std::vector<Entry> m_entries; // in file order
    qint64 m_bytesTotal = 0;
    std::atomic<qint64> m_filesDone{0};
    std::atomic<qint64> m_bytesDone{0};
    std::mutex m_failureMutex;
    std::vector<std::pair<size_t, QString>> m_failures; // directory index, "name: reason"
    std::chrono::steady_clock::time_point m_lastReport{};
    bool m_reportedOnce = false;
};

QString Checker::nameOf(const Entry& e) const {
    const char* p = m_directory.constData() + e.record;
    return storedNameOf(QByteArrayView(p + kCentralHeaderSize, e.nameLength), le16(p + 8), (le16(p + 4) >> 8) == 3);
}

void Checker::fail(const Entry& e, const QString& reason) {
    const QString text = nameOf(e) + QStringLiteral(": ") + reason;
    std::lock_guard lock(m_failureMutex);
    m_failures.emplace_back(e.index, text);
}

bool Checker::readDirectory(PackageCheck* out) {
    const auto failed = [&](const QString& why) {
        out->verdict = PackageCheck::Verdict::Failed;
        out->message = QStringLiteral("Cannot check %1: %2.").arg(m_shownPath, why);
        return false;
    };
    const DiskReader read = [this](quint32 disk, quint64 offset, qint64 length) {
        QByteArray bytes;
        if ((disk != 0 && disk != quint32(-1)) || offset > quint64(m_fileSize)) return bytes;
        length = std::min<qint64>(length, m_fileSize - qint64(offset));
        bytes.resize(length);
        bytes.resize(std::max<qint64>(FileOps::readFullyAt(m_fd, bytes.data(), length, qint64(offset)), 0));
        return bytes;
    };
    EndRecords end;
    QString why;
    if (!readEndRecords(read, m_fileSize, &end, &why)) return failed(why);
    const QByteArray start = read(0, 0, 4);
    if (end.spanned() || (start.size() == 4 && (le32(start.constData()) == kSplitSignature ||
                                                le32(start.constData()) == kSingleSplitSignature))) {
        out->verdict = PackageCheck::Verdict::NotPlain;
        out->message = QStringLiteral("the package is split into volumes");
        return false;
    }
    if (end.entriesOnDisk != end.entries)
        return failed(QStringLiteral("the end-of-directory record counts %1 entries on its disk but %2 in all")
                          .arg(end.entriesOnDisk)
                          .arg(end.entries));
    if (end.directoryOffset > quint64(end.endOffset) ||
        end.directorySize > quint64(end.endOffset) - end.directoryOffset)
        return failed(QStringLiteral("the central directory lies beyond the end of the file"));
    // Every record takes at least its fixed part, so a larger count is a lie, and no reason to reserve.
    if (end.entries > end.directorySize / kCentralHeaderSize)
        return failed(QStringLiteral("the end-of-directory record announces %1 entries, more than its directory holds")
                          .arg(end.entries));
    m_directoryOffset = end.directoryOffset;
    m_directory = read(0, end.directoryOffset, qint64(end.directorySize));
    if (quint64(m_directory.size()) != end.directorySize) return failed(kTruncated);

    const char* directory = m_directory.constData();
    const qint64 size = m_directory.size();
    m_entries.reserve(size_t(end.entries));
    qint64 at = 0;
    for (quint64 i = 0; i < end.entries; ++i) {
        const char* p = directory + at;
        if (size - at < kCentralHeaderSize || le32(p) != kCentralHeaderSignature)
            return failed(QStringLiteral("the central directory is damaged (record %1 of %2 is missing)")
                              .arg(i + 1)
                              .arg(end.entries));
        const quint16 flags = le16(p + 8), nameLength = le16(p + 28), extraLength = le16(p + 30);
        const qint64 length = qint64(kCentralHeaderSize) + nameLength + extraLength + le16(p + 32);
        if (size - at < length) return failed(QStringLiteral("the central directory is cut short"));
        Entry e;
        e.record = at;
        e.index = size_t(i);
        e.method = le16(p + 10);
        e.crc = le32(p + 16);
        e.compressedSize = le32(p + 20);
        e.size = le32(p + 24);
        e.nameLength = nameLength;
        e.localOffset = le32(p + 42);
        quint32 disk = le16(p + 34);
        at += length;
        if ((flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedDirectory))) {
            out->verdict = PackageCheck::Verdict::NotPlain;
            out->message = QStringLiteral("%1 is encrypted").arg(nameOf(e));
            return false;
        }
        if (e.method != kMethodStore && e.method != kMethodDeflate) {
            out->verdict = PackageCheck::Verdict::NotPlain;
            out->message = QStringLiteral("%1 is compressed with method %2").arg(nameOf(e)).arg(e.method);
            return false;
        }
        // The zip64 field holds, in this order, exactly the values whose classic fields are saturated.
        if (e.size == kMax32 || e.compressedSize == kMax32 || e.localOffset == kMax32 || disk == 0xFFFF) {
            qsizetype left = 0;
            const char* v = zip64Field(p + kCentralHeaderSize + nameLength, extraLength, &left);
            const auto take64 = [&](quint64& field) {
                if (field != kMax32) return true;
                if (!v || left < 8) return false;
                field = le64(v);
                v += 8;
                left -= 8;
                return true;
            };
            bool complete = take64(e.size) && take64(e.compressedSize) && take64(e.localOffset);
            if (complete && disk == 0xFFFF) {
                complete = v && left >= 4;
                if (complete) disk = le32(v);
            }
            if (!complete) {
                fail(e, QStringLiteral("the package is damaged (its zip64 field is missing or too short)"));
                continue;
            }
        }
        if (disk != 0) {
            fail(e, QStringLiteral("the package is damaged (its directory places it on another volume)"));
            continue;
        }
        if (e.localOffset >= m_directoryOffset) {
            fail(e, kNoLocalHeader);
            continue;
        }
        m_entries.push_back(e);
    }
    if (at != size)
        return failed(QStringLiteral("the central directory holds more than its %1 records").arg(end.entries));
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        return a.localOffset != b.localOffset ? a.localOffset < b.localOffset : a.index < b.index;
    });
    for (size_t i = 0; i < m_entries.size(); ++i) {
        m_entries[i].next = i + 1 < m_entries.size() ? m_entries[i + 1].localOffset : m_directoryOffset;
        m_bytesTotal = saturatedSum(m_bytesTotal, m_entries[i].size);
    }
    return true;
}

QString Checker::check(const Entry& e, Reader& reader) {
    // Each entry's header and data end before the next entry (in the file) starts, or the directory.
    const auto noRoom = [&] {
        if (e.next == m_directoryOffset)
            return QStringLiteral("the package is damaged (its data runs into the central directory)");
        return QStringLiteral("the package is damaged (its data overlaps the entry %1)").arg(nameOf(*(&e + 1)));
    };
    QString why;
    if (e.next - e.localOffset < quint64(kLocalHeaderSize)) return noRoom();
    const char* h = reader.view(e.localOffset, kLocalHeaderSize, &why);
    if (!h) return why;
    if (le32(h) != kLocalHeaderSignature) return kNoLocalHeader;
    const quint16 flags = le16(h + 6), nameLength = le16(h + 26), extraLength = le16(h + 28);
    const quint64 dataStart = e.localOffset + kLocalHeaderSize + nameLength + extraLength;
    if (dataStart > e.next || e.compressedSize > e.next - dataStart) return noRoom();
    const qint64 headerLength = qint64(dataStart - e.localOffset);
    h = reader.view(e.localOffset, headerLength, &why);
    if (!h) return why;
    const char* name = m_directory.constData() + e.record + kCentralHeaderSize;
    if (nameLength != e.nameLength || std::memcmp(h + kLocalHeaderSize, name, nameLength) != 0 ||
        le16(h + 8) != e.method || (flags & kFlagEncrypted))
        return kLocalMismatch;
    // With a data descriptor the local header was written before the data and holds no sizes; the directory's
    // values are the ones to check against.
    if (!(flags & kFlagDescriptor)) {
        quint64 localSize = le32(h + 22), localCompressed = le32(h + 18);
        if (localSize == kMax32 || localCompressed == kMax32) {
            qsizetype left = 0;
            const char* v = zip64Field(h + kLocalHeaderSize + nameLength, extraLength, &left);
            if (v && localSize == kMax32 && left >= 8) localSize = le64(v), v += 8, left -= 8;
            if (v && localCompressed == kMax32 && left >= 8) localCompressed = le64(v);
        }
        if (le32(h + 14) != e.crc || localSize != e.size || localCompressed != e.compressedSize) return kLocalMismatch;
    }
    if (e.method == kMethodStore && e.compressedSize != e.size) return sizeMismatch(e.compressedSize, e.size);

    if (e.size > kWholeEntryBytes || quint64(headerLength) + e.compressedSize > quint64(kPiece))
        return checkLarge(e, dataStart, reader);
    const char* data = reader.view(e.localOffset, headerLength + qint64(e.compressedSize), &why);
    if (!data) return why;
    data += headerLength;
    quint32 crc = 0;
    if (e.method == kMethodStore) {
        crc = quint32(libdeflate_crc32(0, data, size_t(e.size)));
    } else {
        if (!reader.decompressor) return QStringLiteral("out of memory");
        char* out = reader.output(e.size);
        size_t consumed = 0, produced = 0;
        const libdeflate_result result = libdeflate_deflate_decompress_ex(
            reader.decompressor.get(), data, size_t(e.compressedSize), out, size_t(e.size), &consumed, &produced);
        if (result == LIBDEFLATE_INSUFFICIENT_SPACE) return tooLarge(e.size);
        if (result != LIBDEFLATE_SUCCESS) return kBadDeflate;
        if (produced != e.size) return sizeMismatch(produced, e.size);
        if (consumed != e.compressedSize)
            return QStringLiteral("the compressed data is damaged (it ends after %1 of its %2 bytes)")
                .arg(consumed)
                .arg(e.compressedSize);
        crc = quint32(libdeflate_crc32(0, out, produced));
    }
    return crc == e.crc ? QString() : kCrcError;
}

QString Checker::checkLarge(const Entry& e, quint64 dataStart, Reader& reader) {
    // The pieces are read into the worker's read buffer, which then no longer holds what view() gave before.
    reader.pieceLength = 0;
    char* in = reader.piece.get();
    z_stream z = {};
    const bool inflating = e.method == kMethodDeflate;
    if (inflating && inflateInit2(&z, -MAX_WBITS) != Z_OK) return QStringLiteral("out of memory");
    const std::unique_ptr<z_stream, int (*)(z_stream*)> end(inflating ? &z : nullptr, inflateEnd);
    char* out = inflating ? reader.output(quint64(kStreamOutput)) : nullptr;
    quint64 fed = 0, produced = 0;
    quint32 crc = 0;
    bool streamEnded = !inflating;
    while (fed < e.compressedSize && !(inflating && streamEnded)) {
        if (m_cancel.cancelled()) return {};
        const qint64 want = qint64(std::min<quint64>(quint64(kPiece), e.compressedSize - fed));
        const qint64 got = FileOps::readFullyAt(m_fd, in, want, qint64(dataStart + fed));
        if (got != want) return got < 0 ? SystemError::errorText(errno) : kTruncated;
        fed += quint64(got);
        if (!inflating) {
            crc = quint32(libdeflate_crc32(crc, in, size_t(got)));
            addSaturated(m_bytesDone, quint64(got));
            reader.counted += quint64(got);
            continue;
        }
        z.next_in = reinterpret_cast<Bytef*>(in);
        z.avail_in = uInt(got);
        // Until this piece is used up or the stream ends; a full output buffer may hide more to come.
        do {
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = uInt(kStreamOutput);
            const int result = inflate(&z, Z_NO_FLUSH);
            if (result == Z_MEM_ERROR) return QStringLiteral("out of memory");
            if (result != Z_OK && result != Z_STREAM_END && !(result == Z_BUF_ERROR && z.avail_in == 0))
                return kBadDeflate;
            const quint64 made = quint64(kStreamOutput) - z.avail_out;
            produced += made;
            if (produced > e.size) return tooLarge(e.size);
            crc = quint32(libdeflate_crc32(crc, out, size_t(made)));
            addSaturated(m_bytesDone, made);
            reader.counted += made;
            streamEnded = result == Z_STREAM_END;
        } while (!streamEnded && (z.avail_in > 0 || z.avail_out == 0));
    }
    if (inflating) {
        if (!streamEnded) return kBadDeflate;
        const quint64 consumed = fed - z.avail_in;
        if (consumed != e.compressedSize)
            return QStringLiteral("the compressed data is damaged (it ends after %1 of its %2 bytes)")
                .arg(consumed)
                .arg(e.compressedSize);
        if (produced != e.size) return sizeMismatch(produced, e.size);
    }
    return crc == e.crc ? QString() : kCrcError;
}

void Checker::work(size_t begin, size_t end, quint64 limit, bool callerThread) {
    Reader reader;
    reader.fd = m_fd;
    reader.limit = limit;
    for (size_t i = begin; i < end && !m_cancel.cancelled(); ++i) {
        const Entry& e = m_entries[i];
        reader.counted = 0;
        const QString why = check(e, reader);
        if (m_cancel.cancelled()) break;
        if (!why.isEmpty()) fail(e, why);
        // A large entry counted its bytes as it went (never more than its size); the rest counts now.
        addSaturated(m_bytesDone, e.size - reader.counted);
        ++m_filesDone;
        if (callerThread) reportProgress(false);
    }
}

void Checker::reportProgress(bool force) {
    if (!m_progress) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force) {
        if (m_reportedOnce && now - m_lastReport < kProgressInterval) return;
        m_reportedOnce = true;
        m_lastReport = now;
    }
    m_progress(ZipProgress{m_filesDone.load(), qint64(m_entries.size()), std::min(m_bytesDone.load(), m_bytesTotal),
                           m_bytesTotal});
}

PackageCheck Checker::run(const QString& path, int workers) {
    PackageCheck out;
    QString why;
    m_shownPath = NativePath::display(path);
    m_fd = openRegularFile(path, &why);
    if (m_fd < 0 || (m_fileSize = fileSize(m_fd)) < 0) {
        out.verdict = PackageCheck::Verdict::Failed;
        out.message =
            QStringLiteral("Cannot open %1: %2.").arg(m_shownPath, why.isEmpty() ? SystemError::errorText(errno) : why);
        return out;
    }
    if (!readDirectory(&out)) return out;
    reportProgress(true);

    // Contiguous stretches of about equal bytes, so that each worker reads its part of the file front to back.
    quint64 dataBytes = 0;
    for (const Entry& e : m_entries)
        dataBytes += e.next - e.localOffset;
    const size_t stretches =
        size_t(std::min<quint64>({quint64(std::clamp(workers, 1, kMostWorkers)), dataBytes / kBytesPerExtraWorker + 1,
                                  quint64(std::max<size_t>(m_entries.size(), 1))}));
    std::vector<size_t> bounds{0};
    quint64 passed = 0;
    for (size_t i = 0; i < m_entries.size() && bounds.size() < stretches; ++i) {
        passed += m_entries[i].next - m_entries[i].localOffset;
        if (passed >= dataBytes / stretches * bounds.size()) bounds.push_back(i + 1);
    }
    bounds.resize(stretches, m_entries.size());
    bounds.push_back(m_entries.size());
    const auto limitOf = [&](size_t end) {
        return end < m_entries.size() ? m_entries[end].localOffset : m_directoryOffset;
    };

    std::mutex doneMutex;
    std::condition_variable doneSignal;
    size_t running = 0;
    std::vector<std::thread> threads;
    std::vector<size_t> ownStretches{0}; // the caller's, and any no thread could be started for
    for (size_t s = 1; s < stretches; ++s) {
        ++running;
        try {
            threads.emplace_back([&, s] {
                work(bounds[s], bounds[s + 1], limitOf(bounds[s + 1]), false);
                std::lock_guard lock(doneMutex);
                --running;
                doneSignal.notify_all();
            });
        } catch (const std::system_error&) {
            --running;
            ownStretches.push_back(s);
        }
    }
    for (const size_t s : ownStretches)
        work(bounds[s], bounds[s + 1], limitOf(bounds[s + 1]), true);
    // Progress is reported on the caller's thread only, so it goes on while the others finish.
    for (;;) {
        std::unique_lock lock(doneMutex);
        if (doneSignal.wait_for(lock, kProgressInterval, [&] { return running == 0; })) break;
        lock.unlock();
        reportProgress(false);
    }
    for (std::thread& t : threads)
        t.join();

    if (m_cancel.cancelled()) {
        out.verdict = PackageCheck::Verdict::Cancelled;
        return out;
    }
    // Named in the package's order, whichever worker met them.
    std::sort(m_failures.begin(), m_failures.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& failure : m_failures)
        out.failures << std::move(failure.second);
    if (!out.failures.isEmpty()) {
        out.verdict = PackageCheck::Verdict::Failed;
    } else {
        reportProgress(true);
    }
    return out;
}

} // namespace

PackageCheck checkWrittenPackage(const QString& path, const CancelToken& cancel, const ZipProgressCallback& progress,
                                 int workers) {
    return Checker(cancel, progress).run(path, workers);
}
