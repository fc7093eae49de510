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

TEST_F(OptionAccessors, FlagsAreStoredAsMinusOneAndZeroAndReadOnlyFromMinusOne) {
    state.setFlag(Option::ExtractOverwrite, false);
    state.setFlag(Option::HidePassword, true);
    ASSERT_TRUE(state.save({Option::ExtractOverwrite, Option::HidePassword}));
    EXPECT_EQ(stored(Option::ExtractOverwrite), "0");
    EXPECT_EQ(stored(Option::HidePassword), "-1");
    // Only the stored "-1" is yes; "1", "true" and anything else written by hand are no.
    for (const auto& [text, yes] : {std::pair{"-1", true}, std::pair{"0", false}, std::pair{"1", false},
                                    std::pair{"true", false}, std::pair{"", false}}) {
        state.setText(Option::ExtractSkipOlder, text);
        EXPECT_EQ(state.flag(Option::ExtractSkipOlder), yes) << text;
    }
}

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
