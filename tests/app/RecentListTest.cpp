#include "app/RecentList.h"
#include "app/OptionKeys.h"
#include "app/RegSettings.h"

#include "TestSupport.h"

namespace {

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
    CRegSettings settings{"Brindlecot", testsupport::freshStore()};
    QStringList list;
};

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
