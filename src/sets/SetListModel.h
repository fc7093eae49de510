#pragma once
// The grid of backup sets that the set dialogs show: one row per set of the sets folder with its name, the time
// its file was last written and its comment. The model stays free of QtGui: the window gives the set icon.

#include "BackupSetFile.h"

#include <QAbstractTableModel>
#include <QVariant>

/// The grid's columns in display order; the icon column has no header.
enum class SetColumn { Icon, Name, Modified, Comment };

class SetListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kColumnCount = 4;

    explicit SetListModel(QObject* parent = nullptr);

    /// Replaces the rows, sorted by name ascending.
    void load(QVector<SetListing> sets);
    /// The decoration of every row's icon cell.
    void setIcon(const QVariant& icon) { m_icon = icon; }

    /// The set behind a grid row, or nullptr for a row outside the grid.
    const SetListing* setAt(int row) const;
    /// The grid row of a set name (exact match), -1 when there is none.
    int rowOf(const QString& name) const;
    void removeSet(int row);

    /// Sorts by one column as a layout change, so the view's selection moves with its set. Names and comments
    /// compare without regard to case, times by time; equal cells keep the order by name.
    void sortBy(SetColumn column, bool ascending);
    /// A header click: that column ascending, or reversed when the grid is already sorted by it. The icon column
    /// does not sort.
    void sortByHeader(int section);
    SetColumn sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }

    /// "yyyy/mm/dd hh:mm:ss", as the grid shows a set's time.
    static QString modifiedText(const QDateTime& modified);
    /// The column's header text and its width in the grid.
    static QString columnHeader(SetColumn column);
    static int columnWidth(SetColumn column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  private:
    QVector<SetListing> m_sets;
    QVariant m_icon;
    SetColumn m_sortColumn = SetColumn::Name;
    bool m_sortAscending = true;
};
