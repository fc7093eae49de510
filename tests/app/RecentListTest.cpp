#include "app/RecentList.h"
#include "app/OptionKeys.h"
#include "app/RegSettings.h"

#include <gtest/gtest.h>

namespace {

QString freshApp() {
    static int counter = 0;
    return QString("RecentTest%1").arg(++counter);
}

QStringList packageNames(const QString& prefix, int count) {
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << QString("/z/%1%2.zip").arg(prefix).arg(i);
    return out;
}

class RecentList : public ::testing::Test {
  protected:
    void fill(const QStringList& names) {
        // Adding in reverse leaves names[0] in slot 1.
        for (auto it = names.crbegin(); it != names.crend(); ++it)
            AddTheEntry(settings, *it, list);
    }
    QStringList stored() const {
        QStringList out;
        LoadTheEntry(settings, out);
        return out;
    }
    CRegSettings settings{"Brindlecot", freshApp()};
    QStringList list;
};

TEST_F(RecentList, StartsWithNineEmptySlotsAndStoresUnderSlotDigitAndSuffix) {
    LoadTheEntry(settings, list);
    EXPECT_EQ(list, QStringList(9, QString()));
    EXPECT_TRUE(settings.GetAllSettings(kSettingsSection).isEmpty());
    AddTheEntry(settings, "/z/a.zip", list);
    EXPECT_EQ(settings.GetSetting(kSettingsSection, "1File"), "/z/a.zip");
    EXPECT_EQ(settings.GetSetting(kSettingsSection, "9File", "missing"), "");
}

TEST_F(RecentList, SlotFiveMovesToTopAndOnlyOneToFourShift) {
    const QStringList names = packageNames("p", 9);
    fill(names);
    ASSERT_EQ(stored(), names);
    AddTheEntry(settings, names[4], list);
    const QStringList expected = {names[4], names[0], names[1], names[2], names[3],
                                  names[5], names[6], names[7], names[8]};
    EXPECT_EQ(list, expected);
    EXPECT_EQ(stored(), expected);
}

TEST_F(RecentList, TenthPackageDropsSlotNine) {
    const QStringList names = packageNames("p", 9);
    fill(names);
    AddTheEntry(settings, "/z/new.zip", list);
    EXPECT_EQ(list.first(), "/z/new.zip");
    EXPECT_EQ(list.mid(1), names.mid(0, 8));
    EXPECT_FALSE(stored().contains(names[8]));
}

TEST_F(RecentList, TopEntryEmptyNameAndCase) {
    const QStringList names = packageNames("p", 3);
    fill(names);
    const QStringList before = list;
    AddTheEntry(settings, names[0], list);
    EXPECT_EQ(list, before) << "the package already on top leaves the list as it is";
    AddTheEntry(settings, "", list);
    EXPECT_EQ(list, before);
    AddTheEntry(settings, names[2].toUpper(), list);
    EXPECT_EQ(list.mid(0, 4), QStringList({names[2].toUpper(), names[0], names[1], names[2]}))
        << "case counts: a name differing in case is another package";
}

} // namespace
