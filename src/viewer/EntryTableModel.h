#pragma once
// The entry grid's model: a thin table over EntryList. Every cell text is computed once when the package is
// read, so data() only hands out what the row already holds; that keeps a package of 100,000 entries cheap to
// show and to re-sort. The model stays free of QtGui: the file-type icons come from a lookup the window sets.

#include "EntryList.h"

#include <QAbstractTableModel>
#include <functional>

class ZipPackage;

class EntryTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    /// Gives the decoration of an icon key (an upper-case extension); an invalid QVariant shows no icon.
    using IconLookup = std::function<QVariant(const QString& iconKey)>;

    explicit EntryTableModel(QObject* parent = nullptr);

    void setIconLookup(IconLookup lookup) { m_iconLookup = std::move(lookup); }

    /// Replaces the rows with the entries of the open package, in package order (unsorted).
    void load(const ZipPackage& package);
    /// Removes every row.
    void clear();
    /// Takes one row out (its entry was deleted from the package).
    void removeEntryRow(int row);
    /// Sorts by one column through EntryList::sort, as a layout change: the views' selection and current row move
    /// with their entries.
    void sortBy(EntryColumn column, bool ascending);

    const EntryList& entries() const { return m_list; }
    /// The row behind a grid row, or nullptr for a row outside the grid.
    const EntryRow* rowAt(int row) const;
    /// The distinct icon keys of the rows, each once, in the order first met.
    QStringList iconKeys() const;

    /// The alignment of a column's header and of its cells.
    static Qt::Alignment headerAlignment(EntryColumn column);
    static Qt::Alignment cellAlignment(EntryColumn column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    /// Lets a generic view sort too; the window itself calls sortBy.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  private:
    EntryList m_list;
    IconLookup m_iconLookup;
};
