#pragma once
// A table model over one selection grid, for the wizard's grid views. It reads the grid and never changes it;
// whoever changes the grid calls reload(). Bold text and icons are the view's business: the model tells which
// row is the summary row (SummaryRole) and what kind of entry a row is (EntryTypeRole).

#include "SelectionGrid.h"

#include <QAbstractTableModel>
#include <QStringList>

class SelectionTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Role {
        SummaryRole = Qt::UserRole + 1, ///< bool: the "**Total**" row, drawn in bold
        EntryTypeRole,                  ///< "folder" for a folder entry, else the file's extension in lower case
        ColumnKeyRole,                  ///< header data: the column key ("xfolders", ...)
    };

    explicit SelectionTableModel(const SelectionGrid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// Shows the grid as it is now.
    void reload();
    /// Folders whose rows are still to come (ticked, their counts running or waiting): shown after the grid's
    /// rows, reading "counting…", until the count adds the real row.
    void setPending(const QStringList& folders);

  private:
    QVariant pendingData(const QModelIndex& index, int role) const;

    const SelectionGrid& m_grid;
    QStringList m_pending;
};
