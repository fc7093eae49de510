#include "SfxMaker.h"

#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/SystemError.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"
#include "zip/ZipPackage.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCopyingStub = QStringLiteral(" Error Copying File");
const QString kAppendingPackage = QStringLiteral(" Error Appending File");

// An open file's descriptor, closed on the way out.
struct OpenFile {
    explicit OpenFile(const QString& path) : fd(::open(NativePath::encode(path).constData(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    /// The length of the regular file open here, or -1 (errno set) when it is none.
    qint64 length() const {
        struct stat st;
        if (fd < 0 || ::fstat(fd, &st) != 0) return -1;
        if (!S_ISREG(st.st_mode)) {
            errno = EISDIR;
            return -1;
        }
        return qint64(st.st_size);
    }
    int fd;
};

QString copyEndText(FileOps::CopyEnd end) {
    return end == FileOps::CopyEnd::SourceShort ? QStringLiteral("the file got shorter while it was copied")
                                                : SystemError::lastErrorText();
}

} // namespace

QString sfxDefaultName(const QString& packageName) {
    const qsizetype dot = packageName.lastIndexOf(u'.');
    return dot < 0 ? packageName + QStringLiteral(".run") : packageName.left(dot + 1) + QStringLiteral("run");
}

Result<QString> findSfxStub(const QString& appFolder, const QString& programFolder) {
    const QString kovra = TextUtil::withSlash(appFolder) + QStringLiteral("Kovra");
    if (FileOps::regularFileSize(kovra)) return kovra;
    const QString installed = TextUtil::withSlash(programFolder) + QStringLiteral("varnhold-sfx");
    if (FileOps::regularFileSize(installed)) return installed;
    return Result<QString>::failure(
        QStringLiteral("The extractor program was not found: neither %1 nor %2 exists.").arg(kovra, installed));
}

SfxJob::SfxJob(SfxParams params, std::function<void(int)> progress)
    : m_params(std::move(params)), m_progress(std::move(progress)) {}

SfxResult SfxJob::run(const CancelToken& cancel) {
    SfxResult result;
    const auto failed = [&](const QString& reason, const QString& step) {
        result.message = QStringLiteral("Error: ") + reason + step;
        return result;
    };
    {
        // Only a whole, single-file package makes a program that can extract it.
        ZipPackage zip;
        if (zip.zOpenZipFile(m_params.packagePath, ZipPackage::OpenPurpose::Listing) != kZipOk)
            return failed(zip.zGetLastErrorAsText(), kAppendingPackage);
        if (zip.zIsSpanned())
            return failed(QStringLiteral("a spanned package cannot be made self-extracting, only a whole one;"),
                          kAppendingPackage);
    }
    const OpenFile stub(m_params.stubPath);
    const qint64 stubLength = stub.length();
    if (stubLength < 0) return failed(SystemError::lastErrorText(), kCopyingStub);
    const OpenFile package(m_params.packagePath);
    const qint64 packageLength = package.length();
    if (packageLength < 0) return failed(SystemError::lastErrorText(), kAppendingPackage);

    Result<WorkFile> reserved = WorkFile::beside(m_params.targetPath);
    if (!reserved.ok()) return failed(reserved.message(), kCopyingStub);
    WorkFile made = std::move(reserved.value());
    const qint64 total = stubLength + packageLength;
    const auto copy = [&](const OpenFile& from, qint64 length, qint64 before) {
        return FileOps::copyBytes(from.fd, 0, length, made.fd(), [&](qint64 copied) {
            if (m_progress && total > 0) m_progress(int((before + copied) * 100 / total));
            return !cancel.cancelled();
        });
    };
    for (const auto& [from, length, before, step] :
         {std::tuple(&stub, stubLength, qint64(0), kCopyingStub),
          std::tuple(&package, packageLength, stubLength, kAppendingPackage)}) {
        const FileOps::CopyEnd end = copy(*from, length, before);
        if (end == FileOps::CopyEnd::Stopped) {
            result.cancelled = true;
            return result;
        }
        if (end != FileOps::CopyEnd::Done) return failed(copyEndText(end), step);
    }
    const QString placedAt = made.target();
    if (const Status placed = made.commit(); !placed) return failed(placed.message(), kAppendingPackage);
    // A program: executable by everyone who may read it, whatever mode a file it replaced had.
    ::chmod(NativePath::encode(placedAt).constData(), 0755);
    if (m_progress) m_progress(100);
    result.ok = true;
    result.length = total;
    return result;
}
