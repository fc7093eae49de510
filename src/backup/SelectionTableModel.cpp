#include "SelectionTableModel.h"

#include <QFileInfo>

namespace {
QString timeText(const QDateTime& when) {
    return when.isValid() ? when.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")) : QString();
}
} // namespace

SelectionTableModel::SelectionTableModel(const SelectionGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid) {}

int SelectionTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.rowCount() + int(m_pending.size());
}

int SelectionTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(gridColumns(m_grid.kind()).size());
}

QVariant SelectionTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (index.row() >= m_grid.rowCount()) return pendingData(index, role);
    const SelectionRow& row = m_grid.row(index.row());
    const GridField field = gridColumns(m_grid.kind())[index.column()].field;
    switch (role) {
    case Qt::DisplayRole:
        switch (field) {
        case GridField::Icon:
            return {};
        case GridField::Path:
            return row.path;
        case GridField::Files:
            return m_grid.isCounting(index.row()) ? kCountingText : row.files;
        case GridField::Size:
            return m_grid.isCounting(index.row()) ? kCountingText : row.size;
        case GridField::Include:
            return row.include;
        case GridField::Exclude:
            return row.exclude;
        case GridField::Modified:
            return timeText(m_grid.times(index.row()).modified);
        case GridField::Created:
            return timeText(m_grid.times(index.row()).created);
        case GridField::Accessed:
            return timeText(m_grid.times(index.row()).accessed);
        }
        return {};
    case Qt::TextAlignmentRole:
        if (field == GridField::Files || field == GridField::Size)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return {};
    case SummaryRole:
        return m_grid.isSummary(index.row());
    case EntryTypeRole:
        if (m_grid.isSummary(index.row())) return QString();
        return row.isFolder() ? QStringLiteral("folder") : QFileInfo(row.path).suffix().toLower();
    default:
        return {};
    }
}

QVariant SelectionTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const GridColumn& column = gridColumns(m_grid.kind())[section];
    if (role == Qt::DisplayRole) return column.header;
    if (role == ColumnKeyRole) return column.key;
    return {};
}

QVariant SelectionTableModel::pendingData(const QModelIndex& index, int role) const {
    const GridField field = gridColumns(m_grid.kind())[index.column()].field;
    const bool counted = field == GridField::Files || field == GridField::Size;
    switch (role) {
    case Qt::DisplayRole:
        if (field == GridField::Path) return m_pending[index.row() - m_grid.rowCount()];
        return counted ? QVariant(kCountingText) : QVariant();
    case Qt::TextAlignmentRole:
        return counted ? QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case SummaryRole:
        return false;
    case EntryTypeRole:
        return QStringLiteral("folder");
    default:
        return {};
    }
}

void SelectionTableModel::setPending(const QStringList& folders) {
    if (folders == m_pending) return;
    beginResetModel();
    m_pending = folders;
    endResetModel();
}

void SelectionTableModel::reload() {
    beginResetModel();
    endResetModel();
}
