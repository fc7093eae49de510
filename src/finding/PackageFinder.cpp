#include "PackageFinder.h"

#include "sets/Patterns.h"
#include "utility/NativePath.h"
#include "zip/PackageDirectory.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace PackageMatch {

bool isPackageName(const char* name, size_t length) {
    if (length < 4) return false;
    const char* tail = name + length - 4;
    return tail[0] == '.' && (tail[1] | 0x20) == 'z' && (tail[2] | 0x20) == 'i' && (tail[3] | 0x20) == 'p';
}

std::optional<bool> holdsMatchingEntry(const QString& packagePath, const QString& pattern) {
    const auto tailMatches = [&pattern](QByteArrayView name) {
        const qsizetype slash = name.lastIndexOf('/');
        return wildcardMatch(pattern, QString::fromUtf8(name.sliced(slash + 1)));
    };
    if (std::optional<bool> found = plainEntryNameFound(packagePath, kPackageDirectoryMax, tailMatches)) return *found;
    const Result<PackageDirectory> directory = zipEntryNames(packagePath);
    if (!directory) return std::nullopt;
    for (const QString& name : directory.value().names)
        if (wildcardMatch(pattern, name.mid(name.lastIndexOf(u'/') + 1))) return true;
    return false;
}

} // namespace PackageMatch

namespace {

struct Candidate {
    QByteArray path;
    qint64 size = 0;
};

// One drive's walk: the packages below root, counting every file for the progress.
class DriveWalk {
  public:
    DriveWalk(const QString& root, const CancelToken& cancel, const FindProgress& progress, qint64& counter)
        : m_rootText(root), m_root(NativePath::encode(root)), m_cancel(cancel), m_progress(progress),
          m_counter(counter) {
        if (!m_root.endsWith('/')) m_root += '/';
    }

    /// False when cancelled.
    bool run(std::vector<Candidate>& found) {
        struct stat st;
        if (::stat(m_root.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return true;
        m_device = st.st_dev;
        std::vector<QByteArray> folders{m_root};
        while (!folders.empty()) {
            if (m_cancel.cancelled()) return false;
            const QByteArray folder = std::move(folders.back());
            folders.pop_back();
            const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) {
                if (driveGone()) return true;
                continue; // unreadable folders are passed over
            }
            if (::fstat(fd, &st) != 0 || st.st_dev != m_device) { // another file system mounted here
                ::close(fd);
                continue;
            }
            DIR* dir = ::fdopendir(fd);
            if (!dir) {
                ::close(fd);
                continue;
            }
            if (!readFolder(dir, fd, folder, folders, found)) {
                ::closedir(dir);
                return false;
            }
            const bool failed = errno != 0;
            ::closedir(dir);
            if (failed && driveGone()) return true;
        }
        return true;
    }

  private:
    // Leaves errno as readdir left it at the end.
    bool readFolder(DIR* dir, int fd, const QByteArray& folder, std::vector<QByteArray>& folders,
                    std::vector<Candidate>& found) {
        struct stat st;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) return true;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) { // some file systems do not fill in the type
                if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
            }
            if (type == DT_DIR) {
                folders.push_back(folder + name + '/');
                continue;
            }
            if (++m_files % PackageFinder::kProgressStep == 0) {
                m_counter += PackageFinder::kProgressStep;
                if (m_progress.scanned) m_progress.scanned(m_rootText, m_counter);
                if (m_cancel.cancelled()) return false;
            }
            const size_t length = std::strlen(name);
            if (type != DT_REG || !PackageMatch::isPackageName(name, length)) continue;
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
            found.push_back({folder + QByteArray(name, qsizetype(length)), qint64(st.st_size)});
        }
    }

    // A drive that was unmounted or went away ends its walk rather than failing folder by folder.
    bool driveGone() const {
        struct stat st;
        return ::stat(m_root.constData(), &st) != 0 || st.st_dev != m_device;
    }

    QString m_rootText;
    QByteArray m_root;
    const CancelToken& m_cancel;
    const FindProgress& m_progress;
    qint64& m_counter;
    dev_t m_device = 0;
    qint64 m_files = 0;
};

} // namespace

FindResult PackageFinder::run(const CancelToken& cancel, const FindProgress& progress) const {
    FindResult result;
    int drives = 0;
    for (const QString& root : m_params.roots) {
        if (cancel.cancelled()) break;
        if (++drives > kMaxDrives) break;
        std::vector<Candidate> candidates;
        DriveWalk walk(root, cancel, progress, result.filesScanned);
        const bool walked = walk.run(candidates);
        const size_t n = candidates.size();
        for (size_t i = 0; i < n; ++i) {
            // A cancelled plain find still shows the packages its walk has met; a search inside them stops here.
            const bool stopped = cancel.cancelled();
            if (stopped && m_params.searchInside) break;
            if (!stopped && (i + 1) % kPercentStep == 0 && progress.processed)
                progress.processed(int(std::lround(double(i + 1) * 100.0 / double(n))));
            const QString path = NativePath::decode(candidates[i].path);
            if (m_params.searchInside) {
                const std::optional<bool> holds = PackageMatch::holdsMatchingEntry(path, m_params.entryPattern);
                if (!holds || !*holds) continue;
            }
            result.rows.append({path, candidates[i].size});
        }
        if (!walked) break;
    }
    result.cancelled = cancel.cancelled();
    return result;
}
