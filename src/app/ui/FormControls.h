#pragma once
// Small factories the forms share: each control gets the object name tests and users' scripts know it by.

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTableView>

namespace FormControls {

inline QLabel* makeLabel(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

/// A label whose text is shown as it is: paths and names never turn into markup.
inline QLabel* makePlainLabel(const QString& text, const char* name, QWidget* parent) {
    QLabel* label = makeLabel(text, name, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

inline QCheckBox* makeCheck(const QString& text, const char* name, QWidget* parent) {
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(name);
    return check;
}

inline QPushButton* makeButton(const QString& text, const QString& tip, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    if (!tip.isEmpty()) button->setToolTip(tip);
    return button;
}

/// Tab walks the controls in this order (as they stand on the screen, row by row).
inline void chainTabOrder(const QList<QWidget*>& order) {
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

/// A form's row of buttons, kept to its right-hand side.
inline QHBoxLayout* makeButtonRow(const QList<QWidget*>& buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* button : buttons)
        row->addWidget(button);
    return row;
}

/// A dialog's title line: bold and a fifth larger than the text below it.
inline QLabel* makeTitle(const QString& text, const char* name, QWidget* parent) {
    QLabel* title = makeLabel(text, name, parent);
    QFont heading = title->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    title->setFont(heading);
    return title;
}

/// A "..." button that browses for what the box beside it holds: named for screen readers, never the default
/// button, just wide enough for its dots.
inline QPushButton* makeBrowseButton(const char* name, const QString& what, QWidget* parent) {
    QPushButton* browse = makeButton(QStringLiteral("..."), {}, name, parent);
    browse->setAccessibleName(what);
    browse->setAutoDefault(false);
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("....") + 16);
    return browse;
}

/// The rows of a form: a label (the box's buddy), its box and, when given, a control beside the box.
class FormRows {
  public:
    FormRows(QGridLayout* grid, QWidget* parent) : m_grid(grid), m_parent(parent) {}
    void add(const QString& text, const char* name, QWidget* box, QWidget* beside = nullptr) {
        QLabel* label = makeLabel(text, name, m_parent);
        label->setBuddy(box);
        m_grid->addWidget(label, m_row, 0);
        m_grid->addWidget(box, m_row, 1, 1, beside ? 1 : 2);
        if (beside) m_grid->addWidget(beside, m_row, 2);
        ++m_row;
    }
    /// The next free row, for what the form adds itself.
    int nextRow() { return m_row++; }

  private:
    QGridLayout* m_grid;
    QWidget* m_parent;
    int m_row = 0;
};

/// The busy pointer while a window's job runs: shown and taken back once each, however often it is asked for,
/// and taken back when the window goes.
class BusyPointer {
  public:
    BusyPointer() = default;
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    ~BusyPointer() { set(false); }
    void set(bool busy) {
        if (busy == m_busy) return;
        m_busy = busy;
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    }

  private:
    bool m_busy = false;
};

/// The hourglass for the length of a scope, for work the window waits for.
class WaitPointer {
  public:
    WaitPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitPointer() { QApplication::restoreOverrideCursor(); }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;
};

/// A read-only grid over model: whole rows are picked one at a time, cells never wrap, no row numbers, and one
/// fixed row height so that the view never measures its rows; its column headers sort when clicked.
inline QTableView* makeGrid(const char* name, QAbstractItemModel* model, QWidget* parent) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    QHeaderView* rows = grid->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionsClickable(true);
    grid->horizontalHeader()->setSortIndicatorShown(true);
    return grid;
}

} // namespace FormControls
