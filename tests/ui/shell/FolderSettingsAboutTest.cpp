// The folder settings dialog, the about box and the Readme command, as the main window's Options and Help menus
// open them.
#include "DialogTestUtil.h"
#include "MainTestUtil.h"

#include "app/StartUp.h"
#include "app/Version.h"
#include "app/ui/fOptions.h"
#include "shell/fAbout.h"

#include <QLabel>
#include <QLineEdit>

using namespace maintest;

namespace {

using Box = fOptions::Box;
using FolderSettings = MainWindowTest;

QString box(const fOptions& dialog, Box b) {
    return child<QLineEdit>(dialog, QString("Text%1").arg(int(b)))->text();
}

TEST_F(FolderSettings, LoadsBrowsesAndStoresEveryBoxOnClose) {
    fMain& w = makeWindow();
    const QString app = state->folders.app;
    state->settings.SaveSetting(kSettingsSection, "Options08", "/elsewhere/sets/"); // changed since start-up

    fOptions dialog(*state, &w);
    dialogtest::expectTexts(dialog, {{"lblTitle", "Folder Settings"},
                                     {"Label3", "Default file viewer:"},
                                     {"Label2", "Default temporary work folder:"},
                                     {"Label0", "Default extract folder:"},
                                     {"Label1", "Default backup set(s) folder:"},
                                     {"Label5", "Default zip folder:"},
                                     {"Label4", "Default make folder:"},
                                     {"Label6", "Default split folder:"},
                                     {"btnHelp", "  &Help", "Folder settings help content"},
                                     {"btnExit", "  &Exit", "Exit"}});
    const QStringList screen{"Text3", "btnBrowse4", "Text2",   "btnBrowse1", "Text0", "btnBrowse2",
                             "Text1", "btnBrowse3", "Text5",   "btnBrowse7", "Text4", "btnBrowse5",
                             "Text6", "btnBrowse6", "btnHelp", "btnExit"};
    EXPECT_EQ(tabOrder(dialog, screen), screen);
    EXPECT_EQ(
        QStringList({box(dialog, Box::Viewer), box(dialog, Box::Temp), box(dialog, Box::Extract),
                     box(dialog, Box::Sets), box(dialog, Box::Zip), box(dialog, Box::Make), box(dialog, Box::Split)}),
        QStringList({state->folders.viewer, app + "/Temp/", app + "/Extract/", "/elsewhere/sets/", app + "/Zips/",
                     app + "/Make/", app + "/Split/"}));

    // A browsed folder is stored at once, with its "/"; the root keeps its one "/".
    const int writes = state->settings.writeCount();
    dialog.usePickedFolder(Box::Zip, "/picked/zips");
    dialog.usePickedFolder(Box::Split, "/");
    EXPECT_EQ(std::tuple(box(dialog, Box::Zip), stored("Options09"), box(dialog, Box::Split), stored("Options13")),
              std::tuple(QString("/picked/zips/"), QString("/picked/zips/"), QString("/"), QString("/")));
    // A picked viewer and typed text wait for the close, and are taken as they are.
    dialog.usePickedViewer("/opt/view it/viewer");
    child<QLineEdit>(dialog, "Text0")->setText("/typed/extract");
    EXPECT_EQ(std::pair(stored("Options04"), stored("Options07")), std::pair(state->folders.viewer, app + "/Extract/"));

    dialog.reject(); // the title bar's close stores as Exit does
    EXPECT_EQ(state->settings.writeCount(), writes + 3) << "two browses, then one write for the seven boxes";
    const QList<std::pair<Option, QString>> expected{{Option::ViewerProgram, "/opt/view it/viewer"},
                                                     {Option::TempFolder, app + "/Temp/"},
                                                     {Option::ExtractFolder, "/typed/extract"},
                                                     {Option::SetsFolder, "/elsewhere/sets/"},
                                                     {Option::ZipFolder, "/picked/zips/"},
                                                     {Option::MakeFolder, app + "/Make/"},
                                                     {Option::SplitFolder, "/"}};
    for (const auto& [option, value] : expected) {
        EXPECT_EQ(stored(OptionKeys::key(option)), value);
        EXPECT_EQ(state->text(option), value) << "later commands see it";
    }
}

TEST_F(FolderSettings, MenusOpenTheDialogsAndReadmeNamesAMissingViewer) {
    makeWindow();
    EXPECT_EQ(readFile(readmeFilePath(app.path())).left(10), "# Varnhold") << "start-up puts the read-me there";

    // Each opens its dialog (a greyed-out item would not), which takes the queued answer and closes.
    for (const char* name : {"mnuZip1", "mnuHelp2"}) {
        DialogHook::setNextAnswer("ok");
        item(name)->trigger();
        QString left;
        EXPECT_FALSE(DialogHook::takeAnswer(left)) << name;
    }

    state->setText(Option::ViewerProgram, "/nowhere/notepad.exe"); // typed in the folder settings
    DialogHook::setNextAnswer("ok");
    item("mnuHelp3")->trigger();
    EXPECT_EQ(DialogHook::shownMessages(),
              QStringList{"The file viewer program \"/nowhere/notepad.exe\" was not found. Choose one under Options, "
                          "Folder Settings."});
}

TEST_F(FolderSettings, AboutShowsNameVersionAndLibrariesAndClosesOnExit) {
    fAbout about;
    EXPECT_EQ(child<QLabel>(about, "lblName")->text(), "Varnhold " VARNHOLD_VERSION);
    dialogtest::expectTexts(about, {{"btnExit", " &Exit", "Exit"}});
    for (const char* library : {"Qt", "libzip", "zlib", "libdeflate", "libarchive", "OpenSSLlibcrypto"})
        EXPECT_FALSE(child<QLabel>(about, QString("lblVersion") + library)->text().isEmpty()) << library;

    about.show();
    child<QPushButton>(about, "btnExit")->click();
    EXPECT_FALSE(about.isVisible());
}

} // namespace
