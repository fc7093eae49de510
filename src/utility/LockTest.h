#pragma once
#include <QString>

/// True when the file cannot be opened for reading, or another process holds a lock on it
/// (fcntl record lock or flock), so a backup should skip it.
bool isFileLocked(const QString& path);

/// The same test on a file already open for reading: true when another process holds a write record lock or an
/// exclusive flock on it. With keepSharedLock the shared flock the test takes is left to go with the descriptor,
/// for a caller that reads the file and closes it at once (it saves a system call per file).
bool isDescriptorLocked(int fd, bool keepSharedLock = false);
