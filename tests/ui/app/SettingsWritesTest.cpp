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
    void SetUp() override {
        DialogHook::reset();
        runStartUp(state, dir.path());
    }
    void TearDown() override { DialogHook::reset(); }
    int writes() const { return state.settings.writeCount(); }
    QString stored(const QString& key) const { return state.settings.GetSetting(kSettingsSection, key, "<none>"); }

    TempDir dir;
    AppState state{freshStore()};
};

TEST_F(SettingsWrites, AValueTypeStoresItsGroupWithOneWriteAndNoneWhenNothingChanged) {
    ZipSettings zip = ZipSettings::fromState(state);
    zip.level = CompressionLevel::Maximum;
    zip.updateCode = UpdateCode::Freshen;
    zip.resetArchive = true;
    zip.hidePassword = false;
    zip.password = "secret";
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
