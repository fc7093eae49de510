// AES packages written by 7-Zip: most of their entries are AE-2, whose CRC field is 0 and whose integrity check is
// the HMAC after the data. They must test and extract with the right password, answer "wrong password" to a wrong
// one, and call damaged data damaged, never a wrong password.

#include "ZipTestTools.h"

using namespace ziptest;

// The packages are made with 7z -mx0 (stored) and -mx5 (deflated).
class SevenZipAesTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        writeTree(m_dir.file("src"), m_files, fixedTime(-1));
        const ToolRun run = runTool("7z",
                                    QStringList{"a", "-tzip", "-bd", "-mem=AES256", "-psecret",
                                                QStringLiteral("-mx%1").arg(GetParam()), m_package} +
                                        m_files.keys(),
                                    m_dir.file("src"));
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.out + run.err);
    }
    TempDir m_dir;
    const QString m_package = m_dir.file("aes.zip");
    const QMap<QString, QByteArray> m_files{{"one.txt", "x"},
                                            {"lines.txt", sampleText(200000)},
                                            {"sub/random.bin", randomBytes(3 << 20)},
                                            {"exact.bin", randomBytes(4096, 3)}}; // a whole number of AES blocks
};

TEST_P(SevenZipAesTest, RightPasswordTestsAndExtractsEveryEntryAndAWrongOneIsSaidSo) {
    OPEN_ZIP(zip, m_package);
    for (const ZipEntry& e : zip.entries())
        EXPECT_TRUE(e.isFolder || e.encrypted) << qPrintable(e.storedName());
    QStringList failures;
    EXPECT_EQ(zip.zTestAll("secret", &failures, kNeverCancelled), kZipOk) << qPrintable(failures.join("; "));

    TempDir out;
    ExtractReport report;
    ASSERT_EQ(zip.zExtractAll(out.path(), "secret", {}, kNeverCancelled, {}, &report), kZipOk)
        << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_EQ(report.extracted, 4);
    EXPECT_EQ(snapshot(out.path()), m_files);

    EXPECT_EQ(zip.zTestAll("not-it", &failures, kNeverCancelled), kZipFailed);
    EXPECT_EQ(failures.size(), 4);
    EXPECT_EQ(failures.filter(": wrong password").size(), 4) << qPrintable(failures.join("; "));
    TempDir wrong;
    EXPECT_EQ(zip.zExtractAll(wrong.path(), "not-it", {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(zip.zGetLastErrorAsText().startsWith("Wrong password for ")) << qPrintable(zip.zGetLastErrorAsText());
    EXPECT_EQ(listTree(wrong.path()), QStringList());
}

TEST_P(SevenZipAesTest, DamagedDataIsDamagedNotAWrongPassword) {
    QByteArray bytes = readFile(m_package);
    // A byte in the middle of the large entry's encrypted data (7z writes the local headers in file order).
    const qsizetype header = bytes.indexOf("sub/random.bin");
    ASSERT_GT(header, 0);
    bytes[header + 100000] = char(bytes[header + 100000] ^ 0x40);
    writeFile(m_package, bytes);
    OPEN_ZIP(zip, m_package);
    QStringList failures;
    EXPECT_EQ(zip.zTestAll("secret", &failures, kNeverCancelled), kZipFailed);
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].startsWith("sub/random.bin: ") && failures[0].contains("damaged") &&
                !failures[0].contains("password"))
        << qPrintable(failures[0]);
}

INSTANTIATE_TEST_SUITE_P(StoredAndDeflated, SevenZipAesTest, ::testing::Values("0", "5"),
                         [](const auto& info) { return std::string(info.param[0] == '0' ? "stored" : "deflated"); });
