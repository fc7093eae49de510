#pragma once
// Finding a dialog's controls by the object names the program gives them, and checking their texts as a table.

#include "TestSupport.h"
#include <QAbstractButton>
#include <QLabel>
#include <QObject>

#include <string>

namespace dialogtest {

using testsupport::child;

/// A control's object name, its caption and (for buttons) its tooltip.
struct Text {
    const char* name;
    QString text;
    QString tip = {};
};

/// Checks the caption of each named label or button, and each button's tooltip.
inline void expectTexts(const QObject& dialog, std::initializer_list<Text> texts) {
    for (const Text& t : texts) {
        if (auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(t.name))) {
            EXPECT_EQ(label->text(), t.text) << t.name;
            continue;
        }
        auto* button = child<QAbstractButton>(dialog, t.name);
        EXPECT_EQ(button->text(), t.text) << t.name;
        EXPECT_EQ(button->toolTip(), t.tip) << t.name;
    }
}

} // namespace dialogtest
