#include "utility/FileCipher.h"
#include "UtilityTestHelpers.h"

TEST(FileCipher, FileIsRewrittenWholeAndRestoredByASecondPass) {
    TempDir dir;
    const QByteArray plain = randomBytes(2 * 1024 * 1024 + 12345, 11); // several blocks and a ragged end
    QByteArray ciphered = plain;
    cipherBytes(ciphered, "file key");
    writeFile(dir.file("data"), plain);
    setMode(dir.file("data"), 0640);
    ASSERT_TRUE(cipherFile(dir.file("data"), "file key"));
    EXPECT_EQ(readFile(dir.file("data")), ciphered);
    EXPECT_EQ(modeOf(dir.file("data")), 0640u); // the replacement keeps the original's permissions
    ASSERT_TRUE(cipherFile(dir.file("data"), "file key"));
    EXPECT_EQ(readFile(dir.file("data")), plain);
    EXPECT_EQ(listTree(dir.path()), QStringList({"data"})); // no temporary file left behind

    Status noKey = cipherFile(dir.file("data"), "");
    EXPECT_TRUE(!noKey && !noKey.message().isEmpty());
    Status missing = cipherFile(dir.file("missing"), "k");
    EXPECT_TRUE(!missing && missing.message().contains(dir.file("missing")));
    EXPECT_FALSE(cipherFile(dir.path(), "k"));
    EXPECT_EQ(readFile(dir.file("data")), plain);
}
