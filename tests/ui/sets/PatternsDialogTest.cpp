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

QStringList storedKeys(const CRegSettings& settings) {
    QStringList keys;
    for (const auto& [key, value] : settings.GetAllSettings(kSettingsSection))
        if (key.startsWith("Pattern")) keys << key;
    keys.sort();
    return keys;
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

} // namespace
