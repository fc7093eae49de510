#include "EntryTableModel.h"

#include "utility/TextUtil.h"

#include <QSet>

namespace {
EntryColumn columnOf(int section) {
    return EntryColumn(section + 1);
}
} // namespace

EntryTableModel::EntryTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void EntryTableModel::load(const ZipPackage& package) {
    beginResetModel();
    m_list.load(package);
    endResetModel();
}

void EntryTableModel::clear() {
    beginResetModel();
    m_list.clear();
    endResetModel();
}

void EntryTableModel::sortBy(EntryColumn column, bool ascending) {
    // The selection model turns its selection into persistent indexes when the layout is about to change, so the
    // list is taken only after that. Only those few indexes are moved; the rows themselves are not looked at.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    const std::vector<std::size_t> cameFrom = m_list.sort(column, ascending);
    if (!before.isEmpty()) {
        std::vector<int> movedTo(cameFrom.size());
        for (std::size_t row = 0; row < cameFrom.size(); ++row)
            movedTo[cameFrom[row]] = int(row);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& index : before)
            after << this->index(movedTo[std::size_t(index.row())], index.column());
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void EntryTableModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kEntryColumnCount) return;
    sortBy(columnOf(column), order == Qt::AscendingOrder);
}

void EntryTableModel::removeEntryRow(int row) {
    if (row < 0 || std::size_t(row) >= m_list.size()) return;
    beginRemoveRows({}, row, row);
    m_list.removeRow(std::size_t(row));
    endRemoveRows();
}

const EntryRow* EntryTableModel::rowAt(int row) const {
    return row >= 0 && std::size_t(row) < m_list.size() ? &m_list.row(std::size_t(row)) : nullptr;
}

QStringList EntryTableModel::iconKeys() const {
    QStringList keys;
    QSet<QString> seen;
    for (const EntryRow& row : m_list.rows()) {
        if (seen.contains(row.iconKey())) continue;
        seen.insert(row.iconKey());
        keys << row.iconKey();
    }
    return keys;
}

Qt::Alignment EntryTableModel::headerAlignment(EntryColumn column) {
    switch (column) {
    case EntryColumn::Size:
    case EntryColumn::Zipped:
    case EntryColumn::Modified:
    case EntryColumn::Ratio:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

Qt::Alignment EntryTableModel::cellAlignment(EntryColumn column) {
    switch (column) {
    case EntryColumn::Size:
    case EntryColumn::Zipped:
        return Qt::AlignRight | Qt::AlignVCenter;
    case EntryColumn::Modified:
    case EntryColumn::Ratio:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

int EntryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_list.size());
}

int EntryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kEntryColumnCount;
}

QVariant EntryTableModel::data(const QModelIndex& index, int role) const {
    const EntryRow* row = index.isValid() ? rowAt(index.row()) : nullptr;
    if (!row) return {};
    const EntryColumn column = columnOf(index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (column == EntryColumn::Icon) return {};
        // A name may hold line breaks or a right-to-left override that makes "invoice<RLO>txt.exe" read as
        // "invoiceexe.txt": names are shown with such characters as visible escapes.
        if (column == EntryColumn::Name || column == EntryColumn::Path)
            return TextUtil::visibleText(row->text(column), false);
        return row->text(column);
    case Qt::DecorationRole:
        if (column == EntryColumn::Icon && m_iconLookup) return m_iconLookup(row->iconKey());
        return {};
    case Qt::TextAlignmentRole:
        return int(cellAlignment(column)); // views read the alignment as an int
    case Qt::ToolTipRole:
        // The Path and File Name cells are often wider than their columns.
        if (column == EntryColumn::Name || column == EntryColumn::Path)
            return TextUtil::visibleText(row->folderPath + row->name, false);
        return {};
    default:
        return {};
    }
}

QVariant EntryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kEntryColumnCount) return {};
    const EntryColumn column = columnOf(section);
    switch (role) {
    case Qt::DisplayRole:
        return columnHeader(column);
    case Qt::TextAlignmentRole:
        return int(headerAlignment(column));
    case Qt::UserRole:
        return columnKey(column);
    default:
        return {};
    }
}

Qt::ItemFlags EntryTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}
