#include "utility/TextUtil.h"

#include <gtest/gtest.h>
#include <limits>
#include <utility>

using namespace TextUtil;

TEST(TextUtil, FormatsAndParsesGroupedNumbers) {
    const std::pair<qint64, const char*> cases[] = {{0, "0"},
                                                    // clang-format off
                                                    {999, "999"}, {1000, "1,000"}, {-999, "-999"}, {-1000, "-1,000"},
                                                    {100000, "100,000"}, {-1234567, "-1,234,567"},
                                                    {std::numeric_limits<qint64>::max(), "9,223,372,036,854,775,807"},
                                                    {std::numeric_limits<qint64>::min(), "-9,223,372,036,854,775,808"}};
    // clang-format on
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(formatGrouped(value), QString(text));
        bool ok = false;
        EXPECT_EQ(parseGrouped(text, &ok), value);
        EXPECT_TRUE(ok) << text;
    }
    bool ok = false;
    EXPECT_EQ(parseGrouped(" \t1,000 ", &ok), 1000);
    EXPECT_TRUE(ok);
    for (const char* bad : {"", "abc", "1.5", "1,000x", "9,223,372,036,854,775,808"}) {
        EXPECT_EQ(parseGrouped(bad, &ok), 0) << bad;
        EXPECT_FALSE(ok) << bad;
    }
}

TEST(TextUtil, TrimsBlanksTabsAndNulsAtTheEndsOnly) {
    EXPECT_EQ(trimBlanks(QChar(0) + QString(" \tx \ty\t ") + QChar(0)), "x \ty");
    EXPECT_EQ(trimBlanks(" \t "), "");
    EXPECT_EQ(trimBlanks("\nx\n"), "\nx\n"); // line breaks belong to the text
}

TEST(TextUtil, FolderWithSlashAddsOneSlashAndLeavesNoFolderEmpty) {
    for (const auto& [folder, expected] : {std::pair{"/a/b", "/a/b/"}, {"/a/b/", "/a/b/"}, {"/", "/"}, {"", ""}})
        EXPECT_EQ(withSlash(folder), QString(expected)) << folder;
}
