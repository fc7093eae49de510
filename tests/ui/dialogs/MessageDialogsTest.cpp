#include "tools/ui/DialogHook.h"
#include "tools/ui/MessageDialogs.h"
#include "tools/ui/fCount.h"
#include "tools/ui/fDelete.h"
#include "tools/ui/fError.h"
#include "tools/ui/fReplace.h"

#include "DialogTestUtil.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using dialogtest::child;

namespace {

class MessageDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { DialogHook::reset(); }
    void TearDown() override { DialogHook::reset(); }
};

// --- fError ---

TEST_F(MessageDialogsTest, ErrorShowsTheMessageWithAnExitButton) {
    fError dialog("Cannot open /tmp/x.zip: the file does not exist.");
    EXPECT_EQ(dialog.objectName(), "fError");
    EXPECT_EQ(dialog.windowTitle(), "Varnhold");
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), "Cannot open /tmp/x.zip: the file does not exist.");
    auto* exit = child<QPushButton>(dialog, "cmdExit");
    EXPECT_EQ(exit->text(), " &Exit");
    EXPECT_EQ(exit->toolTip(), "Exit");

    dialog.show();
    exit->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(MessageDialogsTest, ErrorRecordsEveryMessageAndTakesOneQueuedAnswer) {
    DialogHook::setNextAnswer("ok");
    DialogHook::setNextAnswer("ok");
    MessageDialogs::showError(nullptr, "No zip package is opened");
    MessageDialogs::showError(nullptr, "Please select zip package to split");
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({"No zip package is opened", "Please select zip package to split"}));
    QString left;
    EXPECT_FALSE(DialogHook::takeAnswer(left)) << "each dialog takes exactly one answer";

    DialogHook::reset();
    EXPECT_TRUE(DialogHook::shownMessages().isEmpty());
}

TEST_F(MessageDialogsTest, QueuedAnswersAreTakenInOrderByWhicheverDialogComesNext) {
    DialogHook::setNextAnswer("y");
    DialogHook::setNextAnswer("n");
    QString suppressed = "0";
    EXPECT_EQ(MessageDialogs::askReplace(nullptr, "/data/Zips/Test.Zip"), "y");
    EXPECT_EQ(MessageDialogs::askDelete(nullptr, suppressed), "n");
}

// --- fReplace ---

TEST_F(MessageDialogsTest, ReplaceShowsThePathAndItsWording) {
    fReplace dialog("/data/Zips/Test.Zip", "1,234 Bytes", "Monday 1 July 2024 10:00:00");
    EXPECT_EQ(dialog.objectName(), "fReplace");
    EXPECT_EQ(dialog.windowTitle(), "Varnhold");
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), "File already exists:");
    EXPECT_EQ(child<QLabel>(dialog, "lblFile")->text(), "/data/Zips/Test.Zip");
    EXPECT_EQ(child<QLabel>(dialog, "lblSize")->text(), "1,234 Bytes");
    EXPECT_EQ(child<QLabel>(dialog, "lblDate")->text(), "Monday 1 July 2024 10:00:00");
    EXPECT_EQ(child<QLabel>(dialog, "Label2")->text(), "Do you would to replace the file?");
    auto* yes = child<QPushButton>(dialog, "cmdYes");
    auto* no = child<QPushButton>(dialog, "cmdNo");
    EXPECT_EQ(yes->text(), " &Yes");
    EXPECT_EQ(yes->toolTip(), "Replace the zip package");
    EXPECT_EQ(no->text(), " &No");
    EXPECT_EQ(no->toolTip(), "Don't replace the zip package");
    EXPECT_TRUE(no->isDefault()) << "Enter must not replace a file";

    fReplace bare("/data/Sets/Home.set");
    EXPECT_TRUE(child<QLabel>(bare, "lblSize")->isHidden());
    EXPECT_TRUE(child<QLabel>(bare, "lblDate")->isHidden());
}

TEST_F(MessageDialogsTest, ReplaceAnswersYesOnlyForTheYesButton) {
    {
        fReplace dialog("/p.zip");
        EXPECT_EQ(dialog.answer(), "n") << "the answer is no until the user says otherwise";
        dialog.show();
        child<QPushButton>(dialog, "cmdYes")->click();
        EXPECT_EQ(dialog.answer(), "y");
        EXPECT_FALSE(dialog.isVisible());
    }
    {
        fReplace dialog("/p.zip");
        dialog.show();
        child<QPushButton>(dialog, "cmdNo")->click();
        EXPECT_EQ(dialog.answer(), "n");
        EXPECT_FALSE(dialog.isVisible());
    }
    {
        fReplace dialog("/p.zip");
        dialog.show();
        dialog.close(); // the title bar's close button
        EXPECT_EQ(dialog.answer(), "n");
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST_F(MessageDialogsTest, ReplaceTakesQueuedAnswersAndCountsAnythingElseAsNo) {
    DialogHook::setNextAnswer("y");
    EXPECT_EQ(MessageDialogs::askReplace(nullptr, "/p.zip"), "y");
    DialogHook::setNextAnswer("n");
    EXPECT_EQ(MessageDialogs::askReplace(nullptr, "/p.zip"), "n");
    DialogHook::setNextAnswer("cancel");
    EXPECT_EQ(MessageDialogs::askReplace(nullptr, "/p.zip", "10 Bytes", ""), "n");
}

// --- fDelete ---

TEST_F(MessageDialogsTest, DeleteShowsItsQuestionAndButtons) {
    fDelete dialog("0", "readme.txt");
    EXPECT_EQ(dialog.objectName(), "fDelete");
    EXPECT_EQ(dialog.windowTitle(), "Varnhold");
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(),
              "Are you sure you want to delete this file from the zip package?");
    EXPECT_EQ(child<QLabel>(dialog, "lblName")->text(), "readme.txt");
    EXPECT_EQ(child<QCheckBox>(dialog, "SSCheck1")->text(), "Don't show ");
    auto* yes = child<QPushButton>(dialog, "cmdYes");
    auto* no = child<QPushButton>(dialog, "cmdNo");
    EXPECT_EQ(yes->text(), " &Yes");
    EXPECT_EQ(yes->toolTip(), "Delete File");
    EXPECT_EQ(no->text(), " &No");
    EXPECT_EQ(no->toolTip(), "Don't delete the file");
    EXPECT_TRUE(no->isDefault()) << "Enter must not delete";

    dialog.setQuestion("Are you sure you want to delete backup set?");
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), "Are you sure you want to delete backup set?");
}

TEST_F(MessageDialogsTest, DeleteAnswersAndDontShowRoundTrip) {
    {
        fDelete dialog("-1");
        auto* box = child<QCheckBox>(dialog, "SSCheck1");
        EXPECT_TRUE(box->isChecked()) << "\"-1\" loads as ticked";
        EXPECT_EQ(dialog.answer(), "n");
        dialog.show();
        box->click();
        child<QPushButton>(dialog, "cmdYes")->click();
        EXPECT_EQ(dialog.answer(), "y");
        EXPECT_EQ(dialog.suppressed(), "0");
    }
    {
        fDelete dialog("0");
        auto* box = child<QCheckBox>(dialog, "SSCheck1");
        EXPECT_FALSE(box->isChecked());
        dialog.show();
        box->click();
        child<QPushButton>(dialog, "cmdNo")->click();
        EXPECT_EQ(dialog.answer(), "n");
        EXPECT_EQ(dialog.suppressed(), "-1");
    }
    {
        fDelete dialog("0");
        dialog.show();
        dialog.close();
        EXPECT_EQ(dialog.answer(), "n");
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST_F(MessageDialogsTest, AskDeleteGivesTheSuppressedValueBackUnchangedWhenUntouched) {
    QString suppressed = "-1";
    DialogHook::setNextAnswer("y");
    EXPECT_EQ(MessageDialogs::askDelete(nullptr, suppressed, "Home.set", "Are you sure you want to delete backup set?"),
              "y");
    EXPECT_EQ(suppressed, "-1");
    suppressed = "0";
    DialogHook::setNextAnswer("n");
    EXPECT_EQ(MessageDialogs::askDelete(nullptr, suppressed), "n");
    EXPECT_EQ(suppressed, "0");
}

// --- fCount ---

TEST_F(MessageDialogsTest, CountCancelRaisesTheFlagAndCloses) {
    std::atomic_bool cancel{false};
    fCount dialog(cancel);
    EXPECT_EQ(dialog.objectName(), "fCount");
    EXPECT_EQ(dialog.windowTitle(), "Varnhold");
    EXPECT_FALSE(dialog.isModal()) << "the search keeps running beside it";
    dialog.setCaptionText("Searching for files");
    dialog.setDriveText("/home");
    dialog.setScanText("1,024 files");
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), "Searching for files");
    EXPECT_EQ(child<QLabel>(dialog, "lblDrive")->text(), "/home");
    EXPECT_EQ(child<QLabel>(dialog, "lblScan")->text(), "1,024 files");
    auto* button = child<QPushButton>(dialog, "btnCancel");
    EXPECT_EQ(button->text(), " &Cancel");
    EXPECT_EQ(button->toolTip(), "Cancel");

    dialog.show();
    button->click();
    EXPECT_TRUE(cancel.load());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MessageDialogsTest, CountFinishLeavesTheFlagButClosingByHandCancels) {
    std::atomic_bool cancel{false};
    {
        fCount dialog(cancel);
        dialog.show();
        dialog.finish();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(cancel.load()) << "the end of a search is not a cancel";
    }
    {
        fCount dialog(cancel);
        dialog.show();
        dialog.close();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(cancel.load()) << "closing the window stops the search";
    }
}

} // namespace
