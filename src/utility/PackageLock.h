#pragma once
// Only one writer at a time may build, update or rewrite a package: two builds of one package (a scheduled
// update while the window builds it) would each put their own copy in place, and the work of one would be lost.
// The lock is an flock on a small file of the user's own, in the runtime folder ($XDG_RUNTIME_DIR, else a
// private folder under /tmp), named after the package's folder (device and inode) and file name, so every path
// to the package takes the same lock and nothing is left beside the package. The kernel drops it when the
// process ends, however it ends.

#include "Result.h"

#include <QString>

class PackageLock {
  public:
    /// Takes the lock of the package at target at once, or says who holds it: another build or update.
    static Result<PackageLock> take(const QString& target);

    PackageLock() = default;
    PackageLock(PackageLock&& other) noexcept;
    PackageLock& operator=(PackageLock&& other) noexcept;
    PackageLock(const PackageLock&) = delete;
    PackageLock& operator=(const PackageLock&) = delete;
    ~PackageLock();

  private:
    explicit PackageLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};
