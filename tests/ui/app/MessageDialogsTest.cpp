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
