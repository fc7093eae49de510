#pragma once
// Writing a new package while the build is still finding its files. The build hands each file over as its scan
// finds it; worker threads open, test, read and deflate the files, many small files to one task, and a writer
// thread puts the entries into the package one after the other, in the order they were handed over, with one
// buffered write for many entries. Each file is opened once: the lock test, its status and its contents all come
// from that one descriptor. What could not be stored (locked, vanished, unreadable, no longer a file) and what
// changed since the scan comes back as notes, in the same order.
//
// Memory stays bounded whatever the tree: the caller waits while too many files wait for a worker, the workers
// wait while the bytes they hold ahead of the writer are over a budget, and a large file is read in pieces that
// the workers deflate side by side (as in ZipPack.h), so it is never held whole.

#include "ZipTypes.h"
#include "utility/CancelToken.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <utility>
#include <vector>

/// A file for the package, with its status as the scan saw it.
struct FileToPack {
    QString path;
    QString storedName; ///< the name it is stored under, without a leading "/"
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool isLink = false; ///< stored as the link it is
};

/// What the build must tell about a file it handed over.
struct PackNote {
    enum class Kind {
        Locked,     ///< held locked by another program, or gone since the scan: not stored
        Unreadable, ///< it could not be opened or read (reason); not stored
        NotAFile,   ///< no longer a file or a link (mode): not stored
        Changed,    ///< stored, but its status differs from the scan's; the entry holds what was read
    };
    Kind kind = Kind::Locked;
    QString path;
    QString reason; ///< Unreadable: the system's text
    quint32 mode = 0;
};

/// An entry of the package being updated, copied into the new one as it is: its local header, data and data
/// descriptor, and its central directory record, moved to its new place.
struct KeptEntry {
    qint64 from = 0;   ///< where its local header starts in the old package
    qint64 length = 0; ///< up to the next entry, or the directory
    QByteArray record; ///< its central directory record
    quint64 size = 0;
    quint64 compressedSize = 0;
    std::optional<qint64> exactMtime; ///< from its extended timestamp field
    quint32 packedDos = 0;            ///< DOS date << 16 | time
};

/// The entries of the single-file package open at fd (size bytes long), in directory order, and its comment as
/// stored. False when the package is split or damaged or its entries share bytes: such a package is left to
/// libzip's update.
bool readKeptEntries(int fd, qint64 size, std::vector<KeptEntry>* entries, QByteArray* comment);
/// The entry's stored name, as the bytes its record holds.
QByteArray storedNameBytes(const KeptEntry& entry);
/// True when a file last modified at mtime is no newer than the entry: to the second where the entry keeps its exact
/// time, else at the 2-second steps of its DOS time, so that an unchanged file never looks newer.
bool entryIsAsNew(const KeptEntry& entry, qint64 mtime);

class PackageBuilder {
  public:
    struct Settings {
        CompressionLevel level = CompressionLevel::Normal;
        QString comment;
        /// Every entry is enciphered with WinZip AES-256 under this password (UTF-8) when it is not empty.
        QByteArray password;
        /// The package comment as stored, in place of comment (an update keeps the old package's bytes).
        std::optional<QByteArray> commentBytes;
        int workers = 2;
        qint64 memoryBudget = qint64(96) << 20; ///< bytes the workers may hold ahead of the writer
        qint64 wholeFileLimit = qint64(16) << 20;
        qint64 pieceSize = qint64(1) << 20;
        /// Called on a worker right before a file is opened: a seam for tests that change files during a build.
        std::function<void(const QString& path)> beforeOpen;
    };
    enum class End { Written, Cancelled, Failed };

    /// cancel is the caller's token, only read, by every thread of the build.
    PackageBuilder(Settings settings, const CancelToken& cancel);
    ~PackageBuilder();
    PackageBuilder(const PackageBuilder&) = delete;
    PackageBuilder& operator=(const PackageBuilder&) = delete;

    /// Starts writing at the start of the empty file open for writing at fd (named shownPath in messages). A file
    /// whose device and inode are in never is not stored, whatever path reaches it.
    void begin(int fd, const QString& shownPath, std::vector<std::pair<dev_t, ino_t>> never);
    /// Hands a file over; waits while too many files wait for a worker. False once the build cannot go on (it
    /// failed or was cancelled); finish() then tells which.
    bool add(FileToPack file);
    /// After the last file: entries of the old package at sourceFd (open until finish() returns) to copy as they
    /// are, after the new ones.
    void keep(int sourceFd, std::vector<KeptEntry> entries);
    /// The notes since the last call, in the order the files were handed over.
    std::vector<PackNote> takeNotes();
    /// Files dealt with (stored or noted) and the bytes read of those stored, against what was handed over.
    ZipProgress progress() const;
    /// After the last file: waits for the workers and the writer (calling waiting on this thread every 25 ms
    /// meanwhile), then writes the central directory and the end records. On failure message says why.
    End finish(const std::function<void()>& waiting, QString* message);
    /// Entries written into the package from files (the kept ones not counted).
    qint64 entriesWritten() const;

    class Impl;

  private:
    std::unique_ptr<Impl> d;
};
