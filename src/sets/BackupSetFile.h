#pragma once
// Backup set files: a comment line and one TAB-separated line per selection row, CR LF line ends, stored
// enciphered with a fixed key. Writers write the enciphered bytes to a work file that is then renamed, so a set
// file on disk is always whole and enciphered; readers decipher a copy in Work/Temp.set and never touch the
// stored file. A path the layout could not carry as it is (one holding a TAB, CR or LF, or ending in blanks) is
// written as "%" and the path with those characters (and "%") percent-encoded; the readers undo it.

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
/// Writes the set enciphered to path (work file beside it, then renamed).
Status writeSetFile(const QString& path, const BackupSet& set);

/// Removes the program's own files from appFolder/Work/ (never through a link, never anything else).
Status clearWorkFolder(const QString& appFolder);
/// Empties appFolder/Work/ of the program's files, copies the enciphered file to Work/<workName> (Temp.set for a set,
/// Varnhold.Dat for the package index) and deciphers it there. Returns the copy's path.
Result<QString> makeWorkingCopy(const QString& setPath, const QString& appFolder,
                                const QString& workName = QStringLiteral("Temp.set"));
/// Line 1 of a working copy: the text after "*Comment*" (case-sensitive, when there is text after it), else the
/// whole line.
QString readComment(const QString& workFile);
/// Comment lines (marker in any case) go to comments; every other line becomes a row by splitRowLine, with an
/// encoded path decoded. What does not match the layout as the writer leaves it (no comment line first, a last
/// line cut short, a row without five fields, a full path or numeric counts) is listed in problems, one text per
/// line, "line 3 is cut short": a set with problems is damaged and must not be used.
struct SetContents {
    QStringList comments;
    QVector<SelectionRow> rows;
    QStringList problems;
};
SetContents readRows(const QString& workFile);
/// "Backup set Weekly.set is damaged (line 3 is cut short); it was not used."
QString damagedSetMessage(const QString& setPath, const QStringList& problems);
/// Five fields at TABs as the set layout defines; text after a fifth TAB is dropped.
SelectionRow splitRowLine(const QString& line);

/// "Weekly" -> "Weekly.set"; "Weekly.SET" stays; "Weekly.txt" -> "Weekly.txt.set".
QString setFileName(const QString& name);
/// Name offered when saving: "Backup.zip" -> "Backup.set", anything not ending in .zip -> "Dummy.set".
QString offeredSetName(const QString& packageFileName);

struct SetListing {
    QString name;    ///< file name, e.g. "Weekly.set"
    QString comment; ///< read through a working copy
    QDateTime modified;
};
/// Every "*.set" of the sets folder, sorted by name; sets that cannot be copied or deciphered are left out.
QVector<SetListing> listSets(const QString& setsFolder, const QString& appFolder);
