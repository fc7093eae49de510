#pragma once
// Everything the program writes that a user keeps (packages, volumes, extracted files, set files, the index)
// is first written to a work file: a hidden file beside the target that takes the target's place with one
// rename once it is complete. A failure, a cancel or a kill therefore never leaves a half-written file under the
// user's name.
//
// Every work file carries one recognisable mark in its name, ".<target name>.vhw-<pid>-<n>" (libzip's own
// temporary files of such a file add a suffix after it). A run that is killed leaves its work files behind; the
// next run recognises them by that mark and the writer's process id and sweeps them, and the build never packs
// them. Files without the mark are never touched.

#include "Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace WorkFiles {

/// A new work-file name (no folder) for a file named targetFileName: ".<name>.vhw-<pid>-<n>", with the name cut
/// short enough that the whole stays a valid file name. Every writer forms its temporary names here, so that a
/// killed run's leftovers are all recognised and swept. Each call gives another name.
QByteArray nameBeside(const QByteArray& targetFileName);
QString nameBeside(const QString& targetFileName);

/// The start every work-file name for targetFileName made by process pid shares: ".<name>.vhw-<pid>-" (without
/// the pid and its dash when pid is 0, the start shared by every writer's).
QByteArray namePrefix(const QByteArray& targetFileName, qint64 pid);

/// True when name is exactly a work-file name that process pid made for a file named targetFileName (no suffix).
bool isWorkFileOf(QByteArrayView name, const QByteArray& targetFileName, qint64 pid);

/// True when a file name (no folder) carries the work-file mark.
bool isWorkFileName(QStringView fileName);

/// The process id a work file name carries, or 0 when it carries none.
qint64 writerOf(QStringView fileName);

/// Removes the work files directly in folder that were left by runs that have ended (their writer is no longer
/// running, or started after the file was made). Only regular files carrying the mark are removed; links and
/// folders are left alone. Nothing is removed while the folder holds the journal of a spanned package's rebuild
/// (".<name>.rebuild-journal.vhw-<pid>-<n>"): the zip layer completes that first. Returns how many were removed.
int sweepStale(const QString& folder);
/// The same for the folder open at folderFd (which stays open), for writers that reach folders by descriptor.
int sweepStaleAt(int folderFd);

/// True when path names a work file (by its mark) whose writer has ended, as sweepStale() judges it.
bool isStale(const QString& path);

/// The permission bits a file written for target gets: those of the file there now, or a new file's (0666
/// less the umask).
uint modeFor(const QString& target);

/// Flushes a folder's entries (new names, renames, removals) to disk.
void syncFolder(const QString& folder);

/// The path a target's writes really land on: the file a symbolic link names (followed to the end), otherwise
/// the target itself, made absolute.
QString realTarget(const QString& target);

} // namespace WorkFiles

/// A work file beside a target. Created empty (mode 0600 until commit) and removed on destruction unless
/// committed or released.
class WorkFile {
  public:
    /// Reserves a new work file beside the real target (the file a symbolic link at target names).
    static Result<WorkFile> beside(const QString& target);

    WorkFile() = default;
    WorkFile(WorkFile&& other) noexcept;
    WorkFile& operator=(WorkFile&& other) noexcept;
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;
    ~WorkFile();

    /// The work file's path and the real target it will replace.
    const QString& path() const { return m_path; }
    const QString& target() const { return m_target; }
    /// The open descriptor (write only), or -1 once closed.
    int fd() const { return m_fd; }

    /// Writes all of data at the current position.
    Status write(const QByteArray& data);
    /// Closes the descriptor (for writers such as libzip that open the path themselves).
    void closeFd();

    /// Flushes the file to disk, gives it the mode the target has (or a new file's mode when there is none yet)
    /// and renames it over the target. Without flushToDisk the data is left to the system to write when it will:
    /// for copies of a file that stays (a split's pieces), where a crash can cost the copy but never the original.
    Status commit(bool flushToDisk = true);
    /// Removes the work file now.
    void rollback();
    /// Hands the file over to the caller: it is neither removed nor renamed by this object any more.
    QString release();

  private:
    WorkFile(QString path, QString target, int fd) : m_path(std::move(path)), m_target(std::move(target)), m_fd(fd) {}
    QString m_path;
    QString m_target;
    int m_fd = -1;
};
