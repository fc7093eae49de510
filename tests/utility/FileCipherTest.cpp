#include "utility/FileCipher.h"
#include "TestSupport.h"
#include "UtilityTestHelpers.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QByteArray ciphered(QByteArray data, const QByteArray& key, qint64 offset = 0) {
    cipherBytes(data, key, offset);
    return data;
}

} // namespace

TEST(FileCipher, FileIsRewrittenWholeAndRestoredByASecondPass) {
    TempDir dir;
    const QByteArray plain = randomBytes(2 * 1024 * 1024 + 12345, 11); // several blocks and a ragged end
    writeFile(dir.file("data"), plain);
    setMode(dir.file("data"), 0640);
    ASSERT_TRUE(cipherFile(dir.file("data"), "file key"));
    EXPECT_EQ(readFile(dir.file("data")), ciphered(plain, "file key"));
    struct stat status {};
    stat(QFile::encodeName(dir.file("data")).constData(), &status);
    EXPECT_EQ(status.st_mode & 07777, 0640u); // the replacement keeps the original's permissions
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
