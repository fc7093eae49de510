#pragma once
// The grids of the build wizard as plain data: the four source grids (folders, files, sets, search) and the build
// grid. A grid holds selection rows and at most one summary row ("**Total**", shown in bold) whose count and
// size are the sums of the other rows. Every walk over a grid skips the summary row.

#include "sets/BackupSetFile.h"

#include <QDateTime>
#include <QString>
#include <QVector>

/// The five grids of the wizard, named after the tab they sit on, and the quick update's grid.
enum class GridKind {
    Folders, ///< vbalGrid2, "Select Folders"
    Files,   ///< vbalGrid3, "Select Files"
    Sets,    ///< vbalGrid5, "Select Sets"
    Search,  ///< vbalGrid6, "Search"
    Build,   ///< vbalGrid4, "Build Zip"
    Quick,   ///< vbalGrid1 of the quick update: the rows of the package's backup set
};

/// What a column shows; the icon column comes first in every grid and has no header.
enum class GridField { Icon, Path, Files, Size, Include, Exclude, Modified, Created, Accessed };

struct GridColumn {
    GridField field;
    QString key;    ///< the column key the wizard form uses ("" for the icon)
    QString header; ///< "" for the icon
    int width;
};

/// The columns of a grid in display order, icon first.
const QVector<GridColumn>& gridColumns(GridKind kind);

/// What the count and size cells of a row show while its folder is still being counted.
inline const QString kCountingText = QStringLiteral("counting\u2026");

/// The three times a search result shows; empty for rows of the other grids.
struct RowTimes {
    QDateTime modified;
    QDateTime created;
    QDateTime accessed;
};

class SelectionGrid {
  public:
    explicit SelectionGrid(GridKind kind = GridKind::Build) : m_kind(kind) {}

    GridKind kind() const { return m_kind; }
    int rowCount() const { return int(m_rows.size()); }
    const SelectionRow& row(int index) const { return m_rows[index].cells; }
    const RowTimes& times(int index) const { return m_rows[index].times; }
    /// A number that stays with the row while rows around it come and go; lets a running scan find its row.
    quint64 rowId(int index) const { return m_rows[index].id; }
    int indexOfId(quint64 id) const;
    /// Every row as shown, the summary row included.
    QVector<SelectionRow> allRows() const;
    /// The rows a walk sees: every row but the summary row, in grid order.
    QVector<SelectionRow> entries() const;
    /// True for the summary row: drawn in bold.
    bool isSummary(int index) const { return m_rows[index].cells.isTotal(); }
    /// Index of the summary row, -1 when the grid has none.
    int summaryIndex() const;

    /// Appends a row (summary rows are never appended this way; use refreshSummary). Returns its id. A counting
    /// row is a folder whose count is still to come: it shows kCountingText until setCounts fills it.
    quint64 appendRow(const SelectionRow& row, const RowTimes& times = {}, bool counting = false);
    void setCounts(int index, qint64 files, qint64 bytes);
    bool isCounting(int index) const { return m_rows[index].counting; }
    void removeRow(int index);
    void clear();
    /// Sorts the rows by one column (numbers by value, times by time, text ignoring case; equal rows keep their
    /// order); the summary row goes last.
    void sortBy(GridField field, bool ascending);

    /// Sums the count and size of every row that is not the summary row (commas removed, unreadable cells count
    /// as 0) and writes the sums into the summary row, which is appended when the grid has none. So the summary
    /// row sits after the rows present when it was first added; rows added later follow it.
    void refreshSummary();
    /// Sums of the non-summary rows, as refreshSummary computes them.
    qint64 fileTotal() const;
    qint64 byteTotal() const;

  private:
    struct Row {
        SelectionRow cells;
        RowTimes times;
        quint64 id = 0;
        bool counting = false;
    };
    GridKind m_kind;
    QVector<Row> m_rows;
    quint64 m_nextId = 1;
};
