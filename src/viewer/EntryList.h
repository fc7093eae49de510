#pragma once
// The rows of the package view: one per listed entry (folder entries have none), with the texts they show and
// the keys they sort by. The window's grid and the command-line listing both read this one list.

#include <QString>
#include <vector>

class ZipPackage;

/// The grid's columns, 1 to 7 as the user sees them.
enum class EntryColumn { Icon = 1, Name = 2, Size = 3, Zipped = 4, Modified = 5, Ratio = 6, Path = 7 };
constexpr int kEntryColumnCount = 7;

enum class SortKind { ByIcon, Text, Number, DateTime };
SortKind sortKindOf(EntryColumn column);
/// Column key and header caption ("namestring", "File Name", ...).
QString columnKey(EntryColumn column);
QString columnHeader(EntryColumn column);

/// One grid row. It keeps only what the texts are made from: the cell texts are formatted when asked for,
/// so a package of 100,000 entries costs a few megabytes of rows, not tens.
struct EntryRow {
    qint64 entryIndex = -1; ///< index in the package
    QString name;           ///< shares its characters with the package's entry
    QString folderPath;
    qint64 size = 0;
    qint64 zipped = 0;
    quint32 dosStamp = 0; ///< date << 16 | time, orders like the date and time

    QString iconKey() const; ///< upper-case extension, "" when the name has none
    QString sizeText() const;
    QString zippedText() const;
    QString modifiedText() const;
    QString ratioText() const;
    /// The cell text of a column (the icon column has none).
    QString text(EntryColumn column) const;
};

class EntryList {
  public:
    /// Rebuilds the rows from the open package, in package order; folder entries are skipped.
    void load(const ZipPackage& package);
    void clear() { m_rows.clear(); }

    /// Sorts by one column; ties keep their current order. "File Name" and "Path" sort as file managers sort
    /// names: case ignored, runs of digits by their value ("file2" before "file10", "a01" ties with "a1"). Returns
    /// where each row came from: row i of the sorted list was row result[i] before.
    std::vector<std::size_t> sort(EntryColumn column, bool ascending);
    /// Sorts by "File Name" ascending, as after opening.
    void sortAfterOpening() { sort(EntryColumn::Name, true); }

    const std::vector<EntryRow>& rows() const { return m_rows; }
    std::size_t size() const { return m_rows.size(); }
    const EntryRow& row(std::size_t i) const { return m_rows[i]; }
    /// Removes a row (after its entry was deleted).
    void removeRow(std::size_t i);

    /// The entry index of the last entry of the package whose name and folder path are exactly these; -1 if none.
    static qint64 findEntry(const ZipPackage& package, const QString& name, const QString& folderPath);

  private:
    std::vector<EntryRow> m_rows;
};
