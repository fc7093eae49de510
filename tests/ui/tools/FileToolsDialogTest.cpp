// The split dialog and the self-extracting package maker offscreen: what they load, recalculate and store, their
// jobs beside the window thread, their messages, and the maker's hand-over of its program to the splitter.
#include "DialogTestUtil.h"
#include "app/AppState.h"
#include "app/StartUp.h"
#include "app/ui/DialogHook.h"
#include "tools/FileSplit.h"
#include "tools/ui/fSFX.h"
#include "tools/ui/fSplit.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace testsupport;

namespace {

class FileToolsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DialogHook::reset();
        runStartUp(state, dir.path());
    }
    void TearDown() override { DialogHook::reset(); }
    QString stored(const QString& key) const { return state.settings.GetSetting(kSettingsSection, key, "<none>"); }
    static QString box(const QWidget& dialog, const char* name) { return child<QLineEdit>(dialog, name)->text(); }

    TempDir dir;
    AppState state{freshStore()};
};

TEST_F(FileToolsDialogTest, SplitLoadsRecalculatesSplitsAndStoresOnClose) {
    writeFile(dir.file("in/data.zip"), randomBytes(2500, 1));
    QDir().mkpath(dir.file("out"));
    state.saveText(Option::SplitFolder, dir.file("out/"));
    state.saveText(Option::SplitPieceSize, "1000");
    state.saveText(Option::SplitModemSpeed, "3");

    fSplit dialog(state, dir.file("in/data.zip"));
    dialogtest::expectTexts(dialog, {{"btnStart", " &Split", "Start the split"},
                                     {"btnHelp", "  &Help", "Split file help contents"},
                                     {"btnExit", " &Cancel", "Cancel"}});
    EXPECT_EQ(
        QStringList({box(dialog, "txtFile"), box(dialog, "txtSize"), box(dialog, "txtPath"),
                     box(dialog, "txtSplitNumber"), box(dialog, "txtTime")}),
        QStringList({dir.file("in/data.zip"), "2,500", dir.file("out/"), "3", SplitTexts::kTimePrefix + "0 sec"}));
    EXPECT_TRUE(child<QRadioButton>(dialog, "SSOption3")->isChecked());

    auto* size = child<QLineEdit>(dialog, "txtSegSize");
    size->setText("1457664");
    child<QRadioButton>(dialog, "SSOption1")->click();
    EXPECT_EQ(std::pair(box(dialog, "txtSplitNumber"), box(dialog, "txtTime")),
              std::pair(QString("1"), SplitTexts::kTimePrefix + "6 min  45 sec"));
    size->setText("1000");
    size->setText("1000x"); // not a number: the box empties, the size before stays
    EXPECT_EQ(std::pair(size->text(), box(dialog, "txtSplitNumber")), std::pair(QString(), QString("3")));
    size->setText("1000");

    dialog.show();
    dialog.splitNow();
    EXPECT_TRUE(dialog.isSplitting());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isSplitting(), 30000);
    EXPECT_EQ(listTree(dir.file("out")), QStringList({"data.001", "data.002", "data.003", "data.bat", "data.sh"}));
    EXPECT_EQ(box(dialog, "txtTime"), SplitTexts::kCompleted);
    EXPECT_EQ(child<QListView>(dialog, "lstFilesZipFolder")->model()->rowCount(), 13 + 3 + 1);

    dialog.reject();
    EXPECT_EQ(QStringList({stored("Options14"), stored("Options15")}), QStringList({"1000", "1"}));
}

TEST_F(FileToolsDialogTest, SplitMessages) {
    writeFile(dir.file("data.zip"), randomBytes(2500, 1));
    struct Case {
        QString file, folder, pieceSize, message;
    };
    for (const Case& c :
         std::vector<Case>{{dir.file("missing.zip"), dir.file("Split/"), "1000", SplitTexts::kFileNotFound},
                           {dir.file("data.zip"), dir.file("Split/"), "2", SplitTexts::kTooManyPieces},
                           {dir.file("data.zip"), dir.file("NoSuchFolder/"), "1000",
                            SplitTexts::kSplitError + "\nCannot write into the folder " + dir.file("NoSuchFolder") +
                                ": No such file or directory"}}) {
        DialogHook::reset();
        fSplit dialog(state, c.file);
        child<QLineEdit>(dialog, "txtPath")->setText(c.folder);
        child<QLineEdit>(dialog, "txtSegSize")->setText(c.pieceSize);
        DialogHook::setNextAnswer("ok");
        dialog.splitNow();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isSplitting(), 30000);
        EXPECT_EQ(DialogHook::shownMessages(), QStringList{c.message});
    }
    EXPECT_EQ(listTree(dir.file("Split")), QStringList());
}

TEST_F(FileToolsDialogTest, MakerMakesTestsAndHandsItsProgramToTheSplitter) {
    // A stand-in extractor that answers its test run.
    writeFile(dir.file("Kovra"), "#!/bin/sh\necho \"tested $1\"\nexit 0\n");
    writeFile(dir.file("src/a.txt"), sampleText(3000, 1));
    ASSERT_EQ(runTool("zip", {"-q", dir.file("Zips/p.zip"), "a.txt"}, dir.file("src")).exitCode, 0);
    state.splitHandOver = "left from before";

    fSFX dialog(state, dir.file("Zips/p.zip"));
    dialog.setTerminal({});
    EXPECT_EQ(QStringList({box(dialog, "txtPath"), box(dialog, "txtNewName"), state.splitHandOver}),
              QStringList({dir.file("Make/"), "p.run", ""}));
    dialog.testNow();
    dialog.splitNow();
    EXPECT_TRUE(dialog.madeProgram().isEmpty() && state.splitHandOver.isEmpty() &&
                !child<QPushButton>(dialog, "btnTest")->isEnabled())
        << "Test and Split wait for a make";

    dialog.show();
    QSignalSpy made(&dialog, &fSFX::makeFinished);
    dialog.makeNow();
    QTRY_COMPARE_WITH_TIMEOUT(made.count(), 1, 30000);
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), "Completed");
    EXPECT_EQ(readFile(dir.file("Make/p.run")), readFile(dir.file("Kovra")) + readFile(dir.file("Zips/p.zip")));

    QSignalSpy tested(&dialog, &fSFX::testFinished);
    DialogHook::setNextAnswer("ok");
    dialog.testNow();
    QTRY_COMPARE_WITH_TIMEOUT(tested.count(), 1, 30000);
    EXPECT_EQ(DialogHook::shownMessages(), QStringList{"tested --test"});

    dialog.splitNow();
    EXPECT_FALSE(dialog.isVisible());
    fSplit splitter(state, dir.file("Zips/p.zip"));
    EXPECT_EQ(std::pair(box(splitter, "txtFile"), state.splitHandOver), std::pair(dir.file("Make/p.run"), QString()));
}

TEST_F(FileToolsDialogTest, MakerWithoutAnExtractorSaysWhereItLooked) {
    writeFile(dir.file("Zips/p.zip"), "PK");
    fSFX dialog(state, dir.file("Zips/p.zip"));
    DialogHook::setNextAnswer("ok");
    dialog.makeNow();
    ASSERT_EQ(DialogHook::shownMessages().size(), 1);
    EXPECT_TRUE(DialogHook::shownMessages().first().startsWith("The extractor program was not found: neither " +
                                                               dir.file("Kovra")));
    EXPECT_TRUE(child<QLabel>(dialog, "Label1")->text().isEmpty());
}

} // namespace
