#include "app/RegSettings.h"

#include "TestSupport.h"
#include <QFile>
#include <QRect>
#include <QSettings>

namespace {

TEST(Settings, DeleteOfKeyDefaultValueAndSection) {
    CRegSettings s("Brindlecot", testsupport::freshStore());
    s.SaveSetting("Patterns", "Pattern01", "*.*");
    s.SaveSetting("Patterns", "Pattern02", "*.tmp");
    s.SaveSetting("Patterns", "*", "section value");
    s.SaveSetting("Settings", "Options01", "2");
    EXPECT_EQ(s.GetSetting("Patterns", "*"), "section value");

    EXPECT_TRUE(s.DeleteSetting("Patterns", "Pattern01"));
    EXPECT_EQ(s.GetSetting("Patterns", "Pattern01", "gone"), "gone");
    EXPECT_FALSE(s.DeleteSetting("Patterns", "Pattern01")) << "deleting a missing value reports no";

    EXPECT_TRUE(s.DeleteSetting("Patterns", "*"));
    EXPECT_EQ(std::pair(s.GetSetting("Patterns", "*", "none"), s.GetSetting("Patterns", "Pattern02")),
              std::pair(QString("none"), QString("*.tmp")));

    EXPECT_TRUE(s.DeleteSetting("Patterns"));
    EXPECT_TRUE(s.GetAllSettings("Patterns").isEmpty());
    EXPECT_EQ(s.GetSetting("Settings", "Options01"), "2") << "other sections stay";
}

TEST(Settings, FileIsReadableByItsOwnerOnly) {
    CRegSettings s("Brindlecot", testsupport::freshStore());
    s.SaveSetting("Settings", "Optionse4", "secret");
    s.SaveSetting("Settings", "Optionse4", "secret2");
    const auto perms = QFile::permissions(s.fileName());
    EXPECT_EQ(perms &
                  (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    EXPECT_TRUE(perms & QFileDevice::ReadOwner);
}

} // namespace
