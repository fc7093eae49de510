// The pattern dialog: what it shows on first use and later, and that every way of closing it stores the boxes
// exactly as typed.
#include "TestSupport.h"
#include "app/OptionKeys.h"
#include "app/RegSettings.h"
#include "app/ui/DialogHook.h"
#include "app/ui/HelpViewer.h"
#include "sets/ui/fPatterns.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

const char* const kDialogDefaults[] = {"*.*", "", "", "", "", "*.tmp", "*.swp", "system.dat", "pagefile.sys", ""};

QStringList storedKeys(const CRegSettings& settings) {
    QStringList keys;
    for (const auto& [key, value] : settings.GetAllSettings(kSettingsSection))
        if (key.startsWith("Pattern")) keys << key;
    keys.sort();
    return keys;
}

TEST(PatternsDialog, FirstUseShowsTheDialogDefaultsAndStoresNothingYet) {
    CRegSettings settings("Brindlecot", "SetsDialogFirstUse");
    fPatterns dialog(settings);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(dialog.box(i)->text(), QString(kDialogDefaults[i])) << "Text" << i;
    EXPECT_TRUE(storedKeys(settings).isEmpty());
    // Until the dialog has stored it, the other readers do without "pagefile.sys".
    EXPECT_EQ(dialog.reloadedPatterns().exclude[3], "");
}

TEST(PatternsDialog, LoadsStoredValuesIncludingEmptyOnes) {
    CRegSettings settings("Brindlecot", "SetsDialogLoad");
    settings.SaveSetting(kSettingsSection, "Pattern01", "");
    settings.SaveSetting(kSettingsSection, "Pattern03", "*.odt");
    settings.SaveSetting(kSettingsSection, "Pattern09", " *.bak ");
    fPatterns dialog(settings);
    for (const auto& [box, text] :
         {std::pair{0, ""}, std::pair{2, "*.odt"}, std::pair{8, " *.bak "}, std::pair{5, "*.tmp"}})
        EXPECT_EQ(dialog.box(box)->text(), text) << box;
}

TEST(PatternsDialog, EveryWayOfClosingStoresTheBoxesAsTyped) {
    // There is no cancel: Exit, the window's close button and Escape all keep what was typed.
    const std::pair<const char*, void (*)(fPatterns&)> ways[] = {
        {"Exit", [](fPatterns& d) { QTest::mouseClick(d.findChild<QPushButton*>("btnExit"), Qt::LeftButton); }},
        {"close", [](fPatterns& d) { d.close(); }},
        {"Escape", [](fPatterns& d) { QTest::keyClick(d.box(0), Qt::Key_Escape); }}};
    for (const auto& [name, closeIt] : ways) {
        SCOPED_TRACE(name);
        CRegSettings settings("Brindlecot", QString("SetsDialogClose%1").arg(name));
        fPatterns dialog(settings);
        dialog.show();
        dialog.box(0)->setText("  *.doc *.xls ");
        dialog.box(1)->setText("[abc");
        dialog.box(7)->clear();
        closeIt(dialog);
        EXPECT_FALSE(dialog.isVisible());
        const QString expected[] = {"  *.doc *.xls ", "[abc", "", "", "", "*.tmp", "*.swp", "", "pagefile.sys", ""};
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(settings.GetSetting(kSettingsSection, QString("Pattern%1").arg(i + 1, 2, 10, QChar('0')), "-"),
                      expected[i])
                << i;

        const CurrentPatterns current = dialog.reloadedPatterns();
        EXPECT_EQ(current.include[0], "  *.doc *.xls ");
        EXPECT_EQ(current.exclude[2], "");
        EXPECT_EQ(current.exclude[3], "pagefile.sys"); // now stored, so in force for everyone
        EXPECT_FALSE(current.takesFile("/a/b.doc"));   // the blanks are part of the pattern as typed
        EXPECT_TRUE(current.takesFile("[abc"));        // a whole path, "[" taken as itself
    }
}

TEST(PatternsDialog, EditReturnsTheReloadedPatterns) {
    CRegSettings settings("Brindlecot", "SetsDialogEdit");
    settings.SaveSetting(kSettingsSection, "Pattern02", "*.ods");
    DialogHook::setNextAnswer("ok");
    const CurrentPatterns current = fPatterns::edit(settings);
    EXPECT_EQ(current.include[0], "*.*");
    EXPECT_EQ(current.include[1], "*.ods");
    EXPECT_EQ(current.exclude[3], "pagefile.sys");
    EXPECT_EQ(storedKeys(settings).size(), 10);
}

TEST(PatternsDialog, HelpOpensTheHelp) {
    CRegSettings settings("Brindlecot", "SetsDialogHelp");
    fPatterns dialog(settings);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnHelp"), Qt::LeftButton);
    QTextBrowser* browser = currentHelpBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->window()->isVisible());
    EXPECT_TRUE(dialog.isVisible()); // help does not close the dialog
    browser->window()->close();
}

TEST(PatternsDialog, NothingIsCutOff) {
    CRegSettings settings("Brindlecot", "SetsDialogLayout");
    settings.SaveSetting(kSettingsSection, "Pattern01", "*/Application Data/*.tmp");
    fPatterns dialog(settings);
    dialog.show();
    QApplication::processEvents();
    const QRect inside = dialog.rect();
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!w->isVisible() || w->isWindow()) continue;
        const QRect r(w->mapTo(&dialog, QPoint(0, 0)), w->size());
        EXPECT_TRUE(inside.contains(r)) << w->objectName().toStdString();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
    }
    // The longest pattern of the first use fits without scrolling, and so does a typical longer one.
    QLineEdit* box = dialog.box(0);
    EXPECT_GT(box->width(), box->fontMetrics().horizontalAdvance(box->text()) + 8);
}

} // namespace
