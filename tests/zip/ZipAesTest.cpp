// AES packages written by 7-Zip: most of their entries are AE-2, whose CRC field is 0 and whose integrity check is
// the HMAC after the data. They must test and extract with the right password, answer "wrong password" to a wrong
// one, and call damaged data damaged, never a wrong password.

#include "ZipTestTools.h"

#include <QFile>

using namespace ziptest;

namespace {

struct AesCase {
    const char* name;
    const char* level; // 7z -mx: 0 stores, 5 deflates
};

class SevenZipAesTest : public ::testing::TestWithParam<AesCase> {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_files = {{"one.txt", "x"},
                   {"lines.txt", sampleText(200000)},
                   {"sub/random.bin", randomBytes(3 << 20)},
                   {"exact.bin", randomBytes(4096, 3)}}; // a whole number of AES blocks
        writeTree(s_dir->file("src"), s_files, fixedTime(-1));
    }
    static void TearDownTestSuite() { delete s_dir; }

    QString make() const {
        const QString package = s_dir->file(QStringLiteral("aes-%1.zip").arg(GetParam().name));
        if (!QFile::exists(package)) {
            const ToolRun run = runTool("7z",
                                        QStringList{"a", "-tzip", "-bd", "-mem=AES256", "-psecret",
                                                    QStringLiteral("-mx%1").arg(GetParam().level), package} +
                                            s_files.keys(),
                                        s_dir->file("src"));
            EXPECT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
        }
        return package;
    }

    static TempDir* s_dir;
    static QMap<QString, QByteArray> s_files;
};
TempDir* SevenZipAesTest::s_dir = nullptr;
QMap<QString, QByteArray> SevenZipAesTest::s_files;

TEST_P(SevenZipAesTest, RightPasswordTestsAndExtractsEveryEntryAndAWrongOneIsSaidSo) {
    ZipPackage zip;
    ASSERT_EQ(zip.zOpenZipFile(make()), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    for (const ZipEntry& e : zip.entries())
        EXPECT_TRUE(e.isFolder || e.encrypted) << qPrintable(e.storedName());
    QStringList failures;
    EXPECT_EQ(zip.zTestAll("secret", &failures, kNeverCancelled), kZipOk) << qPrintable(failures.join("; "));

    TempDir out;
    ExtractReport report;
    ASSERT_EQ(zip.zExtractAll(out.path(), "secret", {}, kNeverCancelled, {}, &report), kZipOk)
        << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_EQ(report.extracted, 4);
    for (auto it = s_files.cbegin(); it != s_files.cend(); ++it)
        EXPECT_EQ(readFile(out.file(it.key())), it.value()) << qPrintable(it.key());

    EXPECT_EQ(zip.zTestAll("not-it", &failures, kNeverCancelled), kZipFailed);
    EXPECT_EQ(failures.size(), 4);
    for (const QString& failure : failures)
        EXPECT_TRUE(failure.endsWith(": wrong password")) << qPrintable(failure);
    TempDir wrong;
    EXPECT_EQ(zip.zExtractAll(wrong.path(), "not-it", {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(zip.zGetLastErrorAsText().startsWith("Wrong password for ")) << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_EQ(listTree(wrong.path()), QStringList());
}

TEST_P(SevenZipAesTest, DamagedDataIsDamagedNotAWrongPassword) {
    QByteArray bytes = readFile(make());
    // A byte in the middle of the large entry's encrypted data (7z writes the local headers in file order).
    const qsizetype header = bytes.indexOf("sub/random.bin");
    ASSERT_GT(header, 0);
    bytes[header + 100000] = char(bytes[header + 100000] ^ 0x40);
    TempDir dir;
    writeFile(dir.file("bad.zip"), bytes);
    ZipPackage zip;
    ASSERT_EQ(zip.zOpenZipFile(dir.file("bad.zip")), kZipOk);
    QStringList failures;
    EXPECT_EQ(zip.zTestAll("secret", &failures, kNeverCancelled), kZipFailed);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].startsWith("sub/random.bin: ")) << qPrintable(failures[0]);
    EXPECT_TRUE(failures[0].contains("damaged")) << qPrintable(failures[0]);
    EXPECT_FALSE(failures[0].contains("password")) << qPrintable(failures[0]);
}

INSTANTIATE_TEST_SUITE_P(StoredAndDeflated, SevenZipAesTest,
                         ::testing::Values(AesCase{"stored", "0"}, AesCase{"deflated", "5"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
