#pragma once
// How the grids over a SelectionTableModel draw their rows: the summary row in bold, and the icon of the row's
// type (a folder, or the platform's icon for the file's extension) in the icon column.

#include <QStyledItemDelegate>

class SelectionGridDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
