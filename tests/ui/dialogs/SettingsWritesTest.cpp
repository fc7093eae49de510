// Each write of the settings file rewrites the whole file, so values that change together are written together:
// one write per dialog close or job step, not one per key.
#include "app/ui/DialogHook.h"
#include "tools/ui/fExtract.h"

#include "app/AppState.h"
#include "app/StartUp.h"
#include "backup/BuildJob.h"

#include "TestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class SettingsWrites : public ::testing::Test {
  protected:
    static QString freshApp() {
        static int counter = 0;
        return QString("SettingsWritesTest%1").arg(++counter);
    }
    void SetUp() override {
        DialogHook::reset();
        runStartUp(state, dir.path());
    }
    void TearDown() override { DialogHook::reset(); }
    int writes() const { return state.settings.writeCount(); }
    QString stored(const QString& key) const { return state.settings.GetSetting(kSettingsSection, key, "<none>"); }

    TempDir dir;
    AppState state{freshApp()};
};

TEST_F(SettingsWrites, StartUpWritesTheWholeSetOnceAndNothingWhenItIsStoredAlready) {
    EXPECT_EQ(writes(), 1) << "the first run stores all 28 keys at once";
    AppState again(state.settings.AppName());
    runStartUp(again, dir.path());
    EXPECT_EQ(again.settings.writeCount(), 0);
}

TEST_F(SettingsWrites, AnExtractClickWritesTheSettingsOnceAndTheAnswerOnce) {
    writeFile(dir.file("src/one.txt"), sampleText(3000, 1));
    const QString zip = dir.file("Zips/p.zip");
    ToolRun run = runTool("zip", {"-q", "-r", zip, "."}, dir.file("src"));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ZipPackage package;
    ASSERT_EQ(package.zOpenZipFile(zip), kZipOk);

    int before = writes();
    requestExtractOne(state, "one.txt", 0);
    EXPECT_EQ(writes() - before, 1) << "the four request keys";

    fExtract dialog(state, package);
    const QString selected = dir.file("sel") + "/";
    dialog.findChild<QLineEdit*>("Text1")->setText(selected);
    dialog.findChild<QCheckBox*>("SSCheck5")->click();
    dialog.findChild<QCheckBox*>("SSCheck3")->click();
    dialog.findChild<QLineEdit*>("Text2")->setText("pw");
    dialog.show();
    before = writes();
    dialog.findChild<QPushButton*>("btnExtract")->click();
    EXPECT_EQ(writes() - before, 1) << "the nine options and the request, when the extraction starts";
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isExtracting(), 30000);
    EXPECT_EQ(writes() - before, 2) << "and the answer when it has ended";

    ASSERT_EQ(readFile(selected + "one.txt"), sampleText(3000, 1));
    for (const auto& [key, value] : {std::pair<const char*, QString>{"Optionse2", "-1"},
                                     {"Optionse4", "pw"},
                                     {"Optionse7", "0"},
                                     {"Optionse9", selected},
                                     {"Optionsea", "one.txt"},
                                     {"Optionseb", selected},
                                     {"Optionsec", ""}})
        EXPECT_EQ(stored(key), value) << key;
}

TEST_F(SettingsWrites, AValueTypeStoresItsGroupWithOneWriteAndNoneWhenNothingChanged) {
    ZipSettings zip = ZipSettings::fromState(state);
    zip.level = CompressionLevel::Maximum;
    zip.updateCode = UpdateCode::Freshen;
    zip.resetArchive = true;
    zip.password.hidden = false;
    zip.password.text = "secret";
    zip.keptSpanSize = "728822";
    int before = writes();
    zip.store(state);
    EXPECT_EQ(writes() - before, 1);
    for (const auto& [key, value] :
         {std::pair{"Options01", "4"}, std::pair{"Options02", "2"}, std::pair{"Options05", "-1"},
          std::pair{"Optionse3", "0"}, std::pair{"Optionse4", "secret"}, std::pair{"Spanning", "728822"}})
        EXPECT_EQ(stored(key), value) << key;
    before = writes();
    zip.store(state);
    EXPECT_EQ(writes(), before) << "the same values again";

    // An update's settings leave the kept size alone.
    zip.keptSpanSize.reset();
    zip.level = CompressionLevel::None;
    zip.store(state);
    EXPECT_EQ(stored("Spanning"), "728822");
    EXPECT_EQ(stored("Options01"), "1");

    ExtractSettings extract = ExtractSettings::fromState(state);
    extract.setUseSelected(true);
    extract.overwrite = false;
    before = writes();
    extract.store(state);
    EXPECT_EQ(writes() - before, 1);
    EXPECT_EQ(stored("Optionse1"), "0");
    EXPECT_EQ(stored("Optionse2"), "-1");
    EXPECT_EQ(stored("Optionse5"), "0");
}

} // namespace
