#pragma once
// The texts an entry row shows, and the status-line texts of the package view.

#include <QByteArray>
#include <QString>

namespace EntryFields {
/// "yyyy/mm/dd  hh:mm:ss" from an MS-DOS date and time (two blanks between date and time).
QString modifiedText(quint16 dosDate, quint16 dosTime);
/// "###,##0".
QString sizeText(qint64 bytes);
/// 100 - zipped * 100 / size rounded to a whole number and followed by "%"; "0%" when size is 0.
/// An entry that grew in compression shows a negative ratio.
QString ratioText(qint64 size, qint64 zipped);
/// The whole number ratioText shows, for sorting by ratio.
qint64 ratioPercent(qint64 size, qint64 zipped);
/// The package's file name: the text after the last "/" of its path.
QString packageFileName(const QString& path);
/// "  (name)  Files = n  Bytes = n  Comments = text", the status line after a package is opened.
QString openedStatusText(const QString& fileName, qint64 files, qint64 bytes, const QString& comment);
QString buildingStatusText(const QString& fileName);
QString sortingStatusText(const QString& fileName);
QString sortedStatusText(const QString& fileName);
/// "  name selected, right-click for commands".
QString selectionStatusText(const QString& name);

// The same texts appended to a UTF-8 buffer, for printing many rows without making a string per field.
void appendModifiedText(QByteArray& out, quint16 dosDate, quint16 dosTime);
void appendSizeText(QByteArray& out, qint64 bytes);
void appendRatioText(QByteArray& out, qint64 size, qint64 zipped);
} // namespace EntryFields
