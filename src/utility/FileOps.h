#pragma once
// Small file and folder routines the rest of the program relies on.

#include "Result.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace FileOps {

// These look at the bytes the path names (NativePath::encode), so they answer for names that are not UTF-8 too,
// which QFileInfo cannot spell.

/// True when a file or folder exists at the path (a dangling link counts as missing).
bool exists(const QString& path);
/// The size of the regular file at the path (a link followed); nothing when there is no such file.
std::optional<qint64> regularFileSize(const QString& path);
/// True when the path names a folder (a link followed).
bool isFolder(const QString& path);
/// The path made absolute (against the working folder) and clean; unlike QFileInfo, it keeps the bytes that are not
/// UTF-8 of a relative path and of the working folder.
QString absolutePath(const QString& path);

/// What tells one version of a file from another: which file it is, its size and when it was last written.
struct FileStamp {
    quint64 device = 0, inode = 0;
    qint64 size = 0, modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
/// The stamp of the file at path (a link followed); nothing when there is none.
std::optional<FileStamp> fileStamp(const QString& path);
/// True when the file at path may be written: it has a write permission bit and the system allows the writer.
bool isWritableFile(const QString& path);

/// Copies source over target (target replaced atomically: a work file beside it, then renamed).
Status copyOver(const QString& source, const QString& target);

/// Creates the folder and any missing parents; an existing folder is success.
Status createFolder(const QString& folder);

/// Writes data to path through a work file beside it (WorkFile.h), then renames it into place; flushToDisk as in
/// WorkFile::commit.
Status writeFileAtomically(const QString& path, const QByteArray& data, bool flushToDisk = true);

/// Reads up to length bytes from the file position, going on after short reads and interruptions; fewer only at
/// the end of the file, -1 on error (errno set).
qint64 readFully(int fd, char* buffer, qint64 length);
/// The same at offset, leaving the file position alone.
qint64 readFullyAt(int fd, char* buffer, qint64 length, qint64 offset);

/// Writes all size bytes to fd, going on after short writes and interruptions; false on error (errno set).
bool writeAll(int fd, const char* data, qint64 size);

/// How a copy of bytes from one open file into another ended.
enum class CopyEnd { Done, Stopped, ReadFailed, SourceShort, WriteFailed };

/// Copies length bytes of the file open at in, from offset on, to out at its position: in the kernel where the
/// file systems allow it, otherwise in blocks through memory, never the whole in memory. afterBlock(copied) runs
/// after each block with the bytes copied so far and stops the copy (Stopped) when it answers false. On
/// ReadFailed and WriteFailed errno tells why; SourceShort means the source ended early.
CopyEnd copyBytes(int in, qint64 offset, qint64 length, int out, const std::function<bool(qint64)>& afterBlock = {});

} // namespace FileOps
