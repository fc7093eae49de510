// The right-click commands on one entry: the copy in Temp/ made before the menu opens, the picture item, the
// properties, and deleting entries with the question's rules, read-only and rewritten packages.
#include "MainTestUtil.h"

#include "shell/EntryCommands.h"
#include "shell/fProperties.h"

#include <QItemSelectionModel>
#include <QMenu>
#include <QTest>

using namespace maintest;

namespace {

class EntryCommandsTest : public MainWindowTest {
  protected:
    /// A package of the named files (each holding its own name) made by zip, opened in a new window.
    QString open(const QStringList& names, const QStringList& zipOptions = {}) {
        for (const QString& name : names)
            writeFile(packages.file("src/" + name), name.toUtf8());
        const QString zip = packages.file("p.zip");
        QFile::remove(zip);
        EXPECT_EQ(
            runTool("zip", QStringList{"-q"} + zipOptions + QStringList{zip} + names, packages.file("src")).exitCode,
            0);
        makeWindow();
        EXPECT_TRUE(window->openPackage(zip));
        return zip;
    }
    /// Right-clicks the row of name; true when the menu opened.
    bool rightClick(const QString& name) {
        QTableView* grid = window->grid();
        const int row = rowOf(name);
        emit grid->customContextMenuRequested(grid->visualRect(grid->model()->index(row, 1)).center());
        const bool shown = menu("mnuZipOptions")->isVisible();
        menu("mnuZipOptions")->hide();
        return shown;
    }
    void deleteRow(const QString& name, const char* answer = nullptr) {
        window->grid()->selectRow(rowOf(name));
        if (answer) DialogHook::setNextAnswer(answer);
        item("mnuOpt6")->trigger();
    }
};

TEST(EntryCommandsNames, PicturesAreOfferedByExtension) {
    for (const auto& [name, offered] : std::vector<std::pair<QString, bool>>{{"a.JPG", true},
                                                                             {"photo.png", true},
                                                                             {"gif", true},
                                                                             {"x.bmp", true},
                                                                             {"a.gif.txt", false},
                                                                             {"noext", false},
                                                                             {"a.", false}})
        EXPECT_EQ(EntryCommands::isImageName(name), offered) << name.toStdString();
}

TEST_F(EntryCommandsTest, TheMenuWorksOnACopyInTemp) {
    open({"a.txt", "c.gif"});
    const QString temp = state->workFolder("Temp");
    ASSERT_TRUE(rightClick("a.txt"));
    EXPECT_EQ(std::pair(listTree(temp), item("mnuOpt8")->isEnabled()), std::pair(QStringList{"a.txt"}, false));
    ASSERT_TRUE(rightClick("c.gif"));
    EXPECT_EQ(std::pair(listTree(temp), item("mnuOpt8")->isEnabled()), std::pair(QStringList{"c.gif"}, true));
    // Not a picture Qt can read: nothing is shown, nothing is asked.
    item("mnuOpt8")->trigger();

    const ZipEntry& entry = window->package().entries()[1];
    const QStringList lines = fProperties(entry, window->currentPackage(), temp + "c.gif").lines();
    EXPECT_TRUE(lines.contains("Size: 5 bytes") &&
                lines.contains(QString("CRC-32: %1").arg(entry.crc, 8, 16, QChar('0')).toUpper()))
        << lines.join("\n").toStdString();
}

// View, Launch and OpenWith start the programs of a made-up desktop on the copy, each writing what it was given.
TEST_F(EntryCommandsTest, ViewLaunchAndOpenWithStartProgramsOnTheCopy) {
    TempDir desk;
    const QByteArray oldPath = qgetenv("PATH"), oldDirs = qgetenv("XDG_DATA_DIRS"), oldHome = qgetenv("XDG_DATA_HOME");
    qputenv("PATH", desk.file("bin").toUtf8() + ":" + oldPath);
    // The system's folders stay, as the kinds of files are known from there.
    qputenv("XDG_DATA_DIRS", desk.file("data").toUtf8() + ":/usr/local/share:/usr/share");
    qputenv("XDG_DATA_HOME", desk.file("home").toUtf8());
    for (const QString name : {"viewer", "launcher", "other"}) {
        writeFile(desk.file("bin/" + name), "#!/bin/sh\necho \"$@\" > '" + desk.file(name + ".ran").toUtf8() + "'\n");
        QFile::setPermissions(desk.file("bin/" + name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    writeFile(desk.file("bin/xdg-mime"), "#!/bin/sh\necho launcher.desktop\n");
    QFile::setPermissions(desk.file("bin/xdg-mime"), QFile::ReadOwner | QFile::ExeOwner);
    writeFile(desk.file("data/applications/launcher.desktop"),
              "[Desktop Entry]\nName=Launcher\nExec=launcher --open %f\nMimeType=text/plain;\n");
    state->saveText(Option::ViewerProgram, desk.file("bin/viewer"));
    open({"a.txt", "b.csv"});
    const QString copy = state->workFolder("Temp") + "a.txt";

    ASSERT_TRUE(rightClick("a.txt"));
    EXPECT_EQ(std::tuple(item("mnuOpt1")->isEnabled(), item("mnuNotePad")->text(), item("mnuOpt2")->isEnabled(),
                         item("mnuLaunch")->text()),
              std::tuple(true, desk.file("bin/viewer"), true, desk.file("bin/launcher")));
    item("mnuNotePad")->trigger();
    EXPECT_EQ(window->statusText(), "View completed for: a.txt");
    item("mnuLaunch")->trigger();
    DialogHook::setNextAnswer(desk.file("bin/other")); // "Other program..."
    item("mnuOpt7")->trigger();
    EXPECT_EQ(window->statusText(), "OpenWith completed for: a.txt");
    for (const auto& [ran, args] : std::vector<std::pair<QString, QString>>{
             {"viewer.ran", copy}, {"launcher.ran", "--open " + copy}, {"other.ran", copy}})
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(desk.file(ran))).trimmed(), args, 10000);

    // Enter on a row opens the entry with the desktop's program too.
    QFile::remove(desk.file("launcher.ran"));
    window->grid()->setCurrentIndex(window->grid()->model()->index(rowOf("a.txt"), 1));
    QTest::keyClick(window->grid(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(desk.file("launcher.ran"))).trimmed(), "--open " + copy,
                              10000);

    // Without them the menu says so by its greyed headers.
    state->saveText(Option::ViewerProgram, desk.file("bin/none"));
    QFile::remove(desk.file("data/applications/launcher.desktop"));
    ASSERT_TRUE(rightClick("b.csv")); // another kind of file, so the program is looked for again
    EXPECT_EQ(std::tuple(item("mnuOpt1")->isEnabled(), item("mnuNotePad")->isVisible(), item("mnuOpt2")->isEnabled()),
              std::tuple(false, false, false));
    qputenv("PATH", oldPath);
    qputenv("XDG_DATA_DIRS", oldDirs);
    qputenv("XDG_DATA_HOME", oldHome);
}

TEST_F(EntryCommandsTest, AnEncryptedEntryWithoutItsPasswordOpensNoMenu) {
    open({"s.txt"}, {"-P", "secret"});
    DialogHook::setNextAnswer("ok");
    EXPECT_FALSE(rightClick("s.txt"));
    EXPECT_EQ(DialogHook::shownMessages().size(), 1);
    EXPECT_EQ(listTree(state->workFolder("Temp")), QStringList());
}

TEST_F(EntryCommandsTest, DeleteAsksUnlessToldNotToAndKeepsAValidPackage) {
    const QString zip = open({"a.txt", "b.txt", "c.txt"});
    deleteRow("a.txt", "n");
    EXPECT_EQ(fullNames().size(), 3) << "answered no";

    QStringList texts;
    QObject::connect(window.get(), &fMain::statusTextChanged, window.get(), [&](const QString& t) {
        if (!t.endsWith("selected, right-click for commands")) texts << t;
    });
    deleteRow("b.txt", "y");
    EXPECT_EQ(texts, QStringList({"  Deleting file from zip package.", "  Building zip package index entries.",
                                  "b.txt  deleted from zip package"}));
    EXPECT_EQ(std::tuple(fullNames(), window->totalFiles(), window->totalBytes()),
              std::tuple(QStringList({"a.txt", "c.txt"}), qint64(2), qint64(10)));
    expectPeersAccept(zip);

    // "Don't show" for this package: the queued answer is never asked for.
    window->setDeleteConfirmation("-1");
    deleteRow("a.txt", "n");
    deleteRow("c.txt");
    QString unasked;
    EXPECT_TRUE(DialogHook::takeAnswer(unasked));
    EXPECT_EQ(std::pair(fullNames(), window->totalFiles()), std::pair(QStringList(), qint64(0)));
    ZipPackage reopened;
    EXPECT_EQ(reopened.zOpenZipFile(zip), kZipOk) << "the last delete leaves an empty package";
    EXPECT_TRUE(reopened.entries().empty());
}

TEST_F(EntryCommandsTest, SeveralRowsAreExtractedAndDeletedTogether) {
    open({"a.txt", "b.txt", "c.txt"});
    QItemSelectionModel* selection = window->grid()->selectionModel();
    window->grid()->selectRow(rowOf("a.txt"));
    selection->select(window->grid()->model()->index(rowOf("c.txt"), 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(window->statusText(), "  2 files selected, right-click for commands");
    const QString target = state->text(Option::ExtractFolder);
    DialogHook::setNextAnswer("extract");
    item("mnuOpt3")->trigger();
    EXPECT_EQ(std::pair(window->statusText(), listTree(target)),
              std::pair("2 files were extracted to " + target, QStringList({"a.txt", "c.txt"})));
    DialogHook::setNextAnswer("y");
    item("mnuOpt6")->trigger();
    EXPECT_EQ(std::pair(window->statusText(), fullNames()),
              std::pair(QString("2 selected files  deleted from zip package"), QStringList{"b.txt"}));
}

// Each command of the menus that needs an open package, or its backup set, says so and does nothing more.
TEST_F(EntryCommandsTest, MenuCommandsSayWhatTheyNeed) {
    makeWindow();
    for (const auto& [name, message] : std::vector<std::pair<const char*, QString>>{
             {"mnuZip2", "Please select zip package to make self-extracting zip from"},
             {"mnuZip3", "Please select zip package to split"},
             {"mnuZip5", "No zip package is opened"}}) {
        DialogHook::reset();
        DialogHook::setNextAnswer("ok");
        item(name)->trigger();
        EXPECT_EQ(DialogHook::shownMessages(), QStringList{message}) << name;
    }
    const QString zip = open({"a.txt"});
    DialogHook::reset();
    DialogHook::setNextAnswer("ok");
    item("mnuQuick2")->trigger();
    EXPECT_EQ(DialogHook::shownMessages().size(), 1);
    EXPECT_TRUE(DialogHook::shownMessages().value(0).contains("p.set")) << "names the set it looked for";
    EXPECT_EQ(window->currentPackage(), zip);
}

TEST_F(EntryCommandsTest, KeysOfTheWindowAndTheGrid) {
    const QString zip = open({"a.txt", "b.txt"});
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->grid()->setFocus();
    window->grid()->selectRow(rowOf("a.txt"));
    DialogHook::setNextAnswer("y");
    QTest::keyClick(window->grid(), Qt::Key_Delete);
    EXPECT_EQ(fullNames(), QStringList{"b.txt"});
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(window->currentPackage().isEmpty());
    DialogHook::setNextAnswer(zip); // the file dialog's answer
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(window->currentPackage(), zip);
}

TEST_F(EntryCommandsTest, AReadOnlyPackageRefusesAndARewrittenOneIsReadAgainFirst) {
    const QString zip = open({"a.txt", "b.txt"});
    const QByteArray before = readFile(zip);
    QFile::setPermissions(zip, QFile::ReadOwner | QFile::ReadGroup);
    DialogHook::setNextAnswer("y");
    DialogHook::setNextAnswer("ok");
    deleteRow("a.txt");
    EXPECT_EQ(DialogHook::shownMessages(),
              QStringList{"Cannot delete a.txt from " + zip + ": the package is read-only."});
    EXPECT_EQ(readFile(zip), before);
    QFile::setPermissions(zip, QFile::ReadOwner | QFile::WriteOwner);

    // Another program adds an entry meanwhile: the delete works on the package as it is now.
    writeFile(packages.file("src/new.txt"), "new");
    ASSERT_EQ(runTool("zip", {"-q", zip, "new.txt"}, packages.file("src")).exitCode, 0);
    deleteRow("a.txt", "y");
    ZipPackage now;
    ASSERT_EQ(now.zOpenZipFile(zip), kZipOk);
    QStringList names;
    for (const ZipEntry& e : now.entries())
        names << e.storedName();
    EXPECT_EQ(names, QStringList({"b.txt", "new.txt"}));
    EXPECT_EQ(fullNames(), QStringList({"b.txt", "new.txt"}));
}

TEST_F(EntryCommandsTest, TestReadsEveryEntryBackAndNamesTheDamagedOnes) {
    const QString zip = open({"a.txt", "b.txt"}, {"-0"});
    item("mnuZip5")->trigger();
    EXPECT_EQ(window->statusText(), "Test of p.zip: all 2 entries are OK");

    QByteArray bytes = readFile(zip);
    bytes[bytes.indexOf("b.txt", bytes.indexOf("b.txt") + 5) + 1] = 'X'; // the data after the local header's name
    writeFile(zip, bytes);
    DialogHook::setNextAnswer("ok");
    item("mnuZip5")->trigger();
    EXPECT_EQ(window->statusText(), "Test of p.zip: 1 of 2 entries failed");
    ASSERT_EQ(DialogHook::shownMessages().size(), 1);
    EXPECT_TRUE(DialogHook::shownMessages().first().contains("b.txt: "))
        << DialogHook::shownMessages().first().toStdString();
}

} // namespace
