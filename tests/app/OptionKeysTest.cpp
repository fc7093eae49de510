// The typed accessors of the shared state keep the stored texts. (The keys and defaults: StartUpTest.)
#include "app/AppState.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const AppFolders kFolders{"/home/ann/Varnhold", "/usr/bin/", "/usr/lib/", "/usr/bin/gedit"};

class OptionAccessors : public ::testing::Test {
  protected:
    QString stored(Option option) const {
        return state.settings.GetSetting(kSettingsSection, OptionKeys::key(option), "<missing>");
    }
    AppState state{freshStore()};
};

TEST_F(OptionAccessors, NumbersPathsAndReloadReadTheStoredTexts) {
    state.folders = kFolders;
    bool ok = true;
    state.setText(Option::ExtractIndexOrError, "cancel");
    EXPECT_EQ(state.number(Option::ExtractIndexOrError, &ok), 0);
    EXPECT_FALSE(ok);
    for (const auto& [text, path] : {std::pair{"/data/Zips", "/data/Zips/"}, std::pair{"", ""}}) {
        state.setText(Option::ZipFolder, text);
        EXPECT_EQ(state.path(Option::ZipFolder), path) << text;
        EXPECT_EQ(state.text(Option::ZipFolder), text) << "the text itself is kept as it was given";
    }
    state.setText(Option::ZipFileName, "Shared.zip");
    EXPECT_EQ(state.reload(Option::ZipFileName), "Test.Zip") << "nothing stored yet";
    state.settings.SaveSetting(kSettingsSection, "Options10", "Stored.zip");
    EXPECT_EQ(state.reload(Option::ZipFileName), "Stored.zip");
    EXPECT_EQ(state.text(Option::ZipFileName), "Stored.zip");
}

} // namespace
