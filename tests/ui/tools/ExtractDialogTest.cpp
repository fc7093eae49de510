#include "app/ui/DialogHook.h"
#include "tools/ui/fExtract.h"

#include "app/AppState.h"
#include "app/StartUp.h"
#include "app/ui/HelpViewer.h"

#include "DialogTestUtil.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <future>
#include <gtest/gtest.h>

using dialogtest::child;
using namespace testsupport;

namespace {

class ExtractDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DialogHook::reset();
        runStartUp(state, dir.path());
    }
    void TearDown() override { DialogHook::reset(); }

    /// Zips the files under src/ into Zips/p.zip and opens it.
    void openPackage() {
        const QString zip = dir.file("Zips/p.zip");
        ToolRun run = runTool("zip", {"-q", "-r", zip, "."}, dir.file("src"));
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        ASSERT_EQ(package.zOpenZipFile(zip), kZipOk) << package.zGetLastErrorAsText().toStdString();
    }
    void makeSmallPackage() {
        writeFile(dir.file("src/one.txt"), sampleText(5000, 1));
        writeFile(dir.file("src/sub/two.txt"), sampleText(7000, 2));
        openPackage();
    }
    /// Twelve entries of 400 KiB each, long enough to extract that a cancel lands in the middle.
    void makeBigPackage() {
        for (int i = 0; i < 12; ++i)
            writeFile(dir.file(QString("src/f%1.bin").arg(i, 2, 10, QChar('0'))), randomBytes(400 * 1024, i));
        openPackage();
    }
    /// Only whole entries of the big package were left in Extract/, fewer than all.
    void expectOnlyWholeFiles() {
        const QStringList left = listTree(dir.file("Extract"));
        EXPECT_LT(left.size(), 12);
        for (const QString& name : left) {
            ASSERT_TRUE(name.startsWith("f") && name.endsWith(".bin")) << "stray file " << name.toStdString();
            EXPECT_EQ(readFile(dir.file("Extract/" + name)), randomBytes(400 * 1024, name.mid(1, 2).toInt()))
                << name.toStdString();
        }
    }
    qint64 indexOf(const QString& stored) const {
        for (std::size_t i = 0; i < package.entries().size(); ++i)
            if (package.entries()[i].storedName() == stored) return qint64(i);
        return -1;
    }
    /// The value in the store itself, not the shared copy.
    QString stored(const QString& key) const { return state.settings.GetSetting(kSettingsSection, key, "<none>"); }
    /// The stored answer: what was extracted, where to, and the error or "cancel".
    QStringList answer() const { return {stored("Optionsea"), stored("Optionseb"), stored("Optionsec")}; }
    /// The dialog has gone with this result.
    static void expectClosed(const fExtract& dialog, int result) {
        EXPECT_EQ(std::make_tuple(dialog.isVisible(), dialog.result()), std::make_tuple(false, result));
    }
    static void waitForEnd(const fExtract& dialog) { QTRY_VERIFY_WITH_TIMEOUT(!dialog.isExtracting(), 60000); }

    TempDir dir;
    AppState state{freshStore()};
    ZipPackage package;
};

TEST_F(ExtractDialogTest, ShowsTheRequestAsStoredAndTheProgressOnlyWhileItRuns) {
    requestExtractOne(state, "invoice\u202etxt.exe", 1);
    fExtract spoof(state, package);
    EXPECT_EQ(child<QLabel>(spoof, "Label6")->text(), "invoice\\u202etxt.exe") << "the name reads as it is stored";
    EXPECT_TRUE(child<QLabel>(spoof, "Label5")->isHidden()) << "only shown while an extraction runs";
    // What is typed first goes into the folder the entries go to, never into the password shared with the builds.
    EXPECT_EQ(spoof.focusWidget(), child<QLineEdit>(spoof, "Text0"));
    const QStringList screenOrder{"Text0",      "SSCheck4",   "btnBrowse2", "Text1",    "SSCheck5",
                                  "btnBrowse1", "Text2",      "SSCheck6",   "SSCheck1", "SSCheck2",
                                  "SSCheck3",   "btnExtract", "btnHelp",    "btnExit"};
    EXPECT_EQ(tabOrder(spoof, screenOrder), screenOrder);

    requestExtractAll(state);
    fExtract all(state, package);
    EXPECT_EQ(QStringList({child<QLabel>(all, "Label3")->text(), child<QLabel>(all, "Label6")->text()}),
              QStringList({"Extract all files.", ""}));
}

TEST_F(ExtractDialogTest, ExactlyOneUseTickAfterAnyClick) {
    fExtract dialog(state, package);
    auto* useDefault = child<QCheckBox>(dialog, "SSCheck4");
    auto* useSelected = child<QCheckBox>(dialog, "SSCheck5");
    ASSERT_TRUE(useDefault->isChecked() && !useSelected->isChecked());
    for (QCheckBox* box : {useSelected, useSelected, useDefault, useDefault, useSelected, useDefault}) {
        const bool before = box->isChecked();
        box->click();
        EXPECT_NE(box->isChecked(), before) << "a click changes the box clicked";
        EXPECT_NE(useDefault->isChecked(), useSelected->isChecked())
            << "after clicking " << box->objectName().toStdString();
        EXPECT_EQ(dialog.settingsFromControls().useDefault, useDefault->isChecked());
    }
}

TEST_F(ExtractDialogTest, LoadsTheStoredValuesAndHideActsAtOnce) {
    ExtractSettings s = ExtractSettings::fromState(state);
    s.password.text = "secret";
    s.password.hidden = s.overwrite = s.useFolderNames = false;
    s.skipOlder = true;
    s.defaultFolder = "/srv/default/";
    s.selectedFolder = "/srv/selected/";
    s.setUseSelected(true);
    s.store(state);
    // Only the store carries the values: a fresh state (a later run of the program) must see them.
    AppState later(state.settings.AppName());
    runStartUp(later, dir.path());

    fExtract dialog(later, package);
    auto* password = child<QLineEdit>(dialog, "Text2");
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal) << "Hide unticked shows the password in plain text";
    EXPECT_EQ(QStringList({password->text(), child<QLineEdit>(dialog, "Text0")->text(),
                           child<QLineEdit>(dialog, "Text1")->text()}),
              QStringList({"secret", "/srv/default/", "/srv/selected/"}));
    for (const auto& [box, ticked] :
         {std::pair{"SSCheck1", false}, std::pair{"SSCheck2", true}, std::pair{"SSCheck3", false},
          std::pair{"SSCheck4", false}, std::pair{"SSCheck5", true}, std::pair{"SSCheck6", false}})
        EXPECT_EQ(child<QCheckBox>(dialog, box)->isChecked(), ticked) << box;
    child<QCheckBox>(dialog, "SSCheck6")->click();
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
}

TEST_F(ExtractDialogTest, ExtractOneRunsOffTheWindowThreadAndStoresTheOptionsAndTheAnswer) {
    makeSmallPackage();
    const qint64 index = indexOf("sub/two.txt");
    ASSERT_GE(index, 0);
    requestExtractOne(state, "two.txt", index);
    fExtract dialog(state, package);
    const QString selected = dir.file("sel") + "/";
    child<QLineEdit>(dialog, "Text1")->setText(selected);
    child<QCheckBox>(dialog, "SSCheck5")->click();
    child<QCheckBox>(dialog, "SSCheck3")->click(); // no folder names
    child<QLineEdit>(dialog, "Text2")->setText("pw");
    bool offThread = true;
    dialog.setProgressObserver([&](const ZipProgress&) { offThread &= QThread::currentThread() != qApp->thread(); });

    dialog.show();
    // Each write rewrites the whole settings file: the options and the request at the start, the answer at the end.
    const int writes = state.settings.writeCount();
    child<QPushButton>(dialog, "btnExtract")->click();
    EXPECT_EQ(state.settings.writeCount() - writes, 1);
    EXPECT_TRUE(dialog.isExtracting()) << "one entry is extracted off the window thread too";
    waitForEnd(dialog);
    EXPECT_TRUE(offThread && state.settings.writeCount() - writes == 2);
    expectClosed(dialog, QDialog::Accepted);

    EXPECT_EQ(readFile(selected + "two.txt"), sampleText(7000, 2));
    EXPECT_EQ(listTree(dir.file("sel")), QStringList{"two.txt"});
    EXPECT_TRUE(listTree(dir.file("Extract")).isEmpty()) << "the unticked folder gets nothing";
    const std::pair<const char*, QString> keys[] = {
        {"Optionse1", "0"},       {"Optionse2", "-1"},     {"Optionse4", "pw"},
        {"Optionse7", "0"},       {"Optionse9", selected}, {"Optionse8", "-2"},
        {"Optionsea", "two.txt"}, {"Optionseb", selected}, {"Optionsec", ""}};
    for (const auto& [key, value] : keys)
        EXPECT_EQ(stored(key), value) << key;

    // An entry that is not there answers the library's text and no folder.
    requestExtractOne(state, "ghost.txt", 99);
    fExtract ghost(state, package);
    ghost.extractNow();
    waitForEnd(ghost);
    expectClosed(ghost, QDialog::Rejected);
    EXPECT_EQ(stored("Optionseb"), "") << "no folder after a failure";
    EXPECT_TRUE(stored("Optionsec") != "" && stored("Optionsec") != "cancel");
}

// With a settings file that could not be read the dialog holds only defaults (no stored password, no stored
// folders): Extract says so and extracts nothing.
TEST_F(ExtractDialogTest, ASettingsFileThatCannotBeReadRefusesTheExtraction) {
    makeSmallPackage();
    const QString file = state.settings.fileName();
    writeFile(file, "[Settings]\nOptionse4=secret\n" + randomBytes(300, 9));
    const QByteArray before = readFile(file);
    AppState broken(state.settings.AppName()); // a run that starts with the damaged file
    runStartUp(broken, dir.path());
    requestExtractAll(broken);
    fExtract dialog(broken, package);
    DialogHook::setNextAnswer("ok"); // fError
    dialog.extractNow();
    EXPECT_FALSE(dialog.isExtracting());
    EXPECT_EQ(DialogHook::shownMessages(),
              QStringList{"The settings file " + file +
                          " is not a valid settings file (format error); the stored settings are not used and the file "
                          "is left as it is. Nothing was extracted."});
    EXPECT_TRUE(listTree(dir.file("Extract")).isEmpty());
    EXPECT_EQ(readFile(file), before);
}

TEST_F(ExtractDialogTest, ExtractAllRunsBesideTheWindowAndAnswers) {
    makeSmallPackage();
    requestExtractAll(state);
    fExtract dialog(state, package);
    dialog.show();
    child<QPushButton>(dialog, "btnExtract")->click();
    // The end comes back through the event loop, so the window state during the run is certain here.
    ASSERT_TRUE(dialog.isExtracting());
    EXPECT_TRUE(!child<QPushButton>(dialog, "btnExtract")->isEnabled() &&
                child<QLabel>(dialog, "Label5")->isVisible() &&
                child<QProgressBar>(dialog, "ProgressBar1")->isVisible());
    EXPECT_EQ(stored("Optionseb"), dir.path() + "/Extract/") << "the target is stored before the run";

    waitForEnd(dialog);
    expectClosed(dialog, QDialog::Accepted);
    EXPECT_EQ(child<QProgressBar>(dialog, "ProgressBar1")->value(), 100);
    EXPECT_EQ(listTree(dir.file("Extract")), QStringList({"one.txt", "sub/two.txt"}));
    EXPECT_EQ(answer(), QStringList({"All files", dir.path() + "/Extract/", ""}));
}

TEST_F(ExtractDialogTest, CancelAnswersCancelInAllThreeKeys) {
    makeSmallPackage();
    const auto cancelWays = {+[](fExtract& d) { child<QPushButton>(d, "btnExit")->click(); },
                             +[](fExtract& d) { d.close(); }, // the title bar's close counts as Cancel
                             +[](fExtract& d) { d.cancelNow(); }};
    for (const auto& cancelIt : cancelWays) {
        requestExtractOne(state, "one.txt", indexOf("one.txt"));
        state.cancel.clear();
        fExtract dialog(state, package);
        child<QCheckBox>(dialog, "SSCheck3")->click(); // a change that Cancel must not store
        dialog.show();
        cancelIt(dialog);
        expectClosed(dialog, QDialog::Rejected);
        EXPECT_TRUE(state.cancel.cancelled());
        EXPECT_EQ(answer(), QStringList(3, "cancel"));
        EXPECT_EQ(stored("Optionse7"), "-1") << "Cancel keeps the stored options";
        EXPECT_TRUE(listTree(dir.file("Extract")).isEmpty());
    }
}

// Cancel pressed while one entry or all entries are extracted: the extraction is held at its first report until
// the window thread has pressed Cancel, so the cancel lands in the middle of the run however fast the disk is.
TEST_F(ExtractDialogTest, CancelDuringAnExtractionLeavesNoPartialFiles) {
    for (const bool one : {true, false}) {
        SCOPED_TRACE(one ? "one entry" : "all entries");
        if (one) {
            // One large entry that deflates to little.
            makeZip(dir.file("Zips/big.zip"), "[('big.bin', (2020, 1, 1, 0, 0, 0), 64 << 20)]");
            ASSERT_EQ(package.zOpenZipFile(dir.file("Zips/big.zip")), kZipOk);
            requestExtractOne(state, "big.bin", 0);
        } else {
            makeBigPackage();
            requestExtractAll(state);
        }
        state.cancel.cancel(); // a cancel of an earlier job: the dialog clears the token before its own
        fExtract dialog(state, package);
        std::promise<void> cancelPressed;
        std::shared_future<void> pressed = cancelPressed.get_future().share();
        std::atomic_bool first{true};
        dialog.setProgressObserver([&](const ZipProgress&) {
            if (first.exchange(false)) pressed.wait();
        });
        bool clicked = false;
        QObject::connect(&dialog, &fExtract::progressChanged, &dialog, [&](int percent) {
            if (std::exchange(clicked, true)) return;
            // The window thread is free while the job runs: the bar moves and Cancel answers.
            EXPECT_LT(percent, 100);
            EXPECT_TRUE(child<QProgressBar>(dialog, "ProgressBar1")->isVisible());
            child<QPushButton>(dialog, "btnExit")->click();
            EXPECT_TRUE(dialog.isExtracting()) << "Cancel waits for the extraction to answer";
            cancelPressed.set_value();
        });
        dialog.show();
        dialog.extractNow();
        waitForEnd(dialog);

        EXPECT_TRUE(clicked);
        expectClosed(dialog, QDialog::Rejected);
        EXPECT_EQ(answer(), QStringList({"cancel", "", "cancel"}));
        if (one)
            EXPECT_EQ(listTree(dir.file("Extract")), QStringList()) << "no partly written file is left";
        else
            expectOnlyWholeFiles();
    }
}

// A dialog that goes while its extraction runs cancels it and waits for it: nothing of the job outlives it.
TEST_F(ExtractDialogTest, DestroyingTheDialogMidExtractionCancelsAndWaits) {
    makeBigPackage();
    requestExtractAll(state);
    auto dialog = std::make_unique<fExtract>(state, package);
    std::atomic_bool reported{false};
    // The extraction holds at its first report until the token is set (or gives up, which fails the test).
    dialog->setProgressObserver([&](const ZipProgress&) {
        if (reported.exchange(true)) return;
        QElapsedTimer waited;
        waited.start();
        while (!state.cancel.cancelled() && waited.elapsed() < 30000)
            QThread::yieldCurrentThread();
    });
    dialog->extractNow();
    QTRY_VERIFY_WITH_TIMEOUT(reported.load(), 30000);
    dialog.reset();
    EXPECT_TRUE(state.cancel.cancelled());
    expectOnlyWholeFiles();
    EXPECT_EQ(stored("Optionsec"), "") << "a dialog torn down stores no answer";
}

TEST_F(ExtractDialogTest, BrowsedFolderIsStoredWithATrailingSlash) {
    fExtract dialog(state, package);
    dialog.usePickedFolder(fExtract::FolderBox::Selected, "/srv/picked");
    dialog.usePickedFolder(fExtract::FolderBox::Default, "/srv/other/");
    EXPECT_EQ(QStringList({child<QLineEdit>(dialog, "Text1")->text(), stored("Optionse9"),
                           child<QLineEdit>(dialog, "Text0")->text(), stored("Options07")}),
              QStringList({"/srv/picked/", "/srv/picked/", "/srv/other/", "/srv/other/"}))
        << "a slash is added where missing, never a second one";
}

TEST_F(ExtractDialogTest, HelpOpensTheExtractTopic) {
    fExtract dialog(state, package);
    dialog.show();
    child<QPushButton>(dialog, "btnHelp")->click();
    QTextBrowser* browser = currentHelpBrowser();
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->source().fragment(), "120");
    EXPECT_EQ(browser->window()->parentWidget(), &dialog) << "the help belongs to the dialog that asked";
    EXPECT_TRUE(dialog.isVisible()) << "help does not close the dialog";
}

} // namespace
