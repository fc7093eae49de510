#pragma once
// Running varnhold-cli as a script would, in an application folder of the test's own.

#include "app/OptionKeys.h"
#include "app/RegSettings.h"

#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace clitest {

using namespace testsupport;

/// Runs the program with workDir as its application folder, started in workDir unless startIn names another
/// folder, and waits for it.
inline ToolRun cli(const QStringList& args, const QString& workDir, const QString& startIn = {}) {
    return runTool(VARNHOLD_CLI, QStringList{"--app-folder", workDir} + args, startIn.isEmpty() ? workDir : startIn);
}

/// Starts the program in app (its application folder too) without waiting, for a test that signals or kills it.
inline bool startCli(QProcess& process, const QString& app, const QStringList& args) {
    process.setWorkingDirectory(app);
    process.start(VARNHOLD_CLI, QStringList{"--app-folder", app} + args);
    return process.waitForStarted();
}

/// The hidden files of a folder: the work files a run leaves while it writes.
inline QStringList hiddenFiles(const QString& folder) {
    return QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden | QDir::System);
}

/// Each test starts from an empty store, as on a first run in its own application folder.
class CliFixture : public ::testing::Test {
  protected:
    void SetUp() override { CRegSettings(kCompany, kApplication).DeleteSetting(kSettingsSection); }
    TempDir app; // the application folder of each run
};

} // namespace clitest
