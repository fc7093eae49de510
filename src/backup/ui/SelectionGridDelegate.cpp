#include "SelectionGridDelegate.h"

#include "backup/SelectionTableModel.h"

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>

namespace {

/// Row icons by file type, asked of the platform once per type.
class TypeIcons {
  public:
    QIcon icon(const QString& type) {
        auto it = m_icons.find(type);
        if (it != m_icons.end()) return *it;
        QIcon found;
        if (type == QLatin1String("folder")) {
            found = m_provider.icon(QAbstractFileIconProvider::Folder);
        } else {
            const QMimeType mime =
                QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + type, QMimeDatabase::MatchExtension);
            found = QIcon::fromTheme(mime.iconName(), m_provider.icon(QAbstractFileIconProvider::File));
        }
        return *m_icons.insert(type, found);
    }

  private:
    QFileIconProvider m_provider;
    QHash<QString, QIcon> m_icons;
};

TypeIcons& typeIcons() {
    static TypeIcons icons;
    return icons;
}

} // namespace

void SelectionGridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(SelectionTableModel::SummaryRole).toBool()) {
        option->font.setBold(true);
        return;
    }
    if (index.column() == 0) {
        const QString type = index.data(SelectionTableModel::EntryTypeRole).toString();
        option->icon = typeIcons().icon(type);
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationAlignment = Qt::AlignCenter;
    }
}
