#include "FolderTree.h"
#include "CancelToken.h"
#include "NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// The listing feeds the backup of whole drives, so it has to keep pace with find(1): plain readdir and one
// statx per entry relative to the open folder, no QFileInfo, no QDateTime, no path resolution per file.

namespace {

qint64 toMs(const struct statx_timestamp& t) {
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
qint64 toMs(const struct timespec& t) {
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
qint64 toNs(const struct statx_timestamp& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}
qint64 toNs(const struct timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Who we are, taken once per listing, to tell from the mode bits whether we may write an entry. Asking the
// kernel with faccessat would cost another system call for every file.
struct Identity {
    uid_t uid = geteuid();
    gid_t gid = getegid();
    std::vector<gid_t> groups;

    Identity() {
        int n = getgroups(0, nullptr);
        if (n > 0) {
            groups.resize(size_t(n));
            n = getgroups(n, groups.data());
            groups.resize(n > 0 ? size_t(n) : 0);
        }
    }

    bool inGroup(gid_t g) const { return g == gid || std::find(groups.begin(), groups.end(), g) != groups.end(); }

    // The kernel's rule: owner bits for the owner, else group bits for a member, else the rest; the
    // superuser writes anything. A read-only mount makes everything on it read-only.
    bool mayWrite(mode_t mode, uid_t owner, gid_t group, bool readOnlyMount) const {
        if (readOnlyMount) return false;
        if (uid == 0) return true;
        if (owner == uid) return mode & S_IWUSR;
        if (inGroup(group)) return mode & S_IWGRP;
        return mode & S_IWOTH;
    }
};

// The status of one entry, whichever call provided it.
struct EntryStatus {
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    dev_t dev = 0;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    qint64 createdMs = 0;
    qint64 accessedMs = 0;
    quint64 inode = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
};

class Walker {
  public:
    Walker(std::vector<FolderRecord>& out, const CancelToken& cancel, const std::function<void(qint64)>& onProgress,
           int progressStep)
        : m_out(out), m_cancel(cancel), m_onProgress(onProgress), m_step(progressStep > 0 ? progressStep : 500) {}

    bool oneFileSystem = false;
    const std::function<bool(const FolderRecord&)>* keepFile = nullptr;

    bool run(const QString& root);

  private:
    struct Pending {
        QByteArray path; ///< encoded; without a trailing "/" below the root, so a link there is not followed
        QString text;    ///< the same for the records, ends with "/"
        dev_t dev;
        bool readOnlyMount;
        qsizetype record; ///< the folder's own record, -1 for the root
    };

    bool statEntry(int dirFd, const char* name, EntryStatus& st);
    bool listOne(const Pending& folder, std::vector<Pending>& subfolders);

    std::vector<FolderRecord>& m_out;
    const CancelToken& m_cancel;
    const std::function<void(qint64)>& m_onProgress;
    const int m_step;
    const Identity m_identity;
    bool m_useStatx = true;
    qint64 m_files = 0;
};

bool Walker::statEntry(int dirFd, const char* name, EntryStatus& st) {
    if (m_useStatx) {
        struct statx sx;
        if (statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
            st.mode = sx.stx_mode;
            st.uid = sx.stx_uid;
            st.gid = sx.stx_gid;
            st.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
            st.size = qint64(sx.stx_size);
            st.modifiedMs = toMs(sx.stx_mtime);
            st.accessedMs = toMs(sx.stx_atime);
            st.createdMs = (sx.stx_mask & STATX_BTIME) ? toMs(sx.stx_btime) : toMs(sx.stx_ctime);
            st.inode = sx.stx_ino;
            st.modifiedNs = toNs(sx.stx_mtime);
            st.changedNs = toNs(sx.stx_ctime);
            return true;
        }
        // Old kernels and some sandboxes lack statx; everything else is a real failure for this entry.
        if (errno != ENOSYS && errno != EPERM) return false;
        m_useStatx = false;
    }
    struct stat s;
    if (fstatat(dirFd, name, &s, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) return false;
    st.mode = s.st_mode;
    st.uid = s.st_uid;
    st.gid = s.st_gid;
    st.dev = s.st_dev;
    st.size = qint64(s.st_size);
    st.modifiedMs = toMs(s.st_mtim);
    st.accessedMs = toMs(s.st_atim);
    st.createdMs = toMs(s.st_ctim);
    st.inode = s.st_ino;
    st.modifiedNs = toNs(s.st_mtim);
    st.changedNs = toNs(s.st_ctim);
    return true;
}

bool Walker::listOne(const Pending& folder, std::vector<Pending>& subfolders) {
    // O_NOFOLLOW: should the folder have been swapped for a link since we saw it, we do not wander off.
    // An unreadable folder is skipped, the rest of the tree still counts; its record carries the error so that
    // whoever backs the tree up can name what is missing.
    const auto unreadable = [&](int code) {
        if (folder.record >= 0) {
            m_out[size_t(folder.record)].error = code;
        } else {
            FolderRecord& record = m_out.emplace_back();
            record.path = folder.text;
            record.isFolder = true;
            record.error = code;
        }
        return true;
    };
    const int fd = open(folder.path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return unreadable(errno);
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int code = errno;
        close(fd);
        return unreadable(code);
    }
    QByteArray childPath = folder.path;
    if (!childPath.endsWith('/')) childPath.append('/');
    const qsizetype pathLength = childPath.size();
    EntryStatus st;
    bool complete = true;
    while (const dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        if (m_cancel.cancelled()) {
            complete = false;
            break;
        }
        const qsizetype nameLength = qsizetype(std::strlen(name));
        int statusError = 0;
        if (!statEntry(fd, name, st)) {
            if (errno == ENOENT) continue; // vanished since readdir
            statusError = errno;           // not ours to see: listed, so that it is not lost without a word
            st = EntryStatus{};
        }
        FolderRecord& record = m_out.emplace_back();
        record.error = statusError;
        record.isFolder = S_ISDIR(st.mode);
        record.isSpecial = S_ISFIFO(st.mode) || S_ISSOCK(st.mode) || S_ISCHR(st.mode) || S_ISBLK(st.mode);
        record.isSymLink = S_ISLNK(st.mode);
        record.isHidden = name[0] == '.';
        record.size = record.isFolder ? 0 : st.size;
        record.modifiedMs = st.modifiedMs;
        record.createdMs = st.createdMs;
        record.accessedMs = st.accessedMs;
        record.device = quint64(st.dev);
        record.inode = st.inode;
        record.modifiedNs = st.modifiedNs;
        record.changedNs = st.changedNs;

        bool readOnlyMount = folder.readOnlyMount;
        if (record.isFolder && st.dev != folder.dev) {
            // A mount point: whether it is read-only is asked once here, not for every file below it.
            const int sub = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                struct statvfs vfs;
                if (fstatvfs(sub, &vfs) == 0) readOnlyMount = vfs.f_flag & ST_RDONLY;
                close(sub);
            }
        }
        record.isReadOnly = !m_identity.mayWrite(st.mode, st.uid, st.gid, readOnlyMount);

        QString text;
        text.reserve(folder.text.size() + nameLength + 1);
        text.append(folder.text);
        // Most names are plain ASCII, which reads the same as Latin-1 and so needs no temporary string.
        if (std::all_of(name, name + nameLength, [](char c) { return uchar(c) < 0x80; }))
            text.append(QLatin1String(name, nameLength));
        else
            text.append(NativePath::decode(QByteArrayView(name, nameLength)));
        if (record.isFolder) {
            text.append(u'/');
            childPath.truncate(pathLength);
            childPath.append(name, nameLength);
            record.path = std::move(text);
            if (oneFileSystem && st.dev != folder.dev) continue;
            subfolders.push_back({childPath, record.path, st.dev, readOnlyMount, qsizetype(m_out.size() - 1)});
            continue;
        }
        record.path = std::move(text);
        if (keepFile && !(*keepFile)(record)) m_out.pop_back();
        if (++m_files % m_step == 0 && m_onProgress) m_onProgress(m_files);
    }
    closedir(dir);
    return complete;
}

bool Walker::run(const QString& root) {
    if (root.isEmpty()) return !m_cancel.cancelled();
    QString rootText = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    if (!rootText.endsWith(u'/')) rootText += u'/';
    const QByteArray rootPath = NativePath::encode(rootText);

    // The root itself may be a link the user chose; it is the only one followed.
    struct stat rootStatus;
    if (stat(rootPath.constData(), &rootStatus) != 0 || !S_ISDIR(rootStatus.st_mode)) return !m_cancel.cancelled();
    bool rootReadOnly = false;
    struct statvfs vfs;
    if (statvfs(rootPath.constData(), &vfs) == 0) rootReadOnly = vfs.f_flag & ST_RDONLY;

    // Depth first with an explicit stack, so deep trees neither overflow the call stack nor hold one open
    // folder per level (the descriptor limit would end the walk long before the path length does).
    std::vector<Pending> stack{{rootPath, rootText, rootStatus.st_dev, rootReadOnly, -1}};
    std::vector<Pending> subfolders;
    while (!stack.empty()) {
        Pending folder = std::move(stack.back());
        stack.pop_back();
        subfolders.clear();
        if (!listOne(folder, subfolders)) return false;
        // Reversed, so the subfolders are visited in the order they were found.
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
            stack.push_back(std::move(*it));
    }
    return !m_cancel.cancelled();
}

} // namespace

bool listFolderTree(const QString& root, std::vector<FolderRecord>& out, const CancelToken& cancel,
                    const std::function<void(qint64 filesSoFar)>& onProgress, int progressStep) {
    Walker walker(out, cancel, onProgress, progressStep);
    return walker.run(root);
}

bool listFolderTree(const QString& root, std::vector<FolderRecord>& out, const CancelToken& cancel,
                    const FolderScanOptions& options) {
    Walker walker(out, cancel, options.onProgress, options.progressStep);
    walker.oneFileSystem = options.oneFileSystem;
    if (options.keepFile) walker.keepFile = &options.keepFile;
    return walker.run(root);
}
