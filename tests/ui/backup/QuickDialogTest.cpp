// The quick update dialog offscreen: its keys loaded and stored on close, an empty grid, and an update run off
// the window thread to its end.
#include "BuildUiTestUtil.h"
#include "backup/ui/fQuick.h"
#include "sets/SetSaving.h"

namespace {

using namespace buildui;

const QDateTime kOld(QDate(2020, 1, 1), QTime(10, 0, 0));

class QuickDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { DialogHook::reset(); }
    void TearDown() override { DialogHook::reset(); }
    QString stored(const char* key) const { return program.stored(key); }
    static QString gauge(const QObject& dialog, const char* name) { return child<QProgressBar>(dialog, name)->text(); }

    Program program;
    QString target = program.app() + "/Zips/Backup.zip";
};

struct Keys {
    const char* code;     ///< Options22
    const char* reset;    ///< Options55
    const char* hide;     ///< Optionse3
    const char* password; ///< Optionse4
};
void PrintTo(const Keys& k, std::ostream* os) {
    *os << k.code << '/' << k.reset << '/' << k.hide << '/' << k.password;
}

class QuickDialogKeys : public QuickDialogTest, public ::testing::WithParamInterface<std::pair<Keys, Keys>> {};

// Each case loads the first keys and stores the second after every control was switched over.
TEST_P(QuickDialogKeys, LoadOnOpenAndStoreOnClose) {
    const auto& [before, after] = GetParam();
    for (const auto& [key, value] : {std::pair{"Options22", before.code}, std::pair{"Options55", before.reset},
                                     std::pair{"Optionse3", before.hide}, std::pair{"Optionse4", before.password}})
        program.state->settings.SaveSetting(kSettingsSection, key, value);
    fQuick dialog(*program.state, target, {}, "the comment");
    const bool freshen = QString(before.code) == "1";
    EXPECT_EQ(child<QRadioButton>(dialog, freshen ? "SSOption2_1" : "SSOption2_2")->isChecked(), true);
    EXPECT_EQ(child<QCheckBox>(dialog, "SSCheck1")->isChecked(), QString(before.reset) == "-1");
    EXPECT_EQ(child<QCheckBox>(dialog, "SSCheck6")->isChecked(), QString(before.hide) == "-1");
    EXPECT_EQ(std::pair(child<QLineEdit>(dialog, "Text2")->text(), child<QLineEdit>(dialog, "Text1")->text()),
              std::pair(QString(before.password), QString("Backup.set")));

    setTicks(dialog, {{freshen ? "SSOption2_2" : "SSOption2_1", true},
                      {"SSCheck1", QString(after.reset) == "-1"},
                      {"SSCheck6", QString(after.hide) == "-1"}});
    setTexts(dialog, {{"Text2", after.password}});
    press(dialog, "btnExit");
    EXPECT_EQ(QStringList({stored("Options22"), stored("Options55"), stored("Optionse3"), stored("Optionse4")}),
              QStringList({after.code, after.reset, after.hide, after.password}));
}

INSTANTIATE_TEST_SUITE_P(Keys, QuickDialogKeys,
                         ::testing::Values(std::pair(Keys{"1", "-1", "0", "old"}, Keys{"2", "0", "-1", "new"}),
                                           std::pair(Keys{"2", "0", "-1", ""}, Keys{"1", "-1", "0", "typed"})));

TEST_F(QuickDialogTest, AnEmptyGridAsksForFiles) {
    fQuick dialog(*program.state, target, {}, QString());
    DialogHook::setNextAnswer("ok");
    press(dialog, "btnBuild");
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({"Please select files to zip"}));
    EXPECT_FALSE(dialog.isUpdating());
}

TEST_F(QuickDialogTest, AnUpdateRunsToItsEndBesideTheWindow) {
    const QString data = program.app() + "/Data/";
    writeFile(data + "a.txt", "old", kOld);
    BuildParams first = BuildParams::fromState(*program.state, BuildMode::Build);
    first.targetFolder = program.app() + "/Zips/";
    first.targetFileName = "Backup.zip";
    first.list = {{data + "a.txt", "", ""}};
    ASSERT_TRUE(BuildJob(first).run(CancelToken()).ok());
    writeFile(data + "a.txt", "newer");
    writeFile(data + "b.txt", "added");
    const QString setPath = setsFolderOf(*program.state) + "Backup.set";
    ASSERT_TRUE(writeSetFile(setPath, {"*Comment*", {{data, "1", "3", "*.txt", ""}}}).ok());
    const Result<QuickSet> set = readQuickSet(setPath, program.app());
    ASSERT_TRUE(set.ok());

    fQuick dialog(*program.state, target, *set, "after the update");
    child<QRadioButton>(dialog, "SSOption2_2")->setChecked(true);
    expectTexts(dialog, {{"btnBuild", " &Update", "Update the zip package"},
                         {"btnExit", " &Exit", "Exit"},
                         {"btnHelp", " &Help", "Quick zip package update help contents"}});
    QSignalSpy ended(&dialog, &fQuick::updateFinished);
    dialog.show();
    press(dialog, "btnBuild");
    EXPECT_TRUE(dialog.isUpdating());
    EXPECT_EQ(child<QPushButton>(dialog, "btnExit")->text(), " &Cancel");
    ASSERT_TRUE(ended.wait(30000));
    EXPECT_EQ(QStringList({gauge(dialog, "vsElastic2"), gauge(dialog, "vsElastic3"), gauge(dialog, "vsElastic4"),
                           gauge(dialog, "vsElastic5")}),
              QStringList({"100%", "100%", "2", "0"}));
    EXPECT_EQ(std::tuple(child<QPushButton>(dialog, "btnBuild")->isVisible(),
                         child<QPushButton>(dialog, "btnView")->isVisible(),
                         child<QPushButton>(dialog, "btnExit")->text()),
              std::tuple(false, false, QString(" &Exit")));
    EXPECT_EQ(runTool("unzip", {"-z", target}).out.split('\n').value(1), "after the update");
    EXPECT_EQ(runTool("unzip", {"-p", target, (data + "a.txt").mid(1)}).out, "newer");
    expectPeersAccept(target);
}

} // namespace
