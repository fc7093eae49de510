// The main window's load step, its controls and menus, and where it opens and what it stores when it closes.
#include "MainTestUtil.h"

#include "app/WindowPlacement.h"
#include "viewer/EntryFields.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTextDocument>

using namespace maintest;

namespace {

using LoadStep = MainWindowTest;

/// Where a window of this size sits when centred on the screen.
QPoint centred(const QWidget& w) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    return {area.left() + (area.width() - w.width()) / 2, area.top() + (area.height() - w.height()) / 2};
}
/// Shows the window and waits until it is on the screen.
void showAndWait(QWidget& w) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
}

// What the start-up stores and cleans is StartUpTest's; here the window runs it in VARNHOLD_HOME. Before a package
// opens: nothing sorted, the favourites 1 to 9 hidden, the commands not built yet greyed out.
TEST_F(LoadStep, EmptyStoreStartsCentredAfterAStartUpInTheHomeFolderAndGreysOutWhatIsNotBuiltYet) {
    writeFile(app.file("Temp/.x.zip.vhw-999999999-0"), "a work file of a run that has ended");
    fMain& w = makeWindow();
    // Centred on the screen at the designed size; the placement is stored only when the window closes.
    EXPECT_TRUE(w.pos() == centred(w) && w.width() >= fMain::kMinimumWidth && w.height() >= fMain::kMinimumHeight);
    EXPECT_EQ(QStringList({stored("Options11"), state->folders.app, stored("fMain")}),
              QStringList({app.path() + "/Zips/", app.path(), "<none>"}));
    EXPECT_EQ(listTree(app.file("Temp")), QStringList());
    EXPECT_EQ(std::make_tuple(w.grid()->model()->columnCount(), sortMark().first), std::make_tuple(7, -1));
    for (int i = 1; i <= 9; ++i)
        EXPECT_FALSE(item(QString("mnufav%1").arg(i))->isVisible()) << i;
    // Buttons and menu items alike; a greyed-out item's tooltip tells why, and a menu shows its items' tooltips
    // only when asked to.
    const auto tipShown = [](QObject* o) {
        return !qobject_cast<QMenu*>(o) || qobject_cast<QMenu*>(o)->toolTipsVisible();
    };
    for (const auto& [names, enabled] :
         {std::pair{"btnOpen btnBuild btnUpdate btnRecent btnFind btnOptions btnHelp btnClose btnExit mnuOpt3 mnuOpt4 "
                    "mnuOpt9 mnuQuick1 mnuZip4 mnuHelp1 mnuHelp4 mnufav10",
                    true},
          std::pair{
              "mnuOpt1 mnuOpt2 mnuOpt5 mnuOpt6 mnuOpt7 mnuOpt8 mnuZip1 mnuZip2 mnuZip3 mnuHelp2 mnuHelp3 mnuQuick2",
              false}})
        for (const QString& name : QString(names).split(' '))
            EXPECT_TRUE(child<QObject>(w, name)->property("enabled").toBool() == enabled &&
                        (enabled || std::ranges::all_of(item(name)->associatedObjects(), tipShown)))
                << name.toStdString();
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

TEST_F(LoadStep, MenuButtonsPopTheirMenusHelpOpensAndExitStoresAWidenedPlacement) {
    fMain& w = makeWindow();
    showAndWait(w);
    for (const auto& [buttonName, menuName] : QList<QPair<QString, QString>>{
             {"btnRecent", "mnufavorites"}, {"btnOptions", "mnuOptions"}, {"btnHelp", "mnuHelpAll"}}) {
        QPushButton* b = button(buttonName);
        QTest::mouseClick(b, Qt::LeftButton);
        QMenu* popup = menu(menuName);
        ASSERT_TRUE(popup->isVisible()) << menuName.toStdString();
        EXPECT_EQ(popup->pos(), b->mapToGlobal(QPoint(0, b->height()))) << menuName.toStdString();
        popup->hide();
    }
    item("mnuHelp1")->trigger();
    auto* help = w.findChild<QDialog*>("fHelp");
    ASSERT_TRUE(help && help->isVisible());
    help->close();

    // The button row already keeps the window wider than the minimum; the height can shrink below it. A window too
    // small is widened before its placement is stored.
    w.resize(300, 200);
    QApplication::processEvents();
    ASSERT_LT(w.height(), fMain::kMinimumHeight);
    const int width = w.width();
    // Exit closes the window like the title bar does.
    QTest::mouseClick(button("btnExit"), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(stored("fMain").section(',', 2),
              QString("%1,%2").arg(qMax(width, fMain::kMinimumWidth)).arg(fMain::kMinimumHeight));
}

TEST_F(LoadStep, ProgramAnswersHelpAndVersionWithoutAWindow) {
    // A window would keep the program running until the time-out; the answers come without one.
    const auto run = [&](const char* option) { return runTool(VARNHOLD_APP, {option}, app.path(), {}, 20000); };
    const ToolRun help = run("--help"), version = run("--version"), unknown = run("--frobnicate");
    EXPECT_EQ(std::make_tuple(help.exitCode, help.err, version.exitCode, version.out, unknown.exitCode),
              std::make_tuple(0, QString(), 0, QString("varnhold %1\n").arg(VARNHOLD_VERSION), 2));
    // No start-up ran.
    EXPECT_TRUE(help.out.startsWith("Usage: varnhold [--app-folder DIR] [ZIP]\n") && QDir(app.path()).isEmpty() &&
                unknown.err.endsWith("varnhold: unknown option --frobnicate\nTry 'varnhold --help'.\n"))
        << help.out.toStdString() << unknown.err.toStdString();
}

using Placement = MainWindowTest;

// A placement text that is none leaves the designed size and is not taken as "nothing stored" (no centring); and
// a comment of many lines stays one status line.
TEST_F(Placement, BadPlacementTextIsIgnoredAndAManyLineCommentStaysOneStatusLine) {
    AppState fresh(state->settings.AppName() + "_fresh");
    const QSize designed = fMain(fresh).size();
    state->settings.SaveSetting(kSettingsSection, "fMain", "30,forty,700,500");
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines << QString("comment line %1 <b>bold?</b>").arg(i);
    lines[0] += QChar(0x202e); // a right-to-left override would turn the rest of the line round
    const QString comment = lines.join('\n');
    fMain& w = makeWindow();
    EXPECT_EQ(std::make_tuple(w.size(), w.pos() == centred(w)), std::make_tuple(designed, false));
    showAndWait(w);
    const QSize before = w.size();
    ASSERT_TRUE(w.openPackage(package("commented.zip", kRowsEntries, comment)));
    QApplication::processEvents();

    // One line that fits, cut with an ellipsis, in a window that keeps its size.
    auto* status = child<QLabel>(w, "lblStatus");
    const QString shown = status->text();
    EXPECT_TRUE(!shown.contains('\n') && shown.endsWith(QChar(0x2026)) &&
                shown.startsWith("  (commented.zip)  Files = 6  Bytes = 1,029  Comments = comment line 1 "
                                 "<b>bold?</b>\\u202e comment line 2 "))
        << shown.toStdString();
    EXPECT_TRUE(status->fontMetrics().horizontalAdvance(shown) <= status->contentsRect().width() &&
                status->height() <= 2 * status->fontMetrics().lineSpacing() && w.size() == before);
    EXPECT_EQ(w.statusText(), EntryFields::openedStatusText("commented.zip", 6, 1029, comment));
    QTextDocument tip;
    tip.setHtml(status->toolTip());
    EXPECT_EQ(tip.toPlainText(), w.statusText()) << "the whole text in the tooltip, shown as text";

    EXPECT_EQ(stored("fMain"), "30,forty,700,500") << "nothing is written before the window closes";
    // The placement stored on close opens the window on the screen again.
    ASSERT_TRUE(w.close());
    const auto placement = parsePlacement(stored("fMain"));
    ASSERT_TRUE(placement.has_value());
    EXPECT_LE(placement->height, QGuiApplication::primaryScreen()->availableGeometry().height());
}

TEST_F(Placement, StoredPlacementIsRestoredAndKeptWhileMaximisedOrMinimised) {
    state->settings.SaveSetting(kSettingsSection, "fMain", "30,40,700,500");
    const fMain& restored = makeWindow();
    EXPECT_EQ(QRect(restored.pos(), restored.size()), QRect(30, 40, 700, 500));
    // A window that closes maximised or minimised stores its last normal placement.
    for (const Qt::WindowState shownAs : {Qt::WindowMaximized, Qt::WindowMinimized}) {
        fMain& w = makeWindow();
        w.show();
        w.setWindowState(shownAs);
        QApplication::processEvents();
        ASSERT_TRUE(w.windowState().testFlag(shownAs));
        w.close();
        EXPECT_EQ(stored("fMain"), "30,40,700,500") << int(shownAs);
    }
}

} // namespace
