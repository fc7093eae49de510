// The small rules of the build: the .zip name, stored names, the zip settings values, the two percentages.
#include "backup/BuildJob.h"

#include <gtest/gtest.h>

namespace {

TEST(BuildRules, NamesAndSettingsValues) {
    for (const char* good : {"Backup.zip", "Test.Zip", "week.2024.ZiP", "zip"})
        EXPECT_TRUE(hasZipExtension(good));
    for (const char* bad : {"Backup", "Backup.zip.txt", "Backup.", "Backup.zipx"})
        EXPECT_FALSE(hasZipExtension(bad));

    EXPECT_EQ(storedNameFor("/home/ann/Data/report.txt", true), "home/ann/Data/report.txt");
    EXPECT_EQ(storedNameFor("/home/ann/Data/report.txt", false), "");

    EXPECT_EQ(CompressionLevels::fromOption("1"), CompressionLevel::None);
    EXPECT_EQ(CompressionLevels::fromOption("4"), CompressionLevel::Maximum);
    EXPECT_EQ(UpdateCodes::fromOption("2"), UpdateCode::Freshen);
    EXPECT_EQ(UpdateCodes::fromOption("3"), UpdateCode::Update);
    EXPECT_EQ(spanSizeFrom(true, false, false, "1457664"), -1);
    EXPECT_EQ(spanSizeFrom(true, true, false, ""), 0) << "a later choice that is set wins";
    EXPECT_EQ(spanSizeFrom(true, true, true, "728822"), 728822);
}

TEST(BuildRules, PercentagesRoundStayInRangeAndWrap) {
    // The third has more files than the grid counted.
    EXPECT_EQ(
        QList<int>({selectingPercent(1, 3), selectingPercent(2, 3), selectingPercent(5, 3), selectingPercent(1, 0)}),
        QList<int>({33, 67, 100, 100}));

    CompressPercent percent;
    EXPECT_EQ(percent.next(0, 1000), 0) << "before anything moved, 0 is 0";
    EXPECT_EQ(percent.next(255, 1000), 26);
    EXPECT_EQ(percent.next(0, 1000), 100) << "a position that wrapped reads as done";
    EXPECT_EQ(percent.next(5000, 1000), 100);
    EXPECT_EQ(CompressPercent().next(1073741824LL, 2147483648LL), 50) << "positions past 32 bits";
}

} // namespace
