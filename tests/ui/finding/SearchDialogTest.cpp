// The search options dialog and the window side of the search, offscreen.
#include "DialogTestUtil.h"
#include "app/RegSettings.h"
#include "app/ui/DialogHook.h"
#include "app/ui/HelpViewer.h"
#include "finding/ui/SearchRunner.h"
#include "finding/ui/fSearch.h"
#include "tools/ui/fCount.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

using namespace testsupport;

namespace {

QStringList stored(const CRegSettings& store, std::initializer_list<const char*> keys) {
    QStringList values;
    for (const char* key : keys)
        values << store.GetSetting("Settings", key, "<none>");
    return values;
}

TEST(SearchDialog, FirstUseTicksStoredAtOnceAndCancelStoresTheRest) {
    CRegSettings store("Brindlecot", "SearchDialogFirstUse");
    fSearch dialog(store, {"/", "/home/"});
    EXPECT_EQ(dialog.windowTitle(), "Varnhold");
    dialogtest::expectTexts(dialog, {{"lblTitle", "Search Options"},
                                     {"btnStart", " &Search", "Start the search"},
                                     {"btnHelp", "  &Help", "Search options help contents"},
                                     {"btnExit", " &Cancel", "Cancel"}});
    auto* name = child<QCheckBox>(dialog, "SSOption2");
    auto* pattern = child<QLineEdit>(dialog, "txtFindFP");
    auto* drives = child<QListWidget>(dialog, "List1");
    EXPECT_FALSE(child<QCheckBox>(dialog, "SSOption1")->isChecked() || name->isChecked() || pattern->isEnabled() ||
                 child<QDateEdit>(dialog, "ccrpDtp1")->isEnabled());
    EXPECT_EQ(std::make_tuple(child<QComboBox>(dialog, "Combo1")->currentText(), pattern->text(),
                              child<QComboBox>(dialog, "Combo2")->currentText(), drives->selectedItems().size()),
              std::make_tuple(QString("at lease"), QString("*.*"), QString("modified date"), 2));

    const int writes = store.writeCount();
    name->click();
    EXPECT_EQ(
        std::make_tuple(store.writeCount(), stored(store, {"SSOption2"}), dialog.focusWidget(), pattern->isEnabled()),
        std::make_tuple(writes + 1, QStringList{"-1"}, static_cast<QWidget*>(pattern), true));
    name->click();
    EXPECT_EQ(std::make_tuple(stored(store, {"SSOption2"}), pattern->text()), std::make_tuple(QStringList{"0"}, "*.*"))
        << "unticking keeps the field's value";

    child<QPushButton>(dialog, "btnHelp")->click();
    ASSERT_TRUE(currentHelpBrowser());
    EXPECT_EQ(currentHelpBrowser()->source().fragment(), "127");
    currentHelpBrowser()->window()->close();

    pattern->setText("*.log");
    drives->item(0)->setSelected(false);
    child<QDateEdit>(dialog, "ccrpDtp2")->setDate(QDate(2021, 2, 3));
    child<QPushButton>(dialog, "btnExit")->click();
    EXPECT_FALSE(dialog.searchConfirmed());
    // The start date was empty and showed today.
    EXPECT_EQ(stored(store, {"Drives", "so3", "so6", "so7", "so1"}),
              QStringList({"/home/", "*.log", QDate::currentDate().toString("MM/dd/yyyy"), "02/03/2021", "at lease"}));

    fSearch again(store, {"/", "/home/"});
    EXPECT_FALSE(child<QListWidget>(again, "List1")->item(0)->isSelected());
    child<QPushButton>(again, "btnStart")->click();
    EXPECT_TRUE(again.searchConfirmed());
}

// A runner over a store of the test's own, with its owner window and cancel token.
struct SearchRunnerUi : ::testing::Test {
    CRegSettings store{"Brindlecot", testName()};
    QWidget owner;
    CancelToken cancel;
    SearchRunner runner{store, cancel, &owner};
};

TEST_F(SearchRunnerUi, AFailingCheckShowsItsMessageAndReopensTheDialogWhoseCancelEndsWithoutSearching) {
    store.SaveSettings("Settings", {{"SSOption1", "-1"}, {"Drives", ""}});
    runner.setDrives({"/"});
    DialogHook::reset();
    for (const char* answer : {"search", "ok", "cancel"})
        DialogHook::setNextAnswer(answer);
    EXPECT_FALSE(runner.askAndRun([](const SearchResult&) { FAIL() << "searched"; }));
    QString left;
    // No answer is left: the dialog was reopened.
    EXPECT_EQ(std::make_tuple(DialogHook::shownMessages(), DialogHook::takeAnswer(left), runner.progressWindow()),
              std::make_tuple(QStringList{"Please select hard drive(s) to search."}, false, nullptr));
}

// Mended: Tab jumped between the criteria columns, and a long drive name was cut off.
TEST(SearchDialog, TabFollowsTheCriteriaRowByRowAndLongDrivesFit) {
    CRegSettings store("Brindlecot", "SearchDialogTabs");
    fSearch dialog(store, {"/", "/media/ann/USB-Backup"});
    const QStringList rows = QString("SSOption1 Combo1 txtFindSize SSOption2 txtFindFP SSOption3 txtFindText Check1 "
                                     "SSOption4 Combo2 ccrpDtp1 ccrpDtp2 List1 btnStart btnHelp btnExit")
                                 .split(' ');
    EXPECT_EQ(tabOrder(dialog, rows), rows);
    dialog.show();
    auto* drives = child<QListWidget>(dialog, "List1");
    EXPECT_LE(drives->visualItemRect(drives->item(1)).right(), drives->viewport()->width()) << "not cut off";
}

} // namespace
