#pragma once
// Recursive folder listing: listFolderTree is a job of the core (a root in, records out, progress callbacks, a
// CancelToken it only reads); a window runs it off its thread through its JobRunner.

#include "CancelToken.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

struct FolderRecord {
    QString path; ///< full path; folders end with "/"
    bool isFolder = false;
    bool isHidden = false;   ///< the name starts with "."
    bool isReadOnly = false; ///< we may not write it (owner/group/other bits against our ids, read-only mounts)
    bool isSymLink = false;  ///< a symbolic link, described itself (never followed)
    bool isSpecial = false;  ///< a named pipe, a socket or a device: no contents to back up
    /// The error (errno) when this folder could not be opened, so its contents are missing from the listing, or
    /// when this entry's status could not be read (then nothing else about it is known); 0 when all went well.
    int error = 0;
    qint64 size = 0;
    // Times are milliseconds since 1970-01-01 UTC. Building three QDateTime values per file costs more than the
    // listing itself, so records keep the plain numbers and callers convert only the ones they show.
    qint64 modifiedMs = 0;
    qint64 createdMs = 0; ///< birth time where the file system keeps one, else the status-change time
    qint64 accessedMs = 0;
    // The status in full, for the build: who the file is (so the package is never packed into itself, whatever
    // path reaches it), and its times to the nanosecond (to tell a file that changed before it was read).
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    QDateTime modified() const { return QDateTime::fromMSecsSinceEpoch(modifiedMs); }
    QDateTime created() const { return QDateTime::fromMSecsSinceEpoch(createdMs); }
    QDateTime accessed() const { return QDateTime::fromMSecsSinceEpoch(accessedMs); }
};

/// Walks a tree synchronously.
/// Records are appended to out for everything below root (root itself is not listed); a folder's entries come in
/// the order the file system gives them, each subfolder's contents after its parent's entries. Symbolic links
/// are listed but not followed; folders that cannot be opened are listed with their error and their contents
/// skipped (a root that exists but cannot be opened is listed the same way); an entry whose status cannot be
/// read is listed with its error.
/// onProgress is called after every progressStep files (folders do not count) with the count so far; cancel is
/// checked between entries. Returns false when cancelled (out then holds what was found so far).
bool listFolderTree(const QString& root, std::vector<FolderRecord>& out, const CancelToken& cancel,
                    const std::function<void(qint64 filesSoFar)>& onProgress = {}, int progressStep = 500);

class CancelToken;

/// How listFolderTree walks beyond the plain listing.
struct FolderScanOptions {
    /// Folders where another file system is mounted are listed but not entered, so a scan of "/" stays on the
    /// root's own disk and never walks /proc or another drive.
    bool oneFileSystem = false;
    /// When set, a file record (anything but a folder) is kept only when this returns true. Called on the scanning
    /// thread as soon as the record is complete, so a caller can test files while they are found and keep only
    /// the ones it wants.
    std::function<bool(const FolderRecord&)> keepFile;
    /// As in the other form; keepFile has seen every file counted.
    std::function<void(qint64 filesSoFar)> onProgress;
    int progressStep = 500;
};

/// The same walk with options; cancel is checked between entries.
bool listFolderTree(const QString& root, std::vector<FolderRecord>& out, const CancelToken& cancel,
                    const FolderScanOptions& options);
