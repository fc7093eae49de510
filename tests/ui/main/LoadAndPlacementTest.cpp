// The main window's load step, its controls and menus, and where it opens and what it stores when it closes.
#include "MainTestUtil.h"

#include "app/WindowPlacement.h"
#include "viewer/EntryFields.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <algorithm>

using namespace maintest;
using namespace testsupport;

namespace {

class LoadStep : public MainWindowTest {};

// What the start-up stores and cleans is StartUpTest's; here the window runs it in VARNHOLD_HOME.
TEST_F(LoadStep, EmptyStoreStartsCentredAfterAStartUpInTheHomeFolder) {
    writeFile(app.file("Temp/.x.zip.vhw-999999999-0"), "a work file of a run that has ended");
    fMain& w = makeWindow();

    // Centred on the screen at the designed size.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w.x(), area.left() + (area.width() - w.width()) / 2);
    EXPECT_EQ(w.y(), area.top() + (area.height() - w.height()) / 2);
    EXPECT_GE(w.width(), fMain::kMinimumWidth);
    EXPECT_GE(w.height(), fMain::kMinimumHeight);

    EXPECT_EQ(stored("Options11"), app.path() + "/Zips/");
    EXPECT_EQ(state->folders.app, app.path());
    EXPECT_EQ(listTree(app.file("Temp")), QStringList());
    EXPECT_EQ(stored("fMain"), "<none>") << "the placement is stored only when the window closes";
}

// What the start-up could not do is shown once the window is up: a settings file that cannot be read (left as
// it is) and a Temp that is a link (not emptied through).
TEST_F(LoadStep, AnUnreadableSettingsFileAndALinkedTempAreShownAtTheStart) {
    TempDir elsewhere;
    writeFile(elsewhere.file("theirs.txt"), "theirs");
    ASSERT_TRUE(QFile::link(elsewhere.path(), app.file("Temp")));
    const QString name = state->settings.AppName();
    const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Brindlecot/" + name + ".ini";
    ASSERT_TRUE(QDir().mkpath(file)); // a folder where the settings file should be
    state = std::make_unique<AppState>(name);

    DialogHook::setNextAnswer("ok"); // fError
    makeWindow();
    QCoreApplication::processEvents();
    EXPECT_EQ(DialogHook::shownMessages(),
              QStringList{app.file("Temp") +
                          " is a symbolic link, not a folder of its own; it is left as it is and not used.\n\n"
                          "The settings file " +
                          file +
                          " is a folder, not a settings file; the stored settings are not used and the file is left as "
                          "it is."});
    EXPECT_EQ(listTree(elsewhere.path()), QStringList{"theirs.txt"});
    EXPECT_TRUE(QFileInfo(file).isDir());
    window.reset();
    QDir(file).removeRecursively();
}

// Before a package opens: nothing sorted, the favourites 1 to 9 hidden, the commands not built yet greyed out.
TEST_F(LoadStep, AFreshWindowGreysOutWhatIsNotBuiltYet) {
    fMain& w = makeWindow();
    EXPECT_EQ(w.grid()->model()->columnCount(), 7);
    EXPECT_EQ(w.grid()->horizontalHeader()->sortIndicatorSection(), -1);
    for (int i = 1; i <= 9; ++i)
        EXPECT_FALSE(item(QString("mnufav%1").arg(i))->isVisible()) << i;
    for (const char* name :
         {"btnOpen", "btnBuild", "btnUpdate", "btnRecent", "btnFind", "btnOptions", "btnHelp", "btnClose", "btnExit"})
        EXPECT_TRUE(button(name)->isEnabled()) << name;
    for (const char* name : {"mnuOpt1", "mnuOpt2", "mnuOpt5", "mnuOpt6", "mnuOpt7", "mnuOpt8", "mnuZip1", "mnuZip2",
                             "mnuZip3", "mnuHelp2", "mnuHelp3", "mnuQuick2"}) {
        EXPECT_FALSE(item(name)->isEnabled()) << name;
        // The tooltip tells why; a menu shows its items' tooltips only when asked to.
        const auto shown = [](QObject* o) {
            return !qobject_cast<QMenu*>(o) || qobject_cast<QMenu*>(o)->toolTipsVisible();
        };
        EXPECT_TRUE(std::ranges::all_of(item(name)->associatedObjects(), shown)) << name;
    }
    for (const char* name :
         {"mnuOpt3", "mnuOpt4", "mnuOpt9", "mnuQuick1", "mnuZip4", "mnuHelp1", "mnuHelp4", "mnufav10"})
        EXPECT_TRUE(item(name)->isEnabled()) << name;
}

TEST_F(LoadStep, MenuButtonsPopTheirMenusBelowThemselves) {
    fMain& w = makeWindow();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (const auto& [buttonName, menuName] : QList<QPair<QString, QString>>{
             {"btnRecent", "mnufavorites"}, {"btnOptions", "mnuOptions"}, {"btnHelp", "mnuHelpAll"}}) {
        QPushButton* b = button(buttonName);
        QTest::mouseClick(b, Qt::LeftButton);
        QMenu* popup = menu(menuName);
        ASSERT_TRUE(popup->isVisible()) << menuName.toStdString();
        EXPECT_EQ(popup->pos(), b->mapToGlobal(QPoint(0, b->height()))) << menuName.toStdString();
        popup->hide();
    }
}

TEST_F(LoadStep, HelpContentsOpensTheHelpAtTopic100) {
    fMain& w = makeWindow();
    w.show();
    item("mnuHelp1")->trigger();
    auto* help = w.findChild<QDialog*>("fHelp");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    help->close();
}

TEST_F(LoadStep, ProgramAnswersHelpAndVersionWithoutAWindow) {
    // A window would keep the program running until the time-out; the answers come without one.
    ToolRun help = runTool(VARNHOLD_APP, {"--help"}, app.path(), {}, 20000);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith("Usage: varnhold [--app-folder DIR] [ZIP]\n")) << help.out.toStdString();
    EXPECT_EQ(help.err, "");
    ToolRun version = runTool(VARNHOLD_APP, {"--version"}, app.path(), {}, 20000);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QString("varnhold %1\n").arg(VARNHOLD_VERSION));
    ToolRun unknown = runTool(VARNHOLD_APP, {"--frobnicate"}, app.path(), {}, 20000);
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.endsWith("varnhold: unknown option --frobnicate\nTry 'varnhold --help'.\n"))
        << unknown.err.toStdString();
    EXPECT_TRUE(QDir(app.path()).isEmpty()) << "no start-up ran";
}

class Placement : public MainWindowTest {};

TEST_F(Placement, StoredPlacementIsFittedToTheScreen) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QString& stored :
         {QString("-3000,-3000,600,400"), QString("%1,%2,600,400").arg(area.right() + 500).arg(area.bottom() + 500),
          QString("0,0,%1,%2").arg(area.width() + 300).arg(area.height() * 3)}) {
        state->settings.SaveSetting(kSettingsSection, "fMain", stored);
        fMain& w = makeWindow();
        EXPECT_TRUE(area.contains(QRect(w.pos(), w.size()))) << stored.toStdString();
        window.reset();
    }
}

TEST_F(Placement, ManyLineCommentStaysOneStatusLine) {
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines << QString("comment line %1 <b>bold?</b>").arg(i);
    lines[0] += QChar(0x202e); // a right-to-left override would turn the rest of the line round
    const QString comment = lines.join('\n');
    fMain& w = makeWindow();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QSize before = w.size();
    ASSERT_TRUE(w.openPackage(package("commented.zip", kRowsEntries, comment)));
    QApplication::processEvents();

    auto* status = child<QLabel>(w, "lblStatus");
    EXPECT_FALSE(status->text().contains('\n')) << "one line";
    EXPECT_TRUE(status->text().startsWith(
        "  (commented.zip)  Files = 6  Bytes = 1,029  Comments = comment line 1 <b>bold?</b>\\u202e comment line 2 "))
        << status->text().toStdString();
    EXPECT_TRUE(status->text().endsWith(QChar(0x2026))) << "cut with an ellipsis: " << status->text().toStdString();
    EXPECT_LE(status->fontMetrics().horizontalAdvance(status->text()), status->contentsRect().width());
    EXPECT_LE(status->height(), 2 * status->fontMetrics().lineSpacing());
    EXPECT_EQ(w.size(), before) << "the window keeps its size";
    EXPECT_EQ(w.statusText(), EntryFields::openedStatusText("commented.zip", 6, 1029, comment));
    QTextDocument tip;
    tip.setHtml(status->toolTip());
    EXPECT_EQ(tip.toPlainText(), w.statusText()) << "the whole text in the tooltip, shown as text";

    // The placement stored on close opens the window on the screen again.
    ASSERT_TRUE(w.close());
    const auto placement = parsePlacement(stored("fMain"));
    ASSERT_TRUE(placement.has_value());
    EXPECT_LE(placement->height, QGuiApplication::primaryScreen()->availableGeometry().height());
}

TEST_F(Placement, StoredPlacementIsRestoredAndBadTextIgnored) {
    state->settings.SaveSetting(kSettingsSection, "fMain", "30,40,700,500");
    {
        fMain& w = makeWindow();
        EXPECT_EQ(w.pos(), QPoint(30, 40));
        EXPECT_EQ(w.size(), QSize(700, 500));
    }
    window.reset();

    // A text that is no placement leaves the designed size and is not taken as "nothing stored" (no centring).
    AppState fresh(state->settings.AppName() + "_fresh");
    const QSize designed = fMain(fresh).size();
    state->settings.SaveSetting(kSettingsSection, "fMain", "30,forty,700,500");
    fMain& w = makeWindow();
    EXPECT_EQ(w.size(), designed);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NE(w.pos(),
              QPoint(area.left() + (area.width() - w.width()) / 2, area.top() + (area.height() - w.height()) / 2));
    EXPECT_EQ(stored("fMain"), "30,forty,700,500") << "nothing is written before the window closes";
}

TEST_F(Placement, NormalWindowStoresItsPlacementOnClose) {
    fMain& w = makeWindow();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.setGeometry(50, 60, 820, 450);
    QApplication::processEvents();
    ASSERT_EQ(w.size(), QSize(820, 450));
    const QPoint pos = w.pos();
    ASSERT_TRUE(w.close());
    EXPECT_EQ(stored("fMain"), QString("%1,%2,820,450").arg(pos.x()).arg(pos.y()));
    EXPECT_TRUE(w.package().entries().empty());
}

TEST_F(Placement, ATooSmallWindowIsWidenedBeforeItsPlacementIsStored) {
    fMain& w = makeWindow();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // The button row already keeps the window wider than the minimum; the height can shrink below it.
    w.resize(300, 200);
    QApplication::processEvents();
    ASSERT_LT(w.height(), fMain::kMinimumHeight);
    const int width = w.width();
    // Exit closes the window like the title bar does.
    QTest::mouseClick(button("btnExit"), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    const auto placement = stored("fMain").split(',');
    ASSERT_EQ(placement.size(), 4);
    EXPECT_EQ(placement[2].toInt(), qMax(width, fMain::kMinimumWidth));
    EXPECT_EQ(placement[3].toInt(), fMain::kMinimumHeight);
}

TEST_F(Placement, MaximisedOrMinimisedWindowKeepsTheLastNormalPlacement) {
    state->settings.SaveSetting(kSettingsSection, "fMain", "11,22,700,500");
    for (const Qt::WindowState shownAs : {Qt::WindowMaximized, Qt::WindowMinimized}) {
        fMain& w = makeWindow();
        w.show();
        w.setWindowState(shownAs);
        QApplication::processEvents();
        ASSERT_TRUE(w.windowState().testFlag(shownAs));
        w.close();
        EXPECT_EQ(stored("fMain"), "11,22,700,500") << int(shownAs);
    }
}

} // namespace
