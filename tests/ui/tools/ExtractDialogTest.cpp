// The extract dialog offscreen: what it shows and loads, its runs beside the window thread, and every way to cancel.
#include "DialogTestUtil.h"
#include "app/AppState.h"
#include "app/StartUp.h"
#include "app/ui/DialogHook.h"
#include "app/ui/HelpViewer.h"
#include "tools/ui/fExtract.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <future>

using namespace testsupport;

namespace {

class ExtractDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DialogHook::reset();
        runStartUp(state, dir.path());
    }
    void TearDown() override { DialogHook::reset(); }

    /// Zips two small texts, or twelve entries of 400 KiB each (long enough to extract that a cancel lands in the
    /// middle), into Zips/p.zip and opens it.
    void makePackage(bool big = false) {
        for (int i = 0; big && i < 12; ++i)
            writeFile(dir.file(QString("src/f%1.bin").arg(i, 2, 10, QChar('0'))), randomBytes(400 * 1024, i));
        if (!big) {
            writeFile(dir.file("src/one.txt"), sampleText(5000, 1));
            writeFile(dir.file("src/sub/two.txt"), sampleText(7000, 2));
        }
        const QString zip = dir.file("Zips/p.zip");
        ASSERT_EQ(runTool("zip", {"-q", "-r", zip, "."}, dir.file("src")).exitCode, 0);
        ASSERT_EQ(package.zOpenZipFile(zip), kZipOk) << package.zGetLastErrorAsText().toStdString();
    }
    /// Only whole entries of the big package were left in Extract/, fewer than all.
    void expectOnlyWholeFiles() {
        const QStringList left = listTree(dir.file("Extract"));
        EXPECT_LT(left.size(), 12);
        for (const QString& name : left)
            EXPECT_TRUE(name.startsWith("f") && name.endsWith(".bin") &&
                        readFile(dir.file("Extract/" + name)) == randomBytes(400 * 1024, name.mid(1, 2).toInt()))
                << "stray or partial file " << name.toStdString();
    }
    qint64 indexOf(const QString& stored) const {
        const auto& all = package.entries();
        return std::ranges::find_if(all, [&](const auto& e) { return e.storedName() == stored; }) - all.begin();
    }
    /// The value in the store itself, not the shared copy.
    QString stored(const QString& key) const { return state.settings.GetSetting(kSettingsSection, key, "<none>"); }
    /// The stored answer: what was extracted, where to, and the error or "cancel".
    QStringList answer() const { return {stored("Optionsea"), stored("Optionseb"), stored("Optionsec")}; }
    /// The boxes SSCheck1 to SSCheck6, "1" for a tick.
    static QString ticks(const fExtract& dialog) {
        QString out;
        for (int i = 1; i <= 6; ++i)
            out += child<QCheckBox>(dialog, QString("SSCheck%1").arg(i))->isChecked() ? '1' : '0';
        return out;
    }
    /// Waits for the extraction to end; the dialog has gone with this result.
    static void expectEnded(const fExtract& dialog, int result) {
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isExtracting(), 60000);
        EXPECT_EQ(std::make_tuple(dialog.isVisible(), dialog.result()), std::make_tuple(false, result));
    }

    TempDir dir;
    AppState state{freshStore()};
    ZipPackage package;
};

TEST_F(ExtractDialogTest, ExtractOneRunsOffTheWindowThreadAndStoresTheOptionsAndTheAnswer) {
    makePackage();
    requestExtractOne(state, "two.txt", indexOf("sub/two.txt"));
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
    EXPECT_EQ(std::make_tuple(state.settings.writeCount() - writes, dialog.isExtracting()), std::make_tuple(1, true))
        << "one entry is extracted off the window thread too";
    expectEnded(dialog, QDialog::Accepted);
    EXPECT_TRUE(offThread && state.settings.writeCount() - writes == 2);

    EXPECT_EQ(std::make_tuple(readFile(selected + "two.txt"), listTree(dir.file("sel")), listTree(dir.file("Extract"))),
              std::make_tuple(sampleText(7000, 2), QStringList{"two.txt"}, QStringList()))
        << "the unticked folder gets nothing";
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
    expectEnded(ghost, QDialog::Rejected);
    EXPECT_EQ(stored("Optionseb"), "") << "no folder after a failure";
    EXPECT_TRUE(stored("Optionsec") != "" && stored("Optionsec") != "cancel");
}

// With a settings file that could not be read the dialog holds only defaults (no stored password, no stored
// folders): Extract says so and extracts nothing.
TEST_F(ExtractDialogTest, ASettingsFileThatCannotBeReadRefusesTheExtraction) {
    makePackage();
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
    EXPECT_EQ(std::make_tuple(listTree(dir.file("Extract")), readFile(file)), std::make_tuple(QStringList(), before));
}

// Every way of cancelling answers "cancel" in all three keys; then Extract all runs beside the window and answers.
TEST_F(ExtractDialogTest, CancelAnswersCancelInAllThreeKeysAndExtractAllRunsBesideTheWindow) {
    makePackage();
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
        expectEnded(dialog, QDialog::Rejected);
        EXPECT_EQ(
            std::make_tuple(state.cancel.cancelled(), answer(), stored("Optionse7"), listTree(dir.file("Extract"))),
            std::make_tuple(true, QStringList(3, "cancel"), QString("-1"), QStringList()))
            << "Cancel keeps the stored options";
    }

    state.cancel.clear();
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

    expectEnded(dialog, QDialog::Accepted);
    EXPECT_EQ(child<QProgressBar>(dialog, "ProgressBar1")->value(), 100);
    EXPECT_EQ(listTree(dir.file("Extract")), QStringList({"one.txt", "sub/two.txt"}));
    EXPECT_EQ(answer(), QStringList({"All files", dir.path() + "/Extract/", ""}));
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
            makePackage(true);
            requestExtractAll(state);
        }
        state.cancel.cancel(); // a cancel of an earlier job: the dialog clears the token before its own
        fExtract dialog(state, package);
        std::promise<void> cancelPressed;
        std::atomic_bool first{true};
        dialog.setProgressObserver([&, pressed = cancelPressed.get_future().share()](const ZipProgress&) {
            if (first.exchange(false)) pressed.wait();
        });
        bool clicked = false;
        QObject::connect(&dialog, &fExtract::progressChanged, &dialog, [&](int percent) {
            if (std::exchange(clicked, true)) return;
            // The window thread is free while the job runs: the bar moves and Cancel answers.
            EXPECT_TRUE(percent < 100 && child<QProgressBar>(dialog, "ProgressBar1")->isVisible()) << percent;
            child<QPushButton>(dialog, "btnExit")->click();
            EXPECT_TRUE(dialog.isExtracting()) << "Cancel waits for the extraction to answer";
            cancelPressed.set_value();
        });
        dialog.show();
        dialog.extractNow();
        expectEnded(dialog, QDialog::Rejected);
        EXPECT_EQ(std::make_tuple(clicked, answer()), std::make_tuple(true, QStringList({"cancel", "", "cancel"})));
        expectOnlyWholeFiles(); // for the one entry: nothing, no partly written file
    }
}

// A dialog that goes while its extraction runs cancels it and waits for it: nothing of the job outlives it.
TEST_F(ExtractDialogTest, DestroyingTheDialogMidExtractionCancelsAndWaits) {
    makePackage(true);
    requestExtractAll(state);
    auto dialog = std::make_unique<fExtract>(state, package);
    std::atomic_bool reported{false};
    // The extraction holds at its first report until the token is set (or gives up, which fails the test).
    dialog->setProgressObserver([&](const ZipProgress&) {
        if (!reported.exchange(true)) eventually([&] { return state.cancel.cancelled(); }, 30000);
    });
    dialog->extractNow();
    QTRY_VERIFY_WITH_TIMEOUT(reported.load(), 30000);
    dialog.reset();
    EXPECT_TRUE(state.cancel.cancelled());
    expectOnlyWholeFiles();
    EXPECT_EQ(stored("Optionsec"), "") << "a dialog torn down stores no answer";
}

TEST_F(ExtractDialogTest, BrowsedFolderGetsATrailingSlashAndHelpOpensTheExtractTopic) {
    fExtract dialog(state, package);
    dialog.usePickedFolder(fExtract::FolderBox::Selected, "/srv/picked");
    dialog.usePickedFolder(fExtract::FolderBox::Default, "/srv/other/");
    EXPECT_EQ(QStringList({child<QLineEdit>(dialog, "Text1")->text(), stored("Optionse9"),
                           child<QLineEdit>(dialog, "Text0")->text(), stored("Options07")}),
              QStringList({"/srv/picked/", "/srv/picked/", "/srv/other/", "/srv/other/"}))
        << "a slash is added where missing, never a second one";

    dialog.show();
    child<QPushButton>(dialog, "btnHelp")->click();
    QTextBrowser* browser = currentHelpBrowser();
    ASSERT_TRUE(browser);
    // The help belongs to the dialog that asked, and does not close it.
    EXPECT_EQ(std::make_tuple(browser->source().fragment(), browser->window()->parentWidget(), dialog.isVisible()),
              std::make_tuple(QString("120"), static_cast<QWidget*>(&dialog), true));
}

} // namespace
