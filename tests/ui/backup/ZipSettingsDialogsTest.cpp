// The zip settings dialog in both modes (what it loads, what it hands back however it is closed, the diskette sizes,
// the size box check, the spanning choices), the password dialog and the result dialog.
#include "BuildUiTestUtil.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/fPassword.h"
#include "backup/BuildJob.h"
#include "backup/ui/fZipOK.h"
#include "backup/ui/fZipSet.h"
#include "tools/ExtractRequest.h"

using namespace buildui;

namespace {

using ZipSetTest = HookedTest;

TEST_F(ZipSetTest, APasswordSetOutsideTheBuildSettingsIsTypedTwiceBeforeItIsBuiltWith) {
    // The extract dialog shares the password: a folder typed into its password box is the stored password now.
    ExtractSettings extraction = ExtractSettings::fromState(state);
    extraction.password.text = "/home/me/Extract/";
    extraction.store(state);

    fZipSet dialog(ZipSettings::load(state), BuildMode::Build, "c");
    dialog.show();
    for (const auto& [typedAgain, builds] :
         {std::pair{"", false}, std::pair{"/home/me/Extract", false}, std::pair{"/home/me/Extract/", true}}) {
        if (!builds) DialogHook::setNextAnswer("ok");
        setTexts(dialog, {{"txtConfirm", typedAgain}});
        child<QPushButton>(dialog, "btnBuild")->click();
        EXPECT_EQ(dialog.confirmed(), builds) << typedAgain;
    }
    EXPECT_EQ(DialogHook::shownMessages(), QStringList(2, fZipSet::kMismatch));
    dialog.settings().store(state);

    // Confirmed once, the stored password builds unasked; a new one is asked for twice again.
    fZipSet next(ZipSettings::load(state), BuildMode::Build, "c");
    next.show();
    EXPECT_FALSE(child<QLineEdit>(next, "txtConfirm")->isVisible());
    setTexts(next, {{"Text5", "new"}});
    EXPECT_TRUE(child<QLineEdit>(next, "txtConfirm")->isVisible());
}

TEST_F(ZipSetTest, TheDisketteMenuBesideItsButtonFillsTheSizeBox) {
    fZipSet dialog(ZipSettings::load(state), BuildMode::Build, {});
    dialog.move(0, 0); // room on the screen for the menu where it is meant to go
    dialog.show();
    auto* button = child<QToolButton>(dialog, "btnOptions");
    button->click();
    QMenu* menu = dialog.optionsMenu();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), button->mapToGlobal(QPoint(button->width(), 0)));
    menu->hide();
    // Exit only closes the menu.
    for (const auto& [name, bytes] : {std::pair{"mnu720", "728822"}, std::pair{"mnu144", "1457664"},
                                      std::pair{"mnu288", "2915288"}, std::pair{"mnuExit", "2915288"}}) {
        child<QAction>(*menu, name)->trigger();
        EXPECT_EQ(child<QLineEdit>(dialog, "Text1")->text(), bytes) << name;
    }
}

TEST_F(ZipSetTest, HelpOpensTheTopicOfTheMode) {
    for (const auto& [mode, topic] : {std::pair{BuildMode::Build, "136"}, std::pair{BuildMode::Update, "138"}}) {
        fZipSet dialog(ZipSettings::load(state), mode, {}, "/data/Zips/Open.zip");
        dialog.show();
        child<QPushButton>(dialog, "btnHelp")->click();
        ASSERT_NE(currentHelpBrowser(), nullptr);
        EXPECT_EQ(currentHelpBrowser()->source().fragment(), topic) << "the help page has a section for the topic";
        delete currentHelpBrowser()->window();
    }
}

// --- fPassword ---

TEST_F(ZipSetTest, CancellingThePasswordDialogChangesNothing) {
    state.settings.SaveSettings(kSettingsSection, {{"Optionse4", "old"}, {"Optionse3", "-1"}});
    fPassword dialog(state);
    dialog.show();
    setTexts(dialog, {{"Text2", "new"}});
    setTicks(dialog, {{"SSCheck6", false}});
    child<QPushButton>(dialog, "btnExit")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(QStringList({program.stored("Optionse4"), program.stored("Optionse3")}), QStringList({"old", "-1"}));
    DialogHook::setNextAnswer("ok");
    EXPECT_TRUE(fPassword::ask(state));
    DialogHook::setNextAnswer("cancel");
    EXPECT_FALSE(fPassword::ask(state));
}

// --- fZipOK ---

class UrlRecorder : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

BuildResult completed(const QString& package) {
    BuildResult r;
    r.outcome = BuildOutcome::Completed;
    r.packagePath = package;
    r.selectedFiles = 1234;
    r.selectedBytes = 9876543;
    r.heading = " Build Completed!";
    r.resultPackagePath = package;
    r.lockedLine = "Number of locked files bypassed = 2";
    return r;
}

TEST(ZipOK, ViewOpensTheLockedListOnlyWhenItExists) {
    TempDir dir;
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "open");
    fZipOK dialog(completed(dir.file("Zips/Backup.zip")), dir.path());
    child<QPushButton>(dialog, "btnView")->click();
    EXPECT_TRUE(recorder.opened.isEmpty()) << "no list, nothing to open";
    writeFile(dir.file("Zips/Locked.Txt"), "/data/a.txt\n");
    child<QPushButton>(dialog, "btnView")->click();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(recorder.opened, QList<QUrl>({QUrl::fromLocalFile(dir.path() + "/Zips/Locked.Txt")}));

    // No opener answers here (no desktop, no xdg-open): the list shows in a read-only view of the program's own.
    child<QPushButton>(dialog, "btnView")->click();
    auto* shown = child<QPlainTextEdit>(dialog, "txtLocked");
    EXPECT_EQ(shown->toPlainText(), "/data/a.txt\n");
    EXPECT_TRUE(shown->isReadOnly());
}

} // namespace

#include "ZipSettingsDialogsTest.moc"
