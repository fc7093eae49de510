// The build as the user goes through it: the checks, the replace question and the settings dialog on the window
// thread, the build off it with the progress window following it, and the result dialog or the message at the
// end, then finished(). Answers come from DialogHook; a dialog nobody answered fails the test.
#include "backup/ui/BuildRunner.h"
#include "BuildUiTestUtil.h"
#include "backup/ui/fLoad.h"
#include "utility/LockTest.h"
#include "zip/ZipPackage.h"

using namespace buildui;

namespace {

// What the progress window shows, read on the window thread from the build's thread: its title, package, files,
// both percentages, the locked count and where the list of locked files goes, then the locked paths. With cancel,
// the user presses Cancel in it first.
QStringList look(const BuildRunner& runner, bool cancel = false) {
    return askOnWindowThread([&] {
        fLoad* window = runner.progressWindow();
        if (!window || !window->isVisible()) return QStringList{"<no window>"};
        if (cancel) press(*window, "btnCancel");
        QStringList view{window->windowTitle()};
        for (const char* label : {"lblPackage", "lblFiles", "lblPercent1", "lblPercent2", "lblLocked", "Label4"})
            view << child<QLabel>(*window, label)->text();
        return view + window->lockedPaths();
    });
}

// Data/ holds a.txt, b.txt and sub/c.doc (taken) and skip.tmp (left out by the row's patterns).
class BuildRunnerTest : public FlowTest {
  protected:
    QString zips = program.app() + "/Zips/";
    QString target = zips + "Backup.zip";

    void SetUp() override {
        FlowTest::SetUp();
        writeFile(data + "a.txt", sampleText(5000, 1));
        writeFile(data + "b.txt", sampleText(3000, 2));
        writeFile(data + "sub/c.doc", sampleText(2000, 3));
        writeFile(data + "skip.tmp", "scratch");
    }

    BuildParams buildParams(const BuildList& list) {
        BuildParams p = BuildParams::fromState(state, BuildMode::Build);
        p.targetFileName = "Backup.zip";
        p.comment = "*Comment*";
        p.list = list;
        for (const BuildEntry& e : list) {
            CurrentPatterns patterns;
            patterns.loadRowPatterns(e.include, e.exclude);
            const FolderCount c = e.isFolder() ? countFolder(e.path, patterns, CancelToken())
                                               : FolderCount{1, QFileInfo(e.path).size(), {}};
            p.selectedFiles += c.files;
            p.selectedBytes += c.bytes;
        }
        return p;
    }
    BuildParams folderParams() { return buildParams({{data, "*.*", "*.tmp"}}); }
    QString stored(const QString& relative) const { return (data + relative).mid(1); }
    // Starts the build and lets the window thread serve it until finished() has come, exactly once.
    static BuildResult runToEnd(BuildRunner& runner, const BuildCallbacks& seams = {}) {
        runner.setSeams(seams);
        QSignalSpy finished(&runner, &BuildRunner::finished);
        EXPECT_TRUE(runner.start() && runner.isRunning());
        EXPECT_TRUE(finished.wait(60000) && finished.size() == 1);
        EXPECT_FALSE(runner.isRunning());
        return runner.result();
    }
    BuildResult runToEnd(const BuildParams& params) {
        BuildRunner runner(state, params);
        return runToEnd(runner);
    }
};

// Whatever stops a build before it runs leaves the disk as it was, shows at most its message, and still ends in
// finished().
TEST_F(BuildRunnerTest, BuildsThatNeverRunChangeNothingAndStillFinish) {
    queue({"ok", "unused"}); // fError
    EXPECT_EQ(runToEnd(buildParams({})).outcome, BuildOutcome::Stopped);
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({"Please select files to zip"}));
    expectAnswered({"unused"});

    queue({"cancel", "unused"}); // the settings dialog
    BuildRunner runner(state, folderParams());
    const BuildResult cancelled = runToEnd(runner);
    EXPECT_EQ(std::pair(cancelled.outcome, cancelled.message), std::pair(BuildOutcome::Stopped, QString()));
    EXPECT_EQ(std::pair(runner.settingsConfirmed(), runner.comment()), std::pair(false, QString("*Comment*")));
    EXPECT_EQ(listTree(zips), QStringList()) << "no package, no stray file, no list";
    EXPECT_EQ(program.stored("Options01"), "3") << "the settings dialog stored even when cancelled";
    expectAnswered({"unused"}); // no result dialog

    writeFile(target, "old");
    queue({"n", "unused"});
    EXPECT_EQ(runToEnd(folderParams()).outcome, BuildOutcome::Declined);
    EXPECT_EQ(readFile(target), "old");
    expectAnswered({"unused"}); // no settings dialog after a no

    // A settings file that cannot be read leaves only defaults (no password, no stored level): the build is not
    // run on them, the user is told which file is at fault, and the file stays as it was.
    const QString file = state.settings.fileName();
    const QByteArray garbage = "[Settings]\nOptionse4=secret\n" + randomBytes(300, 5);
    writeFile(file, garbage);
    AppState broken(testName()); // a run that starts with the damaged file
    broken.folders = state.folders;
    DialogHook::reset();
    queue({"ok", "unused"}); // fError
    BuildRunner refused(broken, folderParams());
    EXPECT_EQ(runToEnd(refused).outcome, BuildOutcome::Stopped);
    EXPECT_EQ(DialogHook::shownMessages(),
              QStringList{"The settings file " + file +
                          " is not a valid settings file (format error); the stored settings are not used and the file "
                          "is left as it is. The build was not run."});
    EXPECT_EQ(std::pair(readFile(target), readFile(file)), std::pair(QByteArray("old"), garbage));
    expectAnswered({"unused"});
}

// Cancel in the progress window, after the walk or at the first file of it: the old package stays byte for byte,
// nothing half-built is left, and a walk cut short still leaves its list of locked files.
TEST_F(BuildRunnerTest, CancelInTheProgressWindowKeepsTheOldPackage) {
    for (const bool duringWalk : {false, true}) {
        SCOPED_TRACE(duringWalk ? "during the walk" : "after the walk");
        QFile::remove(zips + "Locked.Txt");
        writeFile(target, "the old package, kept byte for byte");
        queue({"y", "ok", "unused"}); // replace it, fZipSet
        state.cancel.cancel();        // a cancel of an earlier job: the runner clears the token before its build
        BuildRunner runner(state, folderParams());
        BuildCallbacks seams;
        bool walked = false, checked = false;
        // The build waits for the click here, so the token is set before it looks at the next entry.
        if (duringWalk) seams.selecting = [&](int) { look(runner, true); };
        seams.afterWalk = [&] {
            walked = true;
            if (!duringWalk) look(runner, true);
        };
        seams.beforeCheck = [&](const QString&) { checked = true; };
        const BuildResult r = runToEnd(runner, seams);
        EXPECT_EQ(r.outcome, BuildOutcome::Cancelled);
        EXPECT_EQ(r.entriesOrdered, duringWalk ? 1 : 3) << "the token was cleared before the build";
        EXPECT_EQ(walked, !duringWalk);
        EXPECT_FALSE(checked) << "the build stopped before a new package was finished";
        EXPECT_TRUE(state.cancel.cancelled());
        EXPECT_EQ(readFile(target), "the old package, kept byte for byte");
        EXPECT_EQ(listTree(zips), duringWalk ? QStringList({"Backup.zip", "Locked.Txt"}) : QStringList({"Backup.zip"}));
        EXPECT_EQ(DialogHook::shownMessages(), QStringList());
        expectAnswered({"unused"}); // no result dialog after a cancel
    }
}

// A runner that goes while its build runs cancels it through the shared token and waits for it: nothing of the
// build outlives it, and the old package stays.
TEST_F(BuildRunnerTest, DestroyingTheRunnerMidBuildCancelsAndWaits) {
    writeFile(target, "old");
    queue({"y", "ok", "unused"});
    auto runner = std::make_unique<BuildRunner>(state, folderParams());
    QSignalSpy finished(runner.get(), &BuildRunner::finished);
    std::atomic_bool walked{false};
    BuildCallbacks seams;
    // The build holds after its walk until the token is set (or gives up after a while, which fails the test).
    seams.afterWalk = [&] {
        walked = true;
        eventually([&] { return state.cancel.cancelled(); }, 30000);
    };
    runner->setSeams(seams);
    ASSERT_TRUE(runner->start());
    QTRY_VERIFY_WITH_TIMEOUT(walked.load(), 30000);
    runner.reset();
    EXPECT_TRUE(state.cancel.cancelled());
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(listTree(zips), QStringList({"Backup.zip"})) << "no work file is left";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(finished.size(), 0) << "the build's end went with its runner";
    expectAnswered({"unused"});
}

TEST_F(BuildRunnerTest, AFailedBuildShowsItsMessageAndNoResult) {
    state.settings.SaveSetting(kSettingsSection, "Options01", "1"); // stored, so the damage below hits an entry
    writeFile(target, "old");
    queue({"y", "ok", "ok", "unused"}); // replace, fZipSet, fError
    BuildRunner runner(state, folderParams());
    BuildCallbacks seams;
    seams.beforeCheck = [&](const QString& newPackage) { damage(newPackage, sampleText(3000, 2)); };
    const BuildResult r = runToEnd(runner, seams);
    EXPECT_EQ(r.outcome, BuildOutcome::Failed);
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({r.message}));
    EXPECT_TRUE(r.message.contains(stored("b.txt"))) << r.message.toStdString();
    EXPECT_EQ(readFile(target), "old");
    expectAnswered({"unused"});
}

TEST_F(BuildRunnerTest, ALockedFileIsListedInTheWindowAndCountedInTheResult) {
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    LockHolder holder(data + "b.txt");
    ASSERT_TRUE(holder.holding() && isFileLocked(data + "b.txt"));
    queue({"ok", "ok"});
    BuildRunner runner(state, folderParams());
    QStringList beforeCheck;
    BuildCallbacks seams;
    seams.beforeCheck = [&](const QString&) { beforeCheck = look(runner); };
    const BuildResult r = runToEnd(runner, seams);
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    // Both bars are full, one file is locked, and the window names it and the list the build writes.
    EXPECT_EQ(
        beforeCheck.mid(3),
        QStringList({"100%", "100%", "1", "List of locked files saved as " + zips + "Locked.Txt", data + "b.txt"}));
    EXPECT_EQ(r.lockedLine, "Number of locked files bypassed = 1");
    EXPECT_EQ(readFile(zips + "Locked.Txt"), (data + "b.txt\n").toUtf8());
    EXPECT_EQ(storedNames(target), QStringList({stored("a.txt"), stored("sub/c.doc")}));
    expectAnswered();
}

} // namespace
