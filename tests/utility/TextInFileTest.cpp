#include "utility/TextInFile.h"
#include "TestSupport.h"
#include "UtilityTestHelpers.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(TextInFile, GivesTheOneBasedPositionOfTheFirstExactMatch) {
    TempDir dir;
    writeFile(dir.file("f"), "backup zip backup Zip");
    writeFile(dir.file("binary"), QByteArray("\0\0\x01\0\x02", 5));
    writeFile(dir.file("empty"), "");
    EXPECT_EQ(findTextInFile(dir.file("f"), "backup"), 1);
    EXPECT_EQ(findTextInFile(dir.file("f"), "Zip"), 19); // case matters
    EXPECT_EQ(findTextInFile(dir.file("f"), "backup zip backup Zip"), 1);
    EXPECT_EQ(findTextInFile(dir.file("f"), "backup zip backup Zip!"), 0);
    EXPECT_EQ(findTextInFile(dir.file("binary"), QByteArray("\0\x02", 2)), 4);
    EXPECT_EQ(findTextInFile(dir.file("f"), ""), 0); // an empty needle finds nothing
    EXPECT_EQ(findTextInFile(dir.file("empty"), "x"), 0);
}

TEST(TextInFile, UnreadableIsMinusOne) {
    TempDir dir;
    writeFile(dir.file("secret"), "hidden text");
    setMode(dir.file("secret"), 0);
    setMode(dir.path(), 0755);
    EXPECT_EQ(findTextInFile(dir.file("missing"), "x"), -1);
    EXPECT_EQ(findTextInFile(dir.file("missing"), ""), -1); // unreadable comes before the empty needle
    EXPECT_EQ(findTextInFile(dir.path(), "x"), -1);
    const QString path = dir.file("secret");
    EXPECT_EQ(runUnprivileged([path] { return int(findTextInFile(path, "text") + 1); }), 0);
}

TEST(TextInFile, FindsMatchesAcrossEveryBlockBorder) {
    // Every needle length from every third start against small block sizes, so each straddles some border. The
    // runs ("aaaab") make partial matches at a border that must not hide the real one just after it.
    TempDir dir;
    const QByteArray data = sampleText(300, 7) + "aaaaaaab" + sampleText(40, 8) + "abababac";
    writeFile(dir.file("f"), data);
    for (qint64 block : {1, 2, 3, 5, 8, 13, 64})
        for (int length : {1, 2, 3, 4, 7, 9, 17})
            for (int start = 0; start + length <= data.size(); start += 3)
                ASSERT_EQ(findTextInFile(dir.file("f"), data.mid(start, length), block),
                          data.indexOf(data.mid(start, length)) + 1)
                    << "block " << block << " length " << length << " start " << start;

    // And the real block size, with matches one byte before, one after and right at a border.
    const qsizetype mib = 1 << 20;
    QByteArray big(3 * mib + 100, 'x');
    big.replace(mib - 1, 8, "NEEDLE-1").replace(2 * mib - 7, 8, "NEEDLE-2").replace(3 * mib, 8, "NEEDLE-3");
    writeFile(dir.file("big"), big);
    EXPECT_EQ(findTextInFile(dir.file("big"), "NEEDLE-1"), mib);
    EXPECT_EQ(findTextInFile(dir.file("big"), "NEEDLE-2"), 2 * mib - 6);
    EXPECT_EQ(findTextInFile(dir.file("big"), "NEEDLE-3"), 3 * mib + 1);
    EXPECT_EQ(findTextInFile(dir.file("big"), "NEEDLE-4"), 0);
}
