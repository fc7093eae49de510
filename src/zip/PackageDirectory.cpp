#include "PackageDirectory.h"

#include "ArchiveReader.h"
#include "ZipDetail.h"
#include "ZipDirectory.h"
#include "ZipLayout.h"
#include "utility/NativePath.h"

#include <algorithm>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipdetail;

namespace {

QString libzipText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

// Hands every record of a plain package's central directory to each; false when the package is not plain.
bool readPlainRecords(const QString& packagePath, const std::function<void(const DirectoryRecord&)>& each) {
    QString why;
    const int fd = openRegularFile(packagePath, &why);
    if (fd < 0) return false;
    struct stat st;
    QString comment;
    const bool plain = ::fstat(fd, &st) == 0 && readPlainDirectory(fd, qint64(st.st_size), each, &comment);
    ::close(fd);
    return plain;
}

// The names of a plain package straight from its central directory; nothing when it is not plain.
std::optional<PackageDirectory> plainNames(const QString& packagePath, int maxNames) {
    PackageDirectory directory;
    qint64 seen = 0;
    const bool plain = readPlainRecords(packagePath, [&](const DirectoryRecord& r) {
        if (seen++ >= maxNames) return;
        directory.names << (r.asciiName ? QString::fromLatin1(r.name) : QString::fromUtf8(r.name));
    });
    if (!plain) return std::nullopt;
    directory.tableFull = seen > maxNames;
    return directory;
}

} // namespace

std::optional<bool> plainEntryNameFound(const QString& packagePath, int maxNames,
                                        const std::function<bool(QByteArrayView name)>& matches) {
    bool found = false;
    qint64 seen = 0;
    const bool plain = readPlainRecords(packagePath, [&](const DirectoryRecord& r) {
        if (found || seen++ >= maxNames) return;
        found = matches(r.name);
    });
    if (!plain) return std::nullopt;
    return found;
}

Result<PackageDirectory> zipEntryNames(const QString& packagePath, int maxNames) {
    maxNames = std::max(maxNames, 0);
    const QString shown = NativePath::display(packagePath);
    struct stat st;
    if (::stat(NativePath::encode(packagePath).constData(), &st) != 0)
        return Result<PackageDirectory>::failure(QString("The package %1 does not exist.").arg(shown));
    if (S_ISDIR(st.st_mode))
        return Result<PackageDirectory>::failure(QString("%1 is a folder, not a zip package.").arg(shown));
    // libzip takes an empty file for a new, empty archive; for us it is no package at all.
    if (st.st_size == 0)
        return Result<PackageDirectory>::failure(QString("%1 is empty, not a zip package.").arg(shown));
    if (std::optional<PackageDirectory> plain = plainNames(packagePath, maxNames)) return std::move(*plain);

    int code = ZIP_ER_OK;
    ZipHandle archive(zip_open(NativePath::encode(packagePath).constData(), ZIP_RDONLY, &code));
    if (!archive) {
        switch (code) {
        case ZIP_ER_NOZIP:
            return Result<PackageDirectory>::failure(QString("%1 is not a zip package.").arg(shown));
        case ZIP_ER_INCONS: {
            // What libzip refuses as inconsistent, libarchive may read (the zip layer opens such packages so too).
            std::vector<ZipEntry> entries;
            QString why;
            if (directoryLiesInside(packagePath) && readArchiveEntries({packagePath, nullptr}, &entries, &why)) {
                PackageDirectory directory;
                for (const ZipEntry& e : entries) {
                    if (directory.names.size() == maxNames) break;
                    directory.names << e.storedName();
                }
                directory.tableFull = qsizetype(entries.size()) > directory.names.size();
                return directory;
            }
            return Result<PackageDirectory>::failure(
                QString("The package %1 is damaged: %2.").arg(shown, libzipText(code)));
        }
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
            return Result<PackageDirectory>::failure(
                QString("Cannot read the package %1: %2.").arg(shown, libzipText(code)));
        default:
            return Result<PackageDirectory>::failure(
                QString("Cannot open the package %1: %2.").arg(shown, libzipText(code)));
        }
    }

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0) return Result<PackageDirectory>::failure(QString("Cannot read the package %1.").arg(shown));
    const zip_int64_t limit = std::min<zip_int64_t>(count, maxNames);

    PackageDirectory directory;
    directory.names.reserve(qsizetype(limit));
    for (zip_int64_t i = 0; i < limit; ++i) {
        // ENC_GUESS: names stored without the UTF-8 flag are converted from code page 437 unless they already
        // are valid UTF-8, which is what older zip tools wrote.
        const char* name = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name)
            return Result<PackageDirectory>::failure(
                QString("The package %1 is damaged: %2.").arg(shown, QString::fromUtf8(zip_strerror(archive.get()))));
        directory.names << QString::fromUtf8(name);
    }
    directory.tableFull = count > limit;
    return directory;
}
