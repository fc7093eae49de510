#include "viewer/EntryFields.h"

#include <gtest/gtest.h>
#include <tuple>

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

TEST(EntryFields, RatioRoundsHalvesAwayFromZeroAndShowsGrowth) {
    for (const auto& [size, zipped, text] : {std::tuple{0LL, 22LL, "0%"}, // an empty file that grew still reads 0%
                                             std::tuple{3LL, 1LL, "67%"}, std::tuple{8LL, 7LL, "13%"},
                                             std::tuple{8LL, 9LL, "-13%"}, std::tuple{1000LL, 1004LL, "0%"}, // no "-0%"
                                             std::tuple{10LL, 2000LL, "-19,900%"}})
        EXPECT_EQ(EntryFields::ratioText(size, zipped), text) << size << "/" << zipped;
}

// The step texts themselves are checked where the window shows them (OpenPackageTest).
TEST(EntryFields, StatusLines) {
    EXPECT_EQ(EntryFields::sizeText(5368709120LL), "5,368,709,120") << "sizes over 4 GB";
    EXPECT_EQ(EntryFields::packageFileName("/home/u/Zips/Backup.zip"), "Backup.zip");
    EXPECT_EQ(EntryFields::openedStatusText("Backup.zip", 12345, 0, "weekly"),
              "  (Backup.zip)  Files = 12,345  Bytes = 0  Comments = weekly");
}

} // namespace
