#pragma once
// libarchive as the reader of last resort: the data of entries compressed with methods libzip 1.7 lacks (LZMA, XZ,
// Zstandard, PPMd, as 7-Zip and newer Info-ZIP write them), and whole packages libzip refuses for extra fields
// other programs read anyway. Only this pair of files sees libarchive; the rest of the layer sees ZipEntry rows and
// a stream of bytes, and keeps its own name checks and write-beside-then-rename.

#include "ZipTypes.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>
#include <zip.h>

namespace zipdetail {

class JoinedPackage;

/// Where libarchive reads a package from: the file itself, or the joined volumes when joined is set.
struct ArchiveSource {
    QString path;
    std::shared_ptr<JoinedPackage> joined;
};

/// Whether libzip lacks the compression method of entry index but libarchive reads it.
bool readByArchive(zip_t* zip, zip_uint64_t index);

/// The entries of the package as libarchive's zip reader reads them from its central directory, in its order.
/// libarchive gives no compressed size and no CRC (it checks the CRC itself while reading): those stay 0.
bool readArchiveEntries(const ArchiveSource& source, std::vector<ZipEntry>* entries, QString* error);

/// One worker's reading of entry data through libarchive. It keeps the package open and moves forward through it,
/// since entries are asked for in package order; an entry behind it opens the package again.
class ArchiveCursor {
  public:
    /// byPosition: entries are libarchive's own rows (readArchiveEntries), so an index is libarchive's position;
    /// otherwise (libzip's rows) an entry is found by its name.
    ArchiveCursor(ArchiveSource source, const std::vector<ZipEntry>& entries, bool byPosition,
                  const QByteArray& password);
    ~ArchiveCursor();
    ArchiveCursor(const ArchiveCursor&) = delete;
    ArchiveCursor& operator=(const ArchiveCursor&) = delete;

    /// Positions on entry index for reading; false with the reason (in the layer's words) in *reason.
    bool open(qint64 index, QString* reason);
    /// The next bytes of the entry opened: 0 at its end, once libarchive found its data and CRC right; -1 on
    /// failure, with the reason in *reason.
    qint64 read(char* buffer, qint64 length, QString* reason);

  private:
    struct State;
    std::unique_ptr<State> m;
};

} // namespace zipdetail
