// The search options dialog and the window side of the search, offscreen.
#include "DialogTestUtil.h"
#include "TestSupport.h"
#include "app/RegSettings.h"
#include "app/ui/DialogHook.h"
#include "app/ui/HelpViewer.h"
#include "finding/ui/SearchRunner.h"
#include "finding/ui/fSearch.h"
#include "tools/ui/fCount.h"
#include "utility/CancelToken.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QString stored(const CRegSettings& store, const char* key) {
    return store.GetSetting("Settings", key, "<none>");
}

TEST(SearchDialog, FirstUseTicksStoredAtOnceAndCancelStoresTheRest) {
    CRegSettings store("Brindlecot", "SearchDialogFirstUse");
    fSearch dialog(store, {"/", "/home/"});
    EXPECT_EQ(dialog.windowTitle(), "Varnhold");
    dialogtest::expectTexts(dialog, {{"lblTitle", "Search Options"},
                                     {"btnStart", " &Search", "Start the search"},
                                     {"btnHelp", "  &Help", "Search options help contents"},
                                     {"btnExit", " &Cancel", "Cancel"}});
    auto* size = dialog.findChild<QCheckBox*>("SSOption1");
    auto* name = dialog.findChild<QCheckBox*>("SSOption2");
    auto* pattern = dialog.findChild<QLineEdit*>("txtFindFP");
    auto* drives = dialog.findChild<QListWidget*>("List1");
    EXPECT_FALSE(size->isChecked() || name->isChecked() || pattern->isEnabled() ||
                 dialog.findChild<QDateEdit*>("ccrpDtp1")->isEnabled());
    EXPECT_EQ(QStringList({dialog.findChild<QComboBox*>("Combo1")->currentText(), pattern->text(),
                           dialog.findChild<QComboBox*>("Combo2")->currentText()}),
              QStringList({"at lease", "*.*", "modified date"}));
    EXPECT_EQ(drives->selectedItems().size(), 2);

    const int writes = store.writeCount();
    name->click();
    EXPECT_EQ(std::make_tuple(store.writeCount(), stored(store, "SSOption2"), dialog.focusWidget()),
              std::make_tuple(writes + 1, QString("-1"), static_cast<QWidget*>(pattern)));
    EXPECT_TRUE(pattern->isEnabled());
    name->click();
    EXPECT_EQ(QStringList({stored(store, "SSOption2"), pattern->text()}), QStringList({"0", "*.*"}))
        << "unticking keeps the field's value";

    dialog.findChild<QPushButton*>("btnHelp")->click();
    ASSERT_TRUE(currentHelpBrowser());
    EXPECT_EQ(currentHelpBrowser()->source().fragment(), "127");
    currentHelpBrowser()->window()->close();

    pattern->setText("*.log");
    drives->item(0)->setSelected(false);
    dialog.findChild<QDateEdit*>("ccrpDtp2")->setDate(QDate(2021, 2, 3));
    dialog.findChild<QPushButton*>("btnExit")->click();
    EXPECT_FALSE(dialog.searchConfirmed());
    // The start date was empty and showed today.
    EXPECT_EQ(QStringList({stored(store, "Drives"), stored(store, "so3"), stored(store, "so6"), stored(store, "so7"),
                           stored(store, "so1")}),
              QStringList({"/home/", "*.log", QDate::currentDate().toString("MM/dd/yyyy"), "02/03/2021", "at lease"}));

    fSearch again(store, {"/", "/home/"});
    EXPECT_FALSE(again.findChild<QListWidget*>("List1")->item(0)->isSelected());
    again.findChild<QPushButton*>("btnStart")->click();
    EXPECT_TRUE(again.searchConfirmed());
}

TEST(SearchRunnerUi, RunsTheSearchWithProgressAndHandsTheRowsOver) {
    TempDir dir;
    writeFile(dir.file("a/hit.txt"), "the Needle here");
    writeFile(dir.file("b/miss.txt"), "nothing");
    CRegSettings store("Brindlecot", "SearchRunnerRows");
    store.SaveSettings("Settings", {{"SSOption3", "-1"}, {"so4", "needle"}, {"Drives", dir.path() + "/"}});
    QWidget owner;
    CancelToken cancel;
    cancel.cancel(); // left over from an earlier job: the runner starts with it cleared
    SearchRunner runner(store, cancel, &owner);
    runner.setDrives({dir.path() + "/"});
    std::optional<SearchResult> result;
    DialogHook::setNextAnswer("search");
    ASSERT_TRUE(runner.askAndRun([&](const SearchResult& r) { result = r; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 10000));
    ASSERT_EQ(result->rows.size(), 1u);
    EXPECT_EQ(std::make_tuple(result->rows[0].path, result->cancelled), std::make_tuple(dir.file("a/hit.txt"), false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !runner.progressWindow(); })) << "fCount goes at the end";
}

TEST(SearchRunnerUi, AFailingCheckShowsItsMessageAndReopensTheDialogWhoseCancelEndsWithoutSearching) {
    CRegSettings store("Brindlecot", "SearchRunnerCheck");
    store.SaveSettings("Settings", {{"SSOption1", "-1"}, {"Drives", ""}});
    QWidget owner;
    CancelToken cancel;
    SearchRunner runner(store, cancel, &owner);
    runner.setDrives({"/"});
    DialogHook::reset();
    for (const char* answer : {"search", "ok", "cancel"})
        DialogHook::setNextAnswer(answer);
    EXPECT_FALSE(runner.askAndRun([](const SearchResult&) { FAIL() << "searched"; }));
    EXPECT_EQ(DialogHook::shownMessages(), QStringList{"Please select hard drive(s) to search."});
    QString left;
    EXPECT_FALSE(DialogHook::takeAnswer(left)) << "the dialog was reopened";
    EXPECT_FALSE(runner.progressWindow());
}

// Mended: Tab jumped between the criteria columns, and a long drive name was cut off.
TEST(SearchDialog, TabFollowsTheCriteriaRowByRowAndLongDrivesFit) {
    CRegSettings store("Brindlecot", "SearchDialogTabs");
    fSearch dialog(store, {"/", "/media/ann/USB-Backup"});
    const QStringList rows = {"SSOption1",   "Combo1",   "txtFindSize", "SSOption2", "txtFindFP", "SSOption3",
                              "txtFindText", "Check1",   "SSOption4",   "Combo2",    "ccrpDtp1",  "ccrpDtp2",
                              "List1",       "btnStart", "btnHelp",     "btnExit"};
    EXPECT_EQ(tabOrder(dialog, rows), rows);
    dialog.show();
    auto* drives = dialog.findChild<QListWidget*>("List1");
    EXPECT_LE(drives->visualItemRect(drives->item(1)).right(), drives->viewport()->width()) << "not cut off";
}

} // namespace
