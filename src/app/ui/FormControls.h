#pragma once
// Small factories the forms share: each control gets the object name tests and users' scripts know it by.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QString>

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

} // namespace FormControls
