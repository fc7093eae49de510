#pragma once
// Packages cut into volumes ("split" packages): name.z01, name.z02, ... and the last volume name.zip, which holds
// the end of the central directory. libzip neither writes nor reads them, so:
// - writing: libzip builds an ordinary package first, and splitPackage() cuts it into volumes, rewriting every
//   central directory record with the disk its local header landed on and the offset within that disk;
// - reading: JoinedPackage presents the volumes to libzip as one ordinary package (the data of all volumes end to
//   end, followed by a central directory rewritten to plain offsets), so listing, testing and extracting work
//   through the same code as for any other package.

#include "ZipTypes.h"
#include "utility/CancelToken.h"
#include <QByteArray>

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>
#include <zip.h>

namespace zipdetail {

/// No volume may be smaller: a local header must always fit in one volume, and smaller volumes help nobody.
constexpr qint64 kMinVolumeSize = kMinVolumeBytes;

/// File name of volume `disk` (0-based) of the package whose last volume is `lastVolume`: the name with its
/// extension replaced by .z01, .z02, ... for every volume but the last, which is lastVolume itself.
QString volumeFileName(const QString& lastVolume, quint32 disk, quint32 diskCount);

/// How many volumes the package at `path` has (1 for an ordinary package, 0 when it is no zip package at all).
quint32 volumeCountOf(const QString& path);

/// Removes name.zNN volumes numbered first..last (1-based, as in the names) beside `lastVolume`, if they exist.
void removeVolumes(const QString& lastVolume, quint32 first, quint32 last);

/// True when a journal of an interrupted rebuild of the spanned package lies beside it. Readers only report it:
/// reading never renames or removes anything.
bool hasInterruptedRebuild(const QString& package);

struct RebuildRecovery {
    bool complete = true; ///< false when a journal was left: the work files it names must not be swept
    QStringList refused;  ///< journals left alone or that could not be carried out, each with its reason
};

/// For a writer of the package: completes the rebuilds of it whose runs ended after their journal was committed,
/// and removes journals that were never committed (the package was not touched). A journal is carried out only
/// when it asks for nothing but what a rebuild of this one package leaves: that run's own volume work files put
/// in the package's volume names and the package's earlier volumes removed, all plain names in its folder, the
/// journal owned by this user and writable by nobody else. Any other journal is left alone and reported.
RebuildRecovery recoverRebuild(const QString& package);

/// For tests: called at the steps of a spanned rebuild ("volumes-written", "journal-partly-written",
/// "journal-committed", "volume-renamed" after each rename, "old-volumes-removed").
void setRebuildSeam(std::function<void(const char*)> seam);

/// The volume size "automatic" spanning chooses for a package of packageSize bytes when freeBytes are free on the
/// target's file system: -1 (one ordinary package) when it fits, else volumes as large as that free space (but
/// never under kMinVolumeSize). Unknown free space (-1) also gives one ordinary package.
qint64 automaticVolumeSize(qint64 packageSize, qint64 freeBytes);

/// Free bytes for an unprivileged user on the file system holding `folder`, or -1 when that cannot be learnt.
qint64 freeBytesAt(const QString& folder);

struct SplitOutcome {
    int result = 0; ///< kZipOk, kZipFailed or kZipCancelled
    QString message;
    quint32 volumes = 0;
};

/// Cuts the ordinary package `source` into volumes of at most volumeSize bytes named after `target` (the last
/// volume becomes target itself). Every volume is written under a temporary name beside target and renamed into
/// place only when all of them are complete; on failure or cancel no temporary is left and nothing existing is
/// touched. cancel is read regularly (and at every new volume); once it is set the cut stops as cancelled.
SplitOutcome splitPackage(const QString& source, const QString& target, qint64 volumeSize, const CancelToken& cancel);

/// A spanned package seen as one ordinary package.
class JoinedPackage : public std::enable_shared_from_this<JoinedPackage> {
  public:
    /// Opens the volumes of the package whose last volume is lastVolume; null with a reason when that fails.
    /// With textFlagRepair, records flagged as UTF-8 whose names hold a control character (which libzip refuses
    /// as inconsistent, though other programs write and read them) lose the flag, so libzip hands their names
    /// over as raw bytes; it serves a single-file package as well.
    static std::shared_ptr<JoinedPackage> open(const QString& lastVolume, QString* error, bool textFlagRepair = false);
    ~JoinedPackage();

    /// A new, independent read-only source over the joined bytes (each reader may run on its own thread).
    zip_source_t* newSource(zip_error_t* error);
    /// Opens the joined package with libzip, read-only; null with the libzip error code in *code.
    zip_t* openArchive(int* code);
    quint32 volumeCount() const { return quint32(m_fds.size()); }

    qint64 size() const { return m_size; }
    /// Reads up to length bytes of the joined package at pos; -1 on a read error.
    qint64 readAt(qint64 pos, char* buffer, qint64 length) const;

  private:
    JoinedPackage() = default;
    struct Segment {
        qint64 start = 0; ///< position in the joined package
        qint64 length = 0;
        int fd = -1;
        qint64 fileOffset = 0;
    };
    std::vector<int> m_fds; ///< one per volume, read with pread so readers on several threads never interfere
    std::vector<Segment> m_segments;
    qint64 m_dataEnd = 0;
    QByteArray m_tail; ///< rewritten central directory and end records
    qint64 m_size = 0;
};

} // namespace zipdetail
