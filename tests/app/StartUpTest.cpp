#include "app/StartUp.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QString freshApp() {
    static int counter = 0;
    return QString("StartUpTest%1").arg(++counter);
}

QHash<QString, QString> storedSettings(const AppState& state) {
    QHash<QString, QString> out;
    for (const auto& row : state.settings.GetAllSettings(kSettingsSection)) out.insert(row.first, row.second);
    return out;
}

TEST(StartUp, EmptyStoreGetsAll28KeysWithDefaults) {
    TempDir dir;
    AppState state(freshApp());
    runStartUp(state, dir.path());

    const QString app = dir.path();
    const QHash<QString, QString> expected = {
        {"Options00", app},
        {"Options01", "3"},
        {"Options02", "1"},
        {"Options03", "2"},
        {"Options04", findDefaultViewer()},
        {"Options05", "0"},
        {"Options06", app + "/Temp/"},
        {"Options07", app + "/Extract/"},
        {"Options08", app + "/Sets/"},
        {"Options09", app + "/Zips/"},
        {"Options10", "Test.Zip"},
        {"Options11", app + "/Zips/"},
        {"Options12", app + "/Make/"},
        {"Options13", app + "/Split/"},
        {"Options14", "1457664"},
        {"Options15", "1"},
        {"Optionse1", "-1"},
        {"Optionse2", "0"},
        {"Optionse3", "-1"},
        {"Optionse4", ""},
        {"Optionse5", "-1"},
        {"Optionse6", "0"},
        {"Optionse7", "-1"},
        {"Optionse8", "0"},
        {"Optionse9", app + "/Extract/"},
        {"Optionsea", ""},
        {"Optionseb", ""},
        {"Optionsec", ""},
    };
    EXPECT_EQ(storedSettings(state), expected) << "exactly the 28 keys, and no recent-list keys yet";
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) EXPECT_EQ(state.option(it.key()), it.value());
    EXPECT_EQ(state.recent, QStringList(9, QString()));
    EXPECT_EQ(state.folders.app, app);
    EXPECT_EQ(state.helpFilePath, app + "/Varnhold.hlp");
}

TEST(StartUp, MakesWorkingFoldersAndEmptiesTemp) {
    TempDir dir;
    writeFile(dir.file("Temp/old.txt"), "x");
    writeFile(dir.file("Temp/noext"), "x");
    writeFile(dir.file("Temp/.hidden"), "x");
    writeFile(dir.file("Temp/keep/inner.txt"), "x");
    writeFile(dir.file("Zips/mine.zip"), "keep me");
    AppState state(freshApp());
    runStartUp(state, dir.path());

    for (const QString& name : {"Sets", "Temp", "Extract", "Zips", "Make", "Split"})
        EXPECT_TRUE(QFileInfo(dir.file(name)).isDir()) << name.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.file("Work"))) << "Work is made only when needed";
    EXPECT_EQ(listTree(dir.file("Temp")), QStringList({"keep/inner.txt"}));
    EXPECT_EQ(readFile(dir.file("Zips/mine.zip")), "keep me");
}

TEST(StartUp, StoredValuesSurviveAndWorkingFolderDecides) {
    TempDir first, second;
    const QString app = freshApp();
    {
        AppState state(app);
        runStartUp(state, first.path());
        state.saveOption("Options01", "4");
        state.addRecent("/z/a.zip");
    }
    AppState state(app);
    runStartUp(state, second.path());
    EXPECT_EQ(state.option("Options01"), "4");
    EXPECT_EQ(state.recent.first(), "/z/a.zip");
    // Folder defaults already stored keep the first folder; the working folders follow the new one.
    EXPECT_EQ(state.option("Options07"), first.path() + "/Extract/");
    EXPECT_TRUE(QFileInfo(second.file("Sets")).isDir());
}

} // namespace
