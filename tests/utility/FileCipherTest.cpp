#include "utility/FileCipher.h"
#include "TestSupport.h"
#include "UtilityTestHelpers.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

int sameBytes(const QByteArray& a, const QByteArray& b) {
    int same = 0;
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        same += a[i] == b[i];
    return same;
}

QByteArray ciphered(QByteArray data, const QByteArray& key, qint64 offset = 0) {
    cipherBytes(data, key, offset);
    return data;
}

} // namespace

TEST(FileCipher, BytesDependOnKeyAndPositionAndBlocksJoinUp) {
    const QByteArray zeros(64 * 1024, '\0');
    const QByteArray stream = ciphered(zeros, "secret1"); // the keystream itself; chance alone matches 1 in 256
    EXPECT_LT(sameBytes(stream, zeros), 1000);
    EXPECT_LT(sameBytes(stream, ciphered(zeros, "secret2")), 1000);
    // No short period, be it the key's length, the keystream's word or a multiple of both.
    const QByteArray head = stream.left(4096);
    for (int period = 1; period <= 1024; ++period)
        ASSERT_LT(sameBytes(stream.mid(period, head.size()), head), 100) << "repeats every " << period << " bytes";
    EXPECT_EQ(ciphered(stream, "secret1"), zeros);

    QByteArray joined;
    for (qint64 at = 0, length = 1; at < zeros.size(); at += length, length = length * 3 + 1)
        joined += ciphered(zeros.mid(at, length), "secret1", at);
    EXPECT_EQ(joined, stream);
}

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

TEST(FileCipher, AFailedRewriteLeavesTheFileAsItWas) {
    // A file we may write in a folder where we may not create the temporary file.
    TempDir dir;
    writeFile(dir.file("locked/data"), "plain text");
    setMode(dir.file("locked/data"), 0666);
    setMode(dir.file("locked"), 0555);
    setMode(dir.path(), 0755);
    const QString path = dir.file("locked/data");
    const int result = runUnprivileged([path] {
        const Status status = cipherFile(path, "k");
        return status ? 1 : status.message().contains(path) ? 0 : 2;
    });
    setMode(dir.file("locked"), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(path), "plain text");
    EXPECT_EQ(listTree(dir.path()), QStringList({"locked/data"}));
}
