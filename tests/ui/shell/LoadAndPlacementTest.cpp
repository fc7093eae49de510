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

} // namespace
