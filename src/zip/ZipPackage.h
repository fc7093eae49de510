#pragma once
// The zip layer: one current package at a time, with the operations the rest of the program uses.
// Results follow one rule: 0 is success, kZipCancelled (8) is a cancel through the caller's CancelToken (which every
// long call takes and only reads), anything else is a failure whose text zGetLastErrorAsText() gives.
// A package on disk changes only when zCompressFiles or zDeleteFiles succeeds.
// The reading half (open, list, select, extract, test) is in ZipPackageRead.cpp, the writing half (create,
// order, compress, delete and the calls on volumes) in ZipPackageWrite.cpp.

#include "ZipTypes.h"
#include "utility/CancelToken.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class ZipPackage {
  public:
    ZipPackage();
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // --- reading ---
    /// What a package is opened for. Listing reads a plain package's entries straight from its central directory
    /// and opens the libzip handle only when an operation needs it; the entries are the same either way.
    enum class OpenPurpose { Everything, Listing };
    int zOpenZipFile(const QString& path, OpenPurpose purpose = OpenPurpose::Everything);
    void zCloseZipFile();
    qint64 zGetTotalFiles() const;
    qint64 zGetTotalBytes() const;
    QString zGetComment() const;
    bool zIsSpanned() const;
    /// What the reader noticed beside the open package but left as it is (an interrupted rebuild), or "".
    QString zOpenNotice() const;
    /// The entries of the open package in stored order, as read at open time.
    const std::vector<ZipEntry>& entries() const;

    // --- selection and delete ---
    void zSelectFile(qint64 index, bool select = true);
    int zGetSelectedFiles() const;
    void zUnselectAll();
    /// Deletes the selected entries from the open package (rewritten beside it, then renamed) and reopens it.
    int zDeleteFiles();

    // --- extraction: never writes outside targetFolder; each file is written beside its target and renamed ---
    /// progress is called while the entry is written; a cancel stops it and leaves no partial file.
    int zExtractOne(qint64 index, const QString& targetFolder, const QString& password, const ExtractOptions& options,
                    const CancelToken& cancel, ExtractReport* report = nullptr,
                    const ZipProgressCallback& progress = {});
    int zExtractAll(const QString& targetFolder, const QString& password, const ExtractOptions& options,
                    const CancelToken& cancel, const ZipProgressCallback& progress = {},
                    ExtractReport* report = nullptr);
    /// The entries of these indices, as zExtractAll extracts them.
    int zExtractEntries(std::vector<qint64> indices, const QString& targetFolder, const QString& password,
                        const ExtractOptions& options, const CancelToken& cancel,
                        const ZipProgressCallback& progress = {}, ExtractReport* report = nullptr);
    /// Reads every entry back and checks its CRC. failures gets "name: reason" per failing entry.
    int zTestAll(const QString& password, QStringList* failures, const CancelToken& cancel,
                 const ZipProgressCallback& progress = {});

    // --- creating and compressing ---
    /// Makes path the target of the next compress, starting from an empty package.
    int zCreateNewZip(const QString& path);
    /// Queues a file for the next compress under storedName ("" stores the file name alone).
    int zOrderFile(const QString& filePath, const QString& storedName, UpdateCode code);
    /// Writes the ordered files into the target (the open package, or the one zCreateNewZip named) as one
    /// ordinary package, written beside it and renamed into place; volumes of a spanned package it replaces go.
    /// Files are compressed on worker threads; the package on disk changes only when everything succeeded. New
    /// entries are AES-256 encrypted when password is not empty. A non-empty comment becomes the package comment;
    /// an empty one keeps the comment the package has. A spanned package cannot be updated; to write volumes, cut
    /// the finished package with splitIntoVolumes.
    int zCompressFiles(const QString& password, CompressionLevel level, const QString& comment,
                       const CancelToken& cancel, const ZipProgressCallback& progress = {});

    /// How many entries the last successful zCompressFiles added or replaced (0 when nothing was newer).
    qint64 zGetWrittenCount() const;

    QString zGetLastErrorAsText() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

/// Cuts the ordinary package at source into volumes named after target (target.z01, target.z02, ... and target
/// itself as the last volume); the one way spanned packages are written. volumeSize: N bytes per volume, or 0
/// for automatic. It answers -1 without touching anything when the package fits in one volume of N bytes or, for
/// automatic, in the space that was free before source was written (source is taken to lie beside target). Otherwise
/// the volumes are written under temporary names and renamed into place when all are complete; source itself is left
/// alone. It stops, as cancelled, once cancel is set. Returns the number of volumes written, -1 for "fits as one
/// package", or 0 on failure or cancel with the reason in *error ("" after a cancel).
int splitIntoVolumes(const QString& source, const QString& target, qint64 volumeSize, QString* error,
                     const CancelToken& cancel);

/// For a writer of package: completes what a killed rebuild of it left beside it. A spanned package's rebuild whose
/// journal was committed is carried to its end (the new set of volumes), one that was not is dropped (the old set
/// stays). Called before the package is built or updated, and before the folder's stale work files are swept.
/// False when a journal was left (refused or not completed, each with its reason in *notes); its work files must
/// then stay.
bool recoverSpannedRebuild(const QString& package, QStringList* notes = nullptr);
/// For tests: called at each step of a spanned package's rebuild; see zipdetail::setRebuildSeam.
void setSpannedRebuildSeam(std::function<void(const char* point)> seam);

/// How many volumes the package at path has: 1 for an ordinary package, 0 when there is no package there.
int packageVolumeCount(const QString& path);
/// Removes the volumes name.z01 ... of a spanned package whose last volume is lastVolume, leaving lastVolume.
void removeEarlierVolumes(const QString& lastVolume, int volumeCount);

/// MS-DOS date/time helpers (local time).
QDateTime dosToDateTime(quint16 dosDate, quint16 dosTime);
void dateTimeToDos(const QDateTime& when, quint16& dosDate, quint16& dosTime);
