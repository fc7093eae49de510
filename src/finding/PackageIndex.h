#pragma once
// The zip package index: the packages the find dialog showed when it last closed, kept from one run to the next in
// the application folder as Varnhold.dat. Plain, it is one full path per line ended by CR LF and nothing else; on
// disk it is enciphered whole with the backup sets' cipher and key. It is read through a deciphered working copy in
// Work/ and written enciphered to a work file beside it that is renamed into place, so a failed save keeps the old
// index.

#include "utility/Result.h"

#include <QString>
#include <QStringList>
#include <QVector>

/// One zip package of the find dialog's grid and of the index.
struct PackageRow {
    QString path;
    qint64 size = 0;
    bool operator==(const PackageRow&) const = default;
};

namespace PackageIndex {

inline const QString kFileName = QStringLiteral("Varnhold.dat");
/// The working copy's name in Work/ while the index is read.
inline const QString kWorkName = QStringLiteral("Varnhold.Dat");

/// appFolder/Varnhold.dat
QString indexPath(const QString& appFolder);

/// The plain text: every path trimmed, one line each, CR LF after every line. A path is written as the bytes it
/// names (NativePath), so a name that is not UTF-8 or holds control characters is kept as it is.
QByteArray format(const QVector<PackageRow>& rows);
/// The paths of a plain text, each trimmed, empty lines skipped. Each line stands alone: one that cannot be a path
/// (not starting with "/", holding a NUL) is left out, as a package that no longer exists is, and the others stay.
QStringList parse(const QByteArray& plain);

/// The packages of the index that still exist as files, with their sizes now, sorted by path. A missing index or one
/// that cannot be copied or deciphered gives no rows.
QVector<PackageRow> load(const QString& appFolder);
/// Writes the rows' paths, in their order, as the new index (enciphered, beside it, then renamed). Paths holding a
/// CR or LF cannot be a line of the index and are not written.
Status save(const QString& appFolder, const QVector<PackageRow>& rows);

} // namespace PackageIndex

/// The grid's columns that sort: by path (case ignored first, then exact) or by size (ties by path).
enum class PackageSort { Path, Size };
void sortRows(QVector<PackageRow>& rows, PackageSort by = PackageSort::Path, bool ascending = true);
