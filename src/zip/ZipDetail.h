#pragma once
// Pieces the zip layer shares between its source files; nothing here is meant for callers outside src/zip.

#include <QString>
#include <ctime>
#include <memory>
#include <zip.h>

#include <cerrno>
#include <unistd.h>

namespace zipdetail {

/// Reads up to length bytes at offset, retrying short reads and interruptions; fewer only at the end of the
/// file, -1 on error (errno set).
inline qint64 readFullyAt(int fd, char* buffer, qint64 length, qint64 offset) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, size_t(length - done), off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += n;
    }
    return done;
}

/// A libzip handle that is discarded (never written) unless someone calls zip_close on release()d pointer.
struct ZipDiscard {
    void operator()(zip_t* z) const {
        if (z) zip_discard(z);
    }
};
using ZipHandle = std::unique_ptr<zip_t, ZipDiscard>;

// --- MS-DOS time ---
// The DOS fields are local time with 2-second steps. Comparisons between a file and an entry are made on the
// packed value (date << 16 | time) so that both sides lose the same precision.
void timeToDos(std::time_t when, quint16& dosDate, quint16& dosTime);
std::time_t dosToTime(quint16 dosDate, quint16 dosTime);
inline quint32 packDos(quint16 dosDate, quint16 dosTime) {
    return (quint32(dosDate) << 16) | dosTime;
}
inline quint32 packedDosOf(std::time_t when) {
    quint16 d = 0, t = 0;
    timeToDos(when, d, t);
    return packDos(d, t);
}

// --- names ---
struct NameParts {
    QString name;       ///< without folder, "" for a folder entry
    QString folderPath; ///< ends in "/", "" at the top
    QString extension;  ///< after the last "." of name, no dot
};
NameParts splitStoredName(const QString& storedName);

/// Why extracting this entry could write outside the target folder, or "" when it is safe.
QString unsafeNameReason(const QString& storedName, bool isSymLink);

// --- errors ---
/// Plain text for a libzip error code (and its system error where libzip gives one).
QString zipErrorText(int zipCode, int systemCode = 0);
QString zipErrorText(zip_error_t* error);
QString systemErrorText(int errnoValue);

} // namespace zipdetail
