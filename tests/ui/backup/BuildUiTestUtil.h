#pragma once
// Helpers of the build window tests: a program state of its own per test, controls found by their object names,
// and a guard that closes any modal dialog nobody answered, so a wrong flow fails instead of hanging.

#include "ProgramFixture.h"
#include "app/ui/DialogHook.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace buildui {

using testsupport::child;
using testsupport::Program;
using testsupport::testName;

/// Closes every modal dialog that shows itself while it lives and remembers its name: the flows under test get
/// their answers from DialogHook, so a dialog on screen is one the test did not expect.
class UnexpectedDialogs {
  public:
    UnexpectedDialogs() {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                // The progress window is expected, and so are the dialogs a test answers with the mouse.
                if (modal->objectName() == QLatin1String("fLoad") || m_allowed.contains(modal->objectName())) return;
                m_seen << modal->objectName();
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
                else
                    modal->close();
            }
        });
        m_timer.start();
    }
    QStringList seen() const { return m_seen; }
    /// A dialog the test answers itself.
    void allow(const QString& name) { m_allowed << name; }

  private:
    QStringList m_allowed;
    QTimer m_timer;
    QStringList m_seen;
};

/// DialogHook cleared before and after each test.
class HookedTest : public ::testing::Test {
  protected:
    void SetUp() override { DialogHook::reset(); }
    void TearDown() override { DialogHook::reset(); }
    /// The answers still queued, in order (taking them).
    static QStringList leftAnswers() {
        QStringList left;
        QString answer;
        while (DialogHook::takeAnswer(answer))
            left << answer;
        return left;
    }
};

} // namespace buildui
