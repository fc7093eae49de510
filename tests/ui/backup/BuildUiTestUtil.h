#pragma once
// Helpers of the build window tests: a program state of its own per test, controls found by their object names,
// and a guard that closes any modal dialog nobody answered, so a wrong flow fails instead of hanging.

#include "DialogTestUtil.h"
#include "ProgramFixture.h"
#include "app/ui/DialogHook.h"

#include <QtTest>
#include <QtWidgets>

namespace buildui {

using namespace testsupport;
using dialogtest::expectTexts;

/// A mouse click on the named button of a form.
inline void press(const QObject& form, const char* button) {
    QTest::mouseClick(child<QPushButton>(form, button), Qt::LeftButton);
}

/// Types into the named line or text boxes of a form.
inline void setTexts(const QObject& form, std::initializer_list<std::pair<const char*, QString>> texts) {
    for (const auto& [name, text] : texts)
        if (auto* box = form.findChild<QPlainTextEdit*>(name))
            box->setPlainText(text);
        else
            child<QLineEdit>(form, name)->setText(text);
}
/// Ticks (or unticks) each named check box or radio button.
inline void setTicks(const QObject& form, std::initializer_list<std::pair<const char*, bool>> ticks) {
    for (const auto& [name, ticked] : ticks)
        child<QAbstractButton>(form, name)->setChecked(ticked);
}

/// Closes every modal dialog that shows itself while it lives and remembers its name: the flows under test get
/// their answers from DialogHook, so a dialog on screen is one the test did not expect.
struct UnexpectedDialogs {
    QStringList allowed; ///< the dialogs a test answers itself with the mouse
    QStringList seen;
    QTimer timer;
    UnexpectedDialogs() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            // The progress window is expected, and so are the dialogs a test answers with the mouse.
            if (!modal || modal->objectName() == QLatin1String("fLoad") || allowed.contains(modal->objectName()))
                return;
            seen << modal->objectName();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        });
        timer.start(50);
    }
};

/// DialogHook cleared before and after each test, and a program state of the test's own.
class HookedTest : public ::testing::Test {
  protected:
    void SetUp() override { DialogHook::reset(); }
    void TearDown() override { DialogHook::reset(); }
    /// The answers still queued, in order (taking them).
    static QStringList leftAnswers() {
        QStringList left;
        for (QString answer; DialogHook::takeAnswer(answer);)
            left << answer;
        return left;
    }
    static void queue(std::initializer_list<const char*> answers) {
        for (const char* answer : answers)
            DialogHook::setNextAnswer(answer);
    }
    Program program;
    AppState& state = *program.state;
};

/// With a data folder to back up, and every dialog that shows answered.
class FlowTest : public HookedTest {
  protected:
    TempDir dataDir;
    QString data = dataDir.path() + "/Data/";
    UnexpectedDialogs unexpected;
    /// Nothing was shown that the test did not answer, and every answer was taken but the ones named.
    void expectAnswered(const QStringList& left = {}) {
        EXPECT_EQ(leftAnswers(), left);
        EXPECT_TRUE(unexpected.seen.isEmpty()) << unexpected.seen.join(", ").toStdString();
    }
};

} // namespace buildui
