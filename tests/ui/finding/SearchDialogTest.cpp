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
