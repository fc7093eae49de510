#include "viewer/EntryFields.h"

#include <gtest/gtest.h>

namespace {

quint16 dosDate(int y, int m, int d) {
    return quint16(((y - 1980) << 9) | (m << 5) | d);
}
quint16 dosTime(int h, int mi, int s) {
    return quint16((h << 11) | (mi << 5) | (s / 2));
}

TEST(EntryFields, ModifiedTextPadsAndHasTwoBlanks) {
    EXPECT_EQ(EntryFields::modifiedText(dosDate(2002, 5, 7), dosTime(9, 4, 0)), "2002/05/07  09:04:00");
    EXPECT_EQ(EntryFields::modifiedText(dosDate(2026, 12, 31), dosTime(23, 59, 58)), "2026/12/31  23:59:58");
    EXPECT_EQ(EntryFields::modifiedText(0, 0), "1980/00/00  00:00:00") << "a zero DOS date is shown as stored";
}

TEST(EntryFields, SizesAreGroupedByThousands) {
    EXPECT_EQ(EntryFields::sizeText(0), "0");
    EXPECT_EQ(EntryFields::sizeText(999), "999");
    EXPECT_EQ(EntryFields::sizeText(1000), "1,000");
    EXPECT_EQ(EntryFields::sizeText(5368709120LL), "5,368,709,120") << "sizes over 4 GB";
}

TEST(EntryFields, RatioRoundsHalvesAwayFromZeroAndShowsGrowth) {
    EXPECT_EQ(EntryFields::ratioText(0, 0), "0%");
    EXPECT_EQ(EntryFields::ratioText(0, 22), "0%") << "an empty file that grew still reads 0%";
    EXPECT_EQ(EntryFields::ratioText(100, 50), "50%");
    EXPECT_EQ(EntryFields::ratioText(100, 100), "0%");
    EXPECT_EQ(EntryFields::ratioText(3, 1), "67%");
    EXPECT_EQ(EntryFields::ratioText(8, 7), "13%");
    EXPECT_EQ(EntryFields::ratioText(8, 9), "-13%");
    EXPECT_EQ(EntryFields::ratioText(100, 105), "-5%");
    EXPECT_EQ(EntryFields::ratioText(1000, 1004), "0%") << "no \"-0%\"";
    EXPECT_EQ(EntryFields::ratioText(10, 2000), "-19,900%");
}

TEST(EntryFields, StatusLines) {
    EXPECT_EQ(EntryFields::packageFileName("/home/u/Zips/Backup.zip"), "Backup.zip");
    EXPECT_EQ(EntryFields::packageFileName("Backup.zip"), "Backup.zip");
    EXPECT_EQ(EntryFields::openedStatusText("Backup.zip", 12345, 0, "weekly"),
              "  (Backup.zip)  Files = 12,345  Bytes = 0  Comments = weekly");
    EXPECT_EQ(EntryFields::buildingStatusText("a.zip"), "  Building zip package index entries for (a.zip)");
    EXPECT_EQ(EntryFields::sortingStatusText("a.zip"), "  Sorting index entries for (a.zip)");
    EXPECT_EQ(EntryFields::sortedStatusText("a.zip"), "  Sort for (a.zip) completed");
    EXPECT_EQ(EntryFields::selectionStatusText("x.txt"), "  x.txt selected, right-click for commands");
}

} // namespace
