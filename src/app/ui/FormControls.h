#pragma once
// Small factories the forms share: each control gets the object name tests and users' scripts know it by.

#include <QAbstractItemModel>
#include <QCheckBox>
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
