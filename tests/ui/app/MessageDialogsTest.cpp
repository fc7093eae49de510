#include "app/ui/MessageDialogs.h"
#include "app/ui/DialogHook.h"
#include "app/ui/fDelete.h"
#include "app/ui/fError.h"
#include "app/ui/fReplace.h"
#include "tools/ui/fCount.h"

#include "DialogTestUtil.h"

#include <QtWidgets>

using dialogtest::child;
using dialogtest::expectTexts;

namespace {

class MessageDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override { DialogHook::reset(); }
    void TearDown() override { DialogHook::reset(); }
};

// The three ways a question window can be left: by one of its two buttons or by the title bar's close box.
template <class Dialog> void leave(Dialog& dialog, const char* how) {
    dialog.show();
    if (QString(how) == "close")
        dialog.close();
    else
        child<QPushButton>(dialog, how)->click();
    EXPECT_FALSE(dialog.isVisible()) << how;
}

TEST_F(MessageDialogsTest, ErrorShowsTheMessageWithAnExitButton) {
    fError dialog("Cannot open /tmp/x.zip: the file does not exist.");
    expectTexts(dialog, {{"Label1", "Cannot open /tmp/x.zip: the file does not exist."}});
    leave(dialog, "cmdExit");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(MessageDialogsTest, ReplaceShowsThePathAndItsWordingAndAnswersYesOnlyForTheYesButton) {
    fReplace dialog("/data/Zips/Test.Zip", "1,234 Bytes", "Monday 1 July 2024 10:00:00");
    expectTexts(
        dialog,
        {{"lblFile", "/data/Zips/Test.Zip"}, {"lblSize", "1,234 Bytes"}, {"lblDate", "Monday 1 July 2024 10:00:00"}});
    EXPECT_TRUE(child<QPushButton>(dialog, "cmdNo")->isDefault()) << "Enter must not replace a file";
    fReplace bare("/data/Sets/Home.set");
    EXPECT_TRUE(child<QLabel>(bare, "lblSize")->isHidden() && child<QLabel>(bare, "lblDate")->isHidden());

    for (const auto& [how, answer] : {std::pair{"cmdYes", "y"}, std::pair{"cmdNo", "n"}, std::pair{"close", "n"}}) {
        fReplace dialog("/p.zip");
        EXPECT_EQ(dialog.answer(), "n") << "the answer is no until the user says otherwise";
        leave(dialog, how);
        EXPECT_EQ(dialog.answer(), answer) << how;
    }
    for (const auto& [queued, answer] : {std::pair{"y", "y"}, std::pair{"n", "n"}, std::pair{"cancel", "n"}}) {
        DialogHook::setNextAnswer(queued);
        EXPECT_EQ(MessageDialogs::askReplace(nullptr, "/p.zip", "10 Bytes", ""), answer) << queued;
    }
}

TEST_F(MessageDialogsTest, DeleteShowsItsQuestionAndHandsBackItsAnswerAndDontShow) {
    fDelete dialog("0", "readme.txt");
    expectTexts(dialog, {{"lblName", "readme.txt"}});
    EXPECT_TRUE(child<QPushButton>(dialog, "cmdNo")->isDefault()) << "Enter must not delete";
    dialog.setQuestion("Are you sure you want to delete backup set?");
    expectTexts(dialog, {{"Label1", "Are you sure you want to delete backup set?"}});

    // (stored "Don't show", tick it, leave by, answer, "Don't show" handed back)
    for (const auto& [before, tick, how, answer, after] :
         {std::tuple{"-1", true, "cmdYes", "y", "0"}, std::tuple{"0", true, "cmdNo", "n", "-1"},
          std::tuple{"0", false, "close", "n", "0"}}) {
        fDelete dialog(before);
        auto* box = child<QCheckBox>(dialog, "SSCheck1");
        EXPECT_EQ(box->isChecked(), QString(before) == "-1") << "\"-1\" loads as ticked";
        EXPECT_EQ(dialog.answer(), "n");
        dialog.show();
        if (tick) box->click();
        leave(dialog, how);
        EXPECT_EQ(std::pair(dialog.answer(), dialog.suppressed()), std::pair(QString(answer), QString(after))) << how;
    }
    // Answered from the queue, the stored value comes back unchanged.
    for (const auto& [suppressedBefore, answer] : {std::pair{"-1", "y"}, std::pair{"0", "n"}}) {
        QString suppressed = suppressedBefore;
        DialogHook::setNextAnswer(answer);
        EXPECT_EQ(
            MessageDialogs::askDelete(nullptr, suppressed, "Home.set", "Are you sure you want to delete backup set?"),
            answer);
        EXPECT_EQ(suppressed, suppressedBefore);
    }
}

TEST_F(MessageDialogsTest, CountCancelAndClosingRaiseTheFlagButFinishDoesNot) {
    CancelToken cancel;
    fCount dialog(cancel);
    EXPECT_FALSE(dialog.isModal()) << "the search keeps running beside it";
    dialog.setCaptionText("Searching for files");
    dialog.setDriveText("/home");
    dialog.setScanText("1,024 files");
    expectTexts(dialog, {{"Label1", "Searching for files"}, {"lblDrive", "/home"}, {"lblScan", "1,024 files"}});

    // The end of a search is not a cancel; closing the window stops the search.
    for (const auto& [how, leaveIt] :
         {std::pair<const char*, void (*)(fCount&)>{"finish", [](fCount& d) { d.finish(); }},
          {"btnCancel", [](fCount& d) { child<QPushButton>(d, "btnCancel")->click(); }},
          {"close", [](fCount& d) { d.close(); }}}) {
        cancel.clear();
        fCount count(cancel);
        count.show();
        leaveIt(count);
        EXPECT_FALSE(count.isVisible()) << how;
        EXPECT_EQ(cancel.cancelled(), QString(how) != "finish") << how;
    }
}

TEST_F(MessageDialogsTest, NamesAndMessagesAreNeverReadAsMarkup) {
    const QString name = "<font color=red size=7>BIG.zip";
    fError error("Cannot open /tmp/" + name + ": the file does not exist.");
    fReplace replace("/tmp/" + name, "<b>12 bytes</b>", "<i>2024/01/01</i>");
    fDelete remove("0", name);
    remove.setQuestion("Delete <u>" + name + "</u>?");
    for (const QDialog* dialog : std::initializer_list<const QDialog*>{&error, &replace, &remove}) {
        int shown = 0;
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (!label->text().contains(u'<')) continue;
            ++shown;
            EXPECT_EQ(label->textFormat(), Qt::PlainText)
                << dialog->objectName().toStdString() << " " << label->objectName().toStdString();
        }
        EXPECT_GT(shown, 0) << dialog->objectName().toStdString();
    }
}

} // namespace
