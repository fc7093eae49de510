#include "SetListModel.h"

#include <algorithm>
#include <numeric>

namespace {

int compareNames(const QString& a, const QString& b) {
    // Weekly.set and weekly.set are two sets on Linux; case decides only between such names.
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded : a.compare(b, Qt::CaseSensitive);
}

int compareCells(const SetListing& a, const SetListing& b, SetColumn column) {
    switch (column) {
    case SetColumn::Modified:
        if (a.modified != b.modified) return a.modified < b.modified ? -1 : 1;
        return 0;
    case SetColumn::Comment:
        return a.comment.compare(b.comment, Qt::CaseInsensitive);
    default:
        return 0;
    }
}

} // namespace

SetListModel::SetListModel(QObject* parent) : QAbstractTableModel(parent) {}

void SetListModel::load(QVector<SetListing> sets) {
    beginResetModel();
    m_sets = std::move(sets);
    m_sortColumn = SetColumn::Name;
    m_sortAscending = true;
    std::stable_sort(m_sets.begin(), m_sets.end(),
                     [](const SetListing& a, const SetListing& b) { return compareNames(a.name, b.name) < 0; });
    endResetModel();
}

const SetListing* SetListModel::setAt(int row) const {
    return row >= 0 && row < m_sets.size() ? &m_sets[row] : nullptr;
}

int SetListModel::rowOf(const QString& name) const {
    for (int row = 0; row < m_sets.size(); ++row)
        if (m_sets[row].name == name) return row;
    return -1;
}

void SetListModel::removeSet(int row) {
    if (!setAt(row)) return;
    beginRemoveRows({}, row, row);
    m_sets.removeAt(row);
    endRemoveRows();
}

void SetListModel::sortBy(SetColumn column, bool ascending) {
    if (column == SetColumn::Icon) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QVector<int> order(m_sets.size());
    std::iota(order.begin(), order.end(), 0);
    // The name orders rows whose cells are equal, in the same direction, so a sort is always the same order.
    std::stable_sort(order.begin(), order.end(), [&](int i, int j) {
        int c = compareCells(m_sets[i], m_sets[j], column);
        if (c == 0) c = compareNames(m_sets[i].name, m_sets[j].name);
        return ascending ? c < 0 : c > 0;
    });
    QVector<SetListing> sorted;
    sorted.reserve(m_sets.size());
    QVector<int> newRowOf(m_sets.size());
    for (int newRow = 0; newRow < order.size(); ++newRow) {
        sorted << m_sets[order[newRow]];
        newRowOf[order[newRow]] = newRow;
    }
    m_sets = std::move(sorted);
    m_sortColumn = column;
    m_sortAscending = ascending;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& index : before)
        after << this->index(newRowOf[index.row()], index.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SetListModel::sortByHeader(int section) {
    if (section <= int(SetColumn::Icon) || section >= kColumnCount) return;
    const auto column = SetColumn(section);
    sortBy(column, !(column == m_sortColumn && m_sortAscending));
}

QString SetListModel::modifiedText(const QDateTime& modified) {
    return modified.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

QString SetListModel::columnHeader(SetColumn column) {
    switch (column) {
    case SetColumn::Name:
        return QStringLiteral("Backup Set Name");
    case SetColumn::Modified:
        return QStringLiteral("Modified");
    case SetColumn::Comment:
        return QStringLiteral("Backup Set Comments");
    default:
        return {};
    }
}

int SetListModel::columnWidth(SetColumn column) {
    static constexpr int widths[kColumnCount] = {20, 100, 125, 900};
    return widths[int(column)];
}

int SetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_sets.size());
}

int SetListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant SetListModel::data(const QModelIndex& index, int role) const {
    const SetListing* set = index.isValid() ? setAt(index.row()) : nullptr;
    if (!set) return {};
    const auto column = SetColumn(index.column());
    if (role == Qt::DecorationRole) return column == SetColumn::Icon ? m_icon : QVariant();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (column) {
    case SetColumn::Name:
        return set->name;
    case SetColumn::Modified:
        return modifiedText(set->modified);
    case SetColumn::Comment:
        return set->comment;
    default:
        return {};
    }
}

QVariant SetListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) return {};
    return columnHeader(SetColumn(section));
}

Qt::ItemFlags SetListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void SetListModel::sort(int column, Qt::SortOrder order) {
    if (column > int(SetColumn::Icon) && column < kColumnCount) sortBy(SetColumn(column), order == Qt::AscendingOrder);
}
