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

TEST_F(ZipSetTest, ANewBuildOpensWithTheDefaultsAndTheTarget) {
    fZipSet dialog(ZipSettings::load(state), BuildMode::Build, "*Comment*",
                   BuildParams::fromState(state, BuildMode::Build).targetPath());
    EXPECT_EQ(child<QLabel>(dialog, "Label1")->text(), program.app() + "/Zips/Test.Zip");
    // First use: Normal, Add/Replace (the only choice for a new package), no reset, hidden empty password.
    EXPECT_EQ(child<QPlainTextEdit>(dialog, "Text0")->textCursor().selectedText(), "")
        << "the comment opens unselected, so a key typed cannot replace it";
    expectTicks(dialog, {{"SSOption1_2", true}, {"SSOption2_0", true}, {"SSCheck1", false}, {"SSOption3", true}});
    expectTicks(dialog, {{"SSCheck6", true}});
    for (const char* off : {"SSOption2_1", "SSOption2_2"})
        EXPECT_FALSE(child<QWidget>(dialog, off)->isEnabled()) << off;
    EXPECT_EQ(child<QLineEdit>(dialog, "Text5")->text(), "");
    EXPECT_EQ(child<QLineEdit>(dialog, "Text5")->echoMode(), QLineEdit::Password);
}

TEST_F(ZipSetTest, StoredSettingsAreLoadedAndABuildAlwaysOpensWithAddReplace) {
    state.settings.SaveSettings(kSettingsSection, {{"Options01", "1"}, {"Options02", "2"}, {"Options05", "-1"}});
    state.settings.SaveSettings(kSettingsSection,
                                {{"Optionse3", "0"}, {"Optionse4", "s3cret"}, {"Spanning", "2915288"}});
    fZipSet dialog(ZipSettings::load(state), BuildMode::Build, {});
    // The spanning buttons are not set from the store.
    expectTicks(dialog, {{"SSOption1_0", true}, {"SSOption2_0", true}, {"SSCheck1", true}, {"SSOption3", true}});
    EXPECT_EQ(QStringList({child<QLineEdit>(dialog, "Text5")->text(), child<QLineEdit>(dialog, "Text1")->text()}),
              QStringList({"s3cret", "2915288"}));
    EXPECT_EQ(child<QLineEdit>(dialog, "Text5")->echoMode(), QLineEdit::Normal);
    child<QCheckBox>(dialog, "SSCheck6")->setChecked(true);
    EXPECT_EQ(child<QLineEdit>(dialog, "Text5")->echoMode(), QLineEdit::Password);
    dialog.reject();
    EXPECT_EQ(dialog.settings().updateCode, UpdateCode::AddReplace);
    EXPECT_EQ(program.stored("Options02"), "2") << "the dialog itself stores nothing";
    dialog.settings().store(state);
    EXPECT_EQ(program.stored("Options02"), "1");
}

TEST_F(ZipSetTest, AnUpdateOffersOnlyNoSpanningAndOpensAddReplaceAsUpdate) {
    for (const auto& [storedCode, shown, button] :
         {std::tuple{"1", "3", "SSOption2_2"}, std::tuple{"2", "2", "SSOption2_1"},
          std::tuple{"3", "3", "SSOption2_2"}}) {
        state.settings.SaveSettings(kSettingsSection, {{"Options02", storedCode}, {"Spanning", "1457664"}});
        fZipSet dialog(ZipSettings::load(state), BuildMode::Update, "old comment", "/data/Zips/Open.zip");
        expectTexts(dialog, {{"Label1", "/data/Zips/Open.zip"}});
        EXPECT_EQ(child<QPushButton>(dialog, "btnBuild")->text(), "Update");
        expectTicks(dialog, {{button, true}});
        EXPECT_TRUE(child<QWidget>(dialog, "SSOption2_1")->isEnabled());
        for (const char* off : {"btnOptions", "SSOption4", "SSOption5", "Text1"})
            EXPECT_FALSE(child<QWidget>(dialog, off)->isEnabled()) << off;

        // Whatever is selected, an update does not span, and the stored size stays for the next build.
        setTicks(dialog, {{"SSOption5", true}});
        child<QPushButton>(dialog, "btnBuild")->click();
        EXPECT_TRUE(dialog.confirmed() && dialog.noSpanning() && !dialog.automaticSpanning() &&
                    !dialog.customSpanning());
        EXPECT_EQ(std::pair(dialog.customSize(), dialog.spanSize()), std::pair(QString(), qint64(-1)));
        dialog.settings().store(state);
        EXPECT_EQ(QStringList({program.stored("Spanning"), program.stored("Options02"), dialog.comment()}),
                  QStringList({"1457664", shown, "old comment"}));
    }
}

TEST_F(ZipSetTest, BuildHandsBackEveryChoiceAndItsSettingsStoreUnderTheirKeys) {
    fZipSet dialog(ZipSettings::load(state), BuildMode::Build, "*Comment*");
    dialog.show();
    setTicks(dialog, {{"SSOption1_3", true}, {"SSCheck1", true}, {"SSCheck6", false}, {"SSOption5", true}});
    setTexts(
        dialog,
        {{"Text5", "pass word"}, {"txtConfirm", "pass word"}, {"Text0", "Photos\nsecond line"}, {"Text1", "1000000"}});
    child<QPushButton>(dialog, "btnBuild")->click();
    EXPECT_TRUE(!dialog.isVisible() && dialog.result() == QDialog::Accepted && dialog.confirmed());
    dialog.settings().store(state);
    for (const auto& [option, key, value] :
         {std::tuple{Option::CompressionMethod, "Options01", "4"}, std::tuple{Option::UpdateOption, "Options02", "1"},
          std::tuple{Option::ResetArchiveAttribute, "Options05", "-1"},
          std::tuple{Option::HidePassword, "Optionse3", "0"},
          std::tuple{Option::ZipPassword, "Optionse4", "pass word"}}) {
        EXPECT_EQ(program.stored(key), value) << key;
        EXPECT_EQ(state.text(option), value) << key << " is the shared value too";
    }
    EXPECT_EQ(QStringList({program.stored("Spanning"), dialog.comment()}),
              QStringList({"1000000", "Photos\nsecond line"}));
    EXPECT_TRUE(!dialog.noSpanning() && !dialog.automaticSpanning() && dialog.customSpanning());
    EXPECT_EQ(dialog.spanSize(), 1000000);
}

TEST_F(ZipSetTest, CancelAndTheCloseBoxHandBackTheSettingsTooButDoNotConfirm) {
    for (const bool closeBox : {false, true}) {
        fZipSet dialog(ZipSettings::load(state), BuildMode::Build, "typed");
        dialog.show();
        setTicks(dialog, {{closeBox ? "SSOption1_1" : "SSOption1_3", true}});
        setTexts(dialog, {{"Text5", "kept"}, {"Text1", "728822"}, {"Text0", "changed"}});
        if (closeBox)
            dialog.close();
        else
            child<QPushButton>(dialog, "btnExit")->click();
        EXPECT_TRUE(dialog.result() == QDialog::Rejected && !dialog.confirmed());
        dialog.settings().store(state);
        EXPECT_EQ(QStringList({program.stored("Options01"), program.stored("Optionse4"), program.stored("Spanning")}),
                  QStringList({closeBox ? "2" : "4", "kept", "728822"}));
        EXPECT_EQ(dialog.comment(), "changed") << "the comment comes back after a cancel as well";
    }
}

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

TEST_F(ZipSetTest, EnterInASingleLineFieldBuildsAndTheCommentKeepsItsText) {
    // Empty: the field the dialog opens with the focus in.
    for (const QString& field : {QString(), QString("Text1"), QString("Text5")}) {
        fZipSet dialog(ZipSettings::load(state), BuildMode::Build, "My first backup");
        dialog.show();
        EXPECT_EQ(dialog.focusWidget(), child<QLineEdit>(dialog, "Text5"));
        QTest::keyClick(field.isEmpty() ? dialog.focusWidget() : child<QLineEdit>(dialog, field), Qt::Key_Return);
        EXPECT_TRUE(dialog.confirmed()) << field.toStdString();
        EXPECT_EQ(child<QPlainTextEdit>(dialog, "Text0")->toPlainText(), "My first backup") << field.toStdString();
    }
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

TEST_F(ZipSetTest, TheSizeBoxKeepsOnly32BitNumbers) {
    state.settings.SaveSetting(kSettingsSection, "Spanning", "lots");
    fZipSet dialog(ZipSettings::load(state), BuildMode::Build, {});
    dialog.show();
    auto* size = child<QLineEdit>(dialog, "Text1");
    EXPECT_EQ(size->text(), "") << "a stored size is checked too";
    QTest::keyClicks(size, "12");
    EXPECT_EQ(size->text(), "12");
    QTest::keyClicks(size, "a");
    EXPECT_EQ(size->text(), "") << "typing 12a empties the box";
    for (const auto& [typed, kept] : {std::pair{"2147483647", "2147483647"}, std::pair{"2147483648", ""},
                                      std::pair{"1.5", ""}, std::pair{"65536", "65536"}}) {
        size->setText(typed);
        EXPECT_EQ(size->text(), kept) << typed;
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

TEST_F(ZipSetTest, ThePasswordDialogShowsTheStoredPasswordAndOKHandsItBack) {
    state.settings.SaveSetting(kSettingsSection, "Optionse4", "zip pw");
    fPassword dialog(state);
    auto* box = child<QLineEdit>(dialog, "Text2");
    EXPECT_EQ(std::pair(box->text(), box->echoMode()), std::pair(QString("zip pw"), QLineEdit::Password));

    // Unticking Hide shows the characters and gives the box the focus back; an empty password is accepted.
    child<QPushButton>(dialog, "cmdOK")->setFocus();
    setTicks(dialog, {{"SSCheck6", false}});
    EXPECT_EQ(box->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(dialog.focusWidget(), box);
    box->clear();
    dialog.show();
    child<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(std::pair(dialog.settings().text, dialog.settings().hidden), std::pair(QString(), false));
    EXPECT_EQ(program.stored("Optionse4"), "zip pw") << "the dialog itself stores nothing";
    dialog.settings().store(state, PasswordSource::Extraction);
    // The store, and the program-wide password.
    EXPECT_EQ(QStringList({program.stored("Optionse4"), program.stored("Optionse3"), state.text(Option::ZipPassword)}),
              QStringList({"", "0", ""}));
    fPassword shown(state);
    EXPECT_EQ(child<QLineEdit>(shown, "Text2")->echoMode(), QLineEdit::Normal) << "the stored show setting";
}

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

TEST(ZipOK, ShowsTheBuildsTextsAndThePackageSizeOnDisk) {
    TempDir dir;
    const QString package = dir.file("Zips/Backup.zip");
    EXPECT_EQ(child<QLabel>(fZipOK(completed(package), dir.path()), "Label3")->text(), "0")
        << "a package that was not written";
    writeFile(package, QByteArray(4321, 'x'));
    fZipOK dialog(completed(package), dir.path());
    expectTexts(dialog, {{"Label0", " Build Completed!"},
                         {"Label2", package},
                         {"Label5", "1,234"},
                         {"Label4", "9,876,543"},
                         {"Label3", "4,321"},
                         {"Label1", "Number of locked files bypassed = 2"}});
    EXPECT_TRUE(child<QLabel>(dialog, "Label6")->isHidden()) << "no updated-files line for a new package";

    // Files left out for other reasons and files that changed while read get a line each, only when there are any.
    EXPECT_FALSE(dialog.findChild<QLabel*>("LabelLeftOut") || dialog.findChild<QLabel*>("LabelChanged"));

    // An update names the package with its prefix, and the package itself is measured.
    BuildResult update = completed(package);
    update.resultPackagePath = "Zip Package Updated: " + package;
    update.updatedLine = "Number of files updated: 1,232";
    update.leftOutLine = "Number of files left out = 3";
    update.changedLine = "Number of files changed during the backup = 1";
    fZipOK updated(update, dir.path());
    EXPECT_FALSE(child<QLabel>(updated, "Label6")->isHidden());
    expectTexts(updated, {{"Label2", "Zip Package Updated: " + package},
                          {"Label6", "Number of files updated: 1,232"},
                          {"Label3", "4,321"},
                          {"LabelLeftOut", "Number of files left out = 3"},
                          {"LabelChanged", "Number of files changed during the backup = 1"}});
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
