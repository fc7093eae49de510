#include "PackageTableModel.h"

#include "utility/NativePath.h"
#include "utility/TextUtil.h"

#include <QTextDocument>

QVariant PackageTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const PackageRow& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == FileName) return NativePath::display(row.path);
        if (index.column() == Size) return TextUtil::formatGrouped(row.size);
        return {};
    case Qt::ToolTipRole:
        // As text: a path holding something like markup must not be drawn as markup.
        return index.column() == FileName
                   ? QVariant(Qt::convertFromPlainText(NativePath::display(row.path), Qt::WhiteSpacePre))
                   : QVariant();
    case Qt::DecorationRole:
        return index.column() == Icon ? QVariant(m_icon) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == Size ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                      : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant PackageTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == FileName) return QStringLiteral("File Name");
    if (section == Size) return QStringLiteral("Size(Bytes)");
    return QString();
}

void PackageTableModel::setRows(QVector<PackageRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void PackageTableModel::sortBy(int column, bool ascending) {
    if (column != FileName && column != Size) return;
    emit layoutAboutToBeChanged();
    sortRows(m_rows, column == Size ? PackageSort::Size : PackageSort::Path, ascending);
    emit layoutChanged();
}
