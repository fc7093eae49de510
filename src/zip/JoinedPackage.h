#pragma once
// A spanned package read as one (see ZipSpan.h): libzip reads single-file packages only.

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>
#include <zip.h>

namespace zipdetail {

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
