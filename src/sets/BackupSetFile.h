#pragma once
// Backup set files: a comment line and one TAB-separated line per selection row, CR LF line ends, stored
// enciphered with a fixed key. Writers write through a temporary file that is enciphered and then renamed, so a
// set file on disk is always whole and enciphered; readers decipher a copy in Work/Temp.set and never touch the
// stored file.

#include "utility/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

inline const QByteArray kSetCipherKey = QByteArrayLiteral("TKWillow");
inline const QString kCommentMarker = QStringLiteral("*Comment*");
inline const QString kTotalRowPath = QStringLiteral("**Total**");

/// One row of a selection grid: a folder entry's path ends with "/", a file entry's does not.
struct SelectionRow {
    QString path;
    QString files;   ///< "###,##0"
    QString size;    ///< "###,##0"
    QString include; ///< pattern text, empty for file entries
    QString exclude;
    bool isFolder() const { return path.endsWith(u'/'); }
    bool isTotal() const { return path.compare(kTotalRowPath, Qt::CaseInsensitive) == 0; }
    bool operator==(const SelectionRow&) const = default;
};

struct BackupSet {
    QString comment;
    QVector<SelectionRow> rows; ///< summary rows are never written
};

/// The plain form: comment line (marker added unless the text already starts with it, case ignored), then the
/// rows (summary rows skipped), each field trimmed, CR LF after every line.
QByteArray formatSetFile(const BackupSet& set);
/// Writes the set enciphered to path (temporary file, encipher, rename).
Status writeSetFile(const QString& path, const BackupSet& set);

/// Empties appFolder/Work/, copies the set file to Work/Temp.set and deciphers it there. Returns the copy's path.
Result<QString> makeWorkingCopy(const QString& setPath, const QString& appFolder);
/// Line 1 of a working copy: the text after "*Comment*" (case-sensitive, when there is text after it), else the
/// whole line.
QString readComment(const QString& workFile);
/// Comment lines (marker in any case) go to comments; every other line becomes a row by splitRowLine.
struct SetContents {
    QStringList comments;
    QVector<SelectionRow> rows;
};
SetContents readRows(const QString& workFile);
/// Five fields at TABs as the set layout defines; text after a fifth TAB is dropped.
SelectionRow splitRowLine(const QString& line);

/// "Weekly" -> "Weekly.set"; "Weekly.SET" stays; "Weekly.txt" -> "Weekly.txt.set".
QString setFileName(const QString& name);
/// Name offered when saving: "Backup.zip" -> "Backup.set", anything not ending in .zip -> "Dummy.set".
QString offeredSetName(const QString& packageFileName);

struct SetListing {
    QString name;     ///< file name, e.g. "Weekly.set"
    QString comment;  ///< read through a working copy
    QDateTime modified;
};
/// Every "*.set" of the sets folder, sorted by name; sets that cannot be copied or deciphered are left out.
QVector<SetListing> listSets(const QString& setsFolder, const QString& appFolder);
