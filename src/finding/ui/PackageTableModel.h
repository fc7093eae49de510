#pragma once
// The find dialog's grid: one row per zip package, columns icon, "File Name" and "Size(Bytes)".

#include "finding/PackageIndex.h"

#include <QAbstractTableModel>
#include <QIcon>

class PackageTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Icon = 0, FileName = 1, Size = 2, ColumnCount = 3 };

    explicit PackageTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QVector<PackageRow>& rows() const { return m_rows; }
    void setRows(QVector<PackageRow> rows);
    void clear() { setRows({}); }
    /// Sorts by the File Name or Size column; the icon column does not sort.
    void sortBy(int column, bool ascending);
    void setPackageIcon(const QIcon& icon) { m_icon = icon; }

  private:
    QVector<PackageRow> m_rows;
    QIcon m_icon;
};
