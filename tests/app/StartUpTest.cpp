#include "app/StartUp.h"
#include "app/TextViewer.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace testsupport;

namespace {

QHash<QString, QString> storedSettings(const AppState& state) {
    QHash<QString, QString> out;
    for (const auto& row : state.settings.GetAllSettings(kSettingsSection))
        out.insert(row.first, row.second);
    return out;
}

// The keys and their defaults, in store order, from tests/data/defaults.ini.
QList<std::pair<QString, QString>> expectedDefaults(const QString& app) {
    QList<std::pair<QString, QString>> rows;
    const QString text = QString::fromUtf8(readFile(VARNHOLD_TEST_DATA "/defaults.ini"));
    for (QString line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u';') || line.startsWith(u'[')) continue;
        line.replace("@APP@", app).replace("@VIEWER@", TextViewer::findDefault());
        rows.append({line.section(u'=', 0, 0), line.section(u'=', 1)});
    }
    return rows;
}

TEST(StartUp, EmptyStoreGetsEveryKeyWithItsDefault) {
    TempDir dir;
    AppState state(freshStore());
    runStartUp(state, dir.path());

    const QString app = dir.path();
    const auto rows = expectedDefaults(app);
    ASSERT_EQ(rows.size(), OptionKeys::all().size());
    QHash<QString, QString> expected;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const auto& [key, value] = rows[i];
        const Option option = OptionKeys::all()[i];
        EXPECT_EQ(OptionKeys::key(option), key) << "keeps its place in the store order";
        EXPECT_EQ(OptionKeys::allKeys().at(int(i)), key);
        EXPECT_EQ(state.text(option), value) << key.toStdString();
        expected.insert(key, value);
    }
    EXPECT_EQ(storedSettings(state), expected) << "exactly these keys, and no recent-list keys yet";
    EXPECT_EQ(state.settings.writeCount(), 1) << "in one write of the whole file";
    AppState again(state.settings.AppName());
    runStartUp(again, app);
    EXPECT_EQ(again.settings.writeCount(), 0) << "nothing to write when all is stored";
    EXPECT_EQ(std::tuple(state.recent, state.folders.app, state.helpFilePath),
              std::tuple(QStringList(9, QString()), app, app + "/Varnhold.hlp"));
}

// Start-up empties Temp and Work of the program's own files only: the fixed working-copy names in Work and the
// work files of runs that have ended. Hidden files, other files and subfolders are the user's and stay.
TEST(StartUp, MakesWorkingFoldersAndEmptiesTempAndWorkOfItsOwnFilesOnly) {
    TempDir dir;
    const QString stale = QStringLiteral(".a.zip.vhw-999999999-0"); // its run has ended
    const QString running = QStringLiteral(".b.zip.vhw-%1-0").arg(QCoreApplication::applicationPid()); // running
    for (const QString& name : QStringList{"old.txt", "noext", ".hidden", "keep/inner.txt", stale, running})
        writeFile(dir.file("Temp/" + name), "x");
    for (const QString& name :
         QStringList{"Temp.set", "Varnhold.Dat", "Temp.txt", "temp.set", "notes.txt", "keep/Temp.set", stale + ".zip"})
        writeFile(dir.file("Work/" + name), "x");
    writeFile(dir.file("Zips/mine.zip"), "keep me");
    AppState state(freshStore());
    runStartUp(state, dir.path());

    for (const QString name : {"Sets", "Temp", "Extract", "Zips", "Make", "Split"})
        EXPECT_TRUE(QFileInfo(dir.file(name)).isDir()) << name.toStdString();
    EXPECT_EQ(listTree(dir.file("Temp")), QStringList({running, ".hidden", "keep/inner.txt", "noext", "old.txt"}));
    EXPECT_EQ(listTree(dir.file("Work")), QStringList({"keep/Temp.set", "notes.txt", "temp.set"}));
    EXPECT_EQ(std::pair(readFile(dir.file("Zips/mine.zip")), state.startUpNotes),
              std::pair(QByteArray("keep me"), QStringList()));

    TempDir fresh;
    AppState second(freshStore());
    runStartUp(second, fresh.file("new/home"));
    EXPECT_TRUE(QFileInfo(fresh.file("new/home/Sets")).isDir()) << "a missing application folder is made";
    EXPECT_FALSE(QFileInfo::exists(fresh.file("new/home/Work"))) << "Work is made only when needed";

    writeFile(fresh.file("file"), "a file where the application folder should be");
    AppState third(freshStore());
    runStartUp(third, fresh.file("file/home"));
    EXPECT_TRUE(third.startUpNotes.value(0).startsWith("Cannot create the folder " + fresh.file("file/home")))
        << third.startUpNotes.join('\n').toStdString();
}

} // namespace
