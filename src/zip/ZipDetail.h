#pragma once
// Pieces the zip layer shares between its source files; nothing here is meant for callers outside src/zip.

#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/SystemError.h"

#include <QFile>
#include <QString>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <zip.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zipdetail {

/// Opens path for reading when it is a regular file. A named pipe or a device is refused without waiting for a
/// writer (it is opened non-blocking and checked before anything reads it): -1 with the reason in *error.
inline int openRegularFile(const QString& path, QString* error) {
    const int fd = ::open(NativePath::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = SystemError::errorText(errno);
        return -1;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder, not a zip package")
                                     : QStringLiteral("it is not a regular file (a pipe, socket or device)");
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

/// The size of the file open at fd, or -1 when it cannot be learnt.
inline qint64 fileSize(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? qint64(st.st_size) : -1;
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

/// The exact modification time of an entry from its extended timestamp field (Info-ZIP "UT") in the central
/// directory, where other writers put it too; nothing when the entry has none.
std::optional<qint64> exactMtime(zip_t* zip, zip_uint64_t index);
/// Gives an entry our extended timestamp field with only the modification time, in place of any it had.
bool setExactMtime(zip_t* zip, zip_uint64_t index, std::time_t mtime);

// --- names ---
struct NameParts {
    QString name;       ///< without folder, "" for a folder entry
    QString folderPath; ///< ends in "/", "" at the top
    QString extension;  ///< after the last "." of name, no dot
};
NameParts splitStoredName(const QString& storedName);

/// True when a name is stored as its bytes, without the UTF-8 flag, as Info-ZIP does on Unix: a name that is not
/// UTF-8, or one holding a control character (other than TAB, LF and CR), which libzip and other programs refuse
/// in a name said to be UTF-8.
bool nameStoredAsBytes(const QString& storedName);

/// Why extracting this entry could write outside the target folder, or "" when it is safe.
QString unsafeNameReason(const QString& storedName, bool isSymLink);

// --- errors ---
/// Plain text for a libzip error code (and its system error where libzip gives one).
QString zipErrorText(int zipCode, int systemCode = 0);
QString zipErrorText(zip_error_t* error);

} // namespace zipdetail
