// The option table: every option keeps the stored key and the default it has always had (the settings files
// written by earlier runs depend on both), and the typed accessors of the shared state keep the stored texts.
#include "app/AppState.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const AppFolders kFolders{"/home/ann/Varnhold", "/usr/bin/", "/usr/lib/", "/usr/bin/gedit"};

struct Row {
    Option option;
    const char* key;
    QString defaultValue;
};

// Written out by hand on purpose: this is the settings file's format.
const Row kRows[] = {
    {Option::WizardBrowseFolder, "Options00", "/home/ann/Varnhold"},
    {Option::CompressionMethod, "Options01", "3"},
    {Option::UpdateOption, "Options02", "1"},
    {Option::StoredNames, "Options03", "2"},
    {Option::ViewerProgram, "Options04", "/usr/bin/gedit"},
    {Option::ResetArchiveAttribute, "Options05", "0"},
    {Option::TempFolder, "Options06", "/home/ann/Varnhold/Temp/"},
    {Option::ExtractFolder, "Options07", "/home/ann/Varnhold/Extract/"},
    {Option::SetsFolder, "Options08", "/home/ann/Varnhold/Sets/"},
    {Option::ZipFolder, "Options09", "/home/ann/Varnhold/Zips/"},
    {Option::ZipFileName, "Options10", "Test.Zip"},
    {Option::OpenPackageFolder, "Options11", "/home/ann/Varnhold/Zips/"},
    {Option::MakeFolder, "Options12", "/home/ann/Varnhold/Make/"},
    {Option::SplitFolder, "Options13", "/home/ann/Varnhold/Split/"},
    {Option::SplitPieceSize, "Options14", "1457664"},
    {Option::SplitModemSpeed, "Options15", "1"},
    {Option::ExtractToDefault, "Optionse1", "-1"},
    {Option::ExtractToSelected, "Optionse2", "0"},
    {Option::HidePassword, "Optionse3", "-1"},
    {Option::ZipPassword, "Optionse4", ""},
    {Option::ExtractOverwrite, "Optionse5", "-1"},
    {Option::ExtractSkipOlder, "Optionse6", "0"},
    {Option::ExtractUseFolderNames, "Optionse7", "-1"},
    {Option::ExtractRequest, "Optionse8", "0"},
    {Option::SelectedExtractFolder, "Optionse9", "/home/ann/Varnhold/Extract/"},
    {Option::ExtractName, "Optionsea", ""},
    {Option::ExtractAnswerFolder, "Optionseb", ""},
    {Option::ExtractIndexOrError, "Optionsec", ""},
};

TEST(OptionKeys, EveryOptionKeepsItsStoredKeyAndDefaultInStoreOrder) {
    ASSERT_EQ(std::size(kRows), OptionKeys::all().size());
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const Row& row = kRows[i];
        EXPECT_EQ(OptionKeys::all()[i], row.option) << row.key << " keeps its place in the store order";
        EXPECT_EQ(OptionKeys::key(row.option), row.key);
        EXPECT_EQ(OptionKeys::defaultFor(row.option, kFolders), row.defaultValue) << row.key;
        EXPECT_EQ(OptionKeys::allKeys().at(int(i)), row.key);
    }
}

class OptionAccessors : public ::testing::Test {
  protected:
    static QString freshApp() {
        static int counter = 0;
        return QString("OptionKeysTest%1").arg(++counter);
    }
    QString stored(Option option) const {
        return state.settings.GetSetting(kSettingsSection, OptionKeys::key(option), "<missing>");
    }
    AppState state{freshApp()};
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
