#pragma once
// A program state per test: its own settings store (named after the test) and its own application folder,
// as right after start-up.

#include "TestSupport.h"
#include "app/AppState.h"
#include "app/StartUp.h"

#include <memory>

namespace testsupport {

struct Program {
    TempDir appDir;
    std::unique_ptr<AppState> state;
    Program() : state(std::make_unique<AppState>(testName())) {
        state->settings.DeleteSetting(kSettingsSection);
        runStartUp(*state, appDir.path());
    }
    QString app() const { return state->folders.app; }
    /// The value in the settings store (not the shared one), "<missing>" when it was never stored.
    QString stored(const QString& key) const {
        return state->settings.GetSetting(kSettingsSection, key, QStringLiteral("<missing>"));
    }
};

} // namespace testsupport
