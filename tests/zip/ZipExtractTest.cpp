// Extraction and testing: files land where they belong and nowhere else, passwords of both kinds work, a wrong
// one or a cancel leaves nothing behind, and the three options do what the user chose.

#include "ZipTestTools.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <cstdio>

using namespace ziptest;

// A backslash is an ordinary character in a file name on this system and climbs nowhere, so "a\\b.txt" is a file.
// Names of the program's own work files and rebuild journals are refused: a later run would sweep or carry them out.
TEST(ZipSafetyTest, UnsafeNamesAreRefusedWhileSafeEntriesAreExtracted) {
    TempDir dir;
    const QString package = dir.file("evil.zip");
    const QString absolute = "/tmp/" + QFileInfo(dir.path()).fileName() + "-abs.txt";
    python("import sys, zipfile\n"
           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
           "    for name in ['good.txt', 'dir/ok.txt', 'back\\\\slash.txt']: z.writestr(name, b'fine')\n"
           "    for name in ['../evil.txt', sys.argv[2], 'C:/x.txt', '..\\\\x/../../up.txt', 'sub/../../up.txt',\n"
           "                 '.p.zip.rebuild-journal.vhw-7-1', 'd/.p.zip.vhw-7-2']:\n"
           "        z.writestr(zipfile.ZipInfo(name), b'bad')\n"
           "    link = zipfile.ZipInfo('link'); link.create_system = 3; link.external_attr = 0o120777 << 16\n"
           "    z.writestr(link, '/etc')\n",
           {package, absolute});
    OPEN_ZIP(zip, package);
    EXPECT_TRUE(zip.entries()[size_t(findEntry(zip, "link"))].isSymLink);

    ExtractReport report;
    EXPECT_EQ(zip.zExtractAll(dir.file("out/target"), {}, {}, kNeverCancelled, {}, &report), kZipFailed);
    EXPECT_EQ(listTree(dir.file("out")),
              (QStringList{"target/back\\slash.txt", "target/dir/ok.txt", "target/good.txt"}));
    EXPECT_FALSE(QFileInfo::exists(dir.file("evil.txt")));
    EXPECT_FALSE(QFileInfo::exists(absolute));
    EXPECT_EQ(report.extracted, 3);
    ASSERT_EQ(report.refused.size(), 8);
    EXPECT_EQ(report.refused.filter(": ").size(), 8);
    for (const char* line : {"../evil.txt: ", "link: symbolic link", ".p.zip.rebuild-journal.vhw-7-1: "})
        EXPECT_EQ(report.refused.filter(line).size(), 1) << line;
    EXPECT_TRUE(zip.zGetLastErrorAsText().startsWith("8 entries were refused as unsafe"));
    EXPECT_TRUE(errorHas(zip, "C:/x.txt"));

    // Flattening folders must not make "../evil.txt" safe either.
    TempDir flat;
    EXPECT_EQ(zip.zExtractAll(flat.path(), {}, {true, false, false}, kNeverCancelled, {}, &report), kZipFailed);
    EXPECT_EQ(listTree(flat.path()), (QStringList{"back\\slash.txt", "good.txt", "ok.txt"}));
}

// Packages of ZipCrypto from Info-ZIP and 7-Zip and of AES-256 from us.
TEST(ZipPasswordTest, ZipCryptoOfInfoZipAnd7ZipAndOurAes256) {
    TempDir dir;
    writeFile(dir.file("src/secret.txt"), sampleText(30000), fixedTime(-2));
    writeFile(dir.file("src/sub/key.bin"), randomBytes(5000), fixedTime(-2));
    const QString sesame = QString::fromUtf8("s\u00e9same");
    runTool("zip", {"-q", "-r", "-P", "pass word", dir.file("crypt.zip"), "secret.txt", "sub"}, dir.file("src"));
    runTool("7z", {"a", "-tzip", "-bd", "-mem=ZipCrypto", "-ppw7", dir.file("crypt7.zip"), "secret.txt", "sub"},
            dir.file("src"));
    makePackage(dir.file("aes.zip"), dir.file("src"), {"secret.txt", "sub/key.bin"}, CompressionLevel::Normal, sesame);
    expectPeersAccept(dir.file("aes.zip"), sesame, true);
    EXPECT_NE(runTool("7z", {"t", "-bd", "-pwrong", dir.file("aes.zip")}).exitCode, 0);

    for (const auto& [name, password] :
         {std::pair{"crypt.zip", QString("pass word")}, {"crypt7.zip", QString("pw7")}, {"aes.zip", sesame}}) {
        SCOPED_TRACE(name);
        OPEN_ZIP(zip, dir.file(name));
        EXPECT_TRUE(zip.entries().at(findEntry(zip, "secret.txt")).encrypted);
        // The first entry whose password check fails ends the extraction and is the one failure reported.
        TempDir wrong;
        for (const QString& given : {QString("not-it"), QString()}) {
            ExtractReport report;
            EXPECT_EQ(zip.zExtractAll(wrong.path(), given, {}, kNeverCancelled, {}, &report), kZipFailed);
            const QString message = zip.zGetLastErrorAsText();
            // ZipCrypto's one-byte check lets about one wrong password in 256 through: that entry then fails its CRC.
            const bool byChance = !given.isEmpty() && report.failed.size() == 2 && name != QString("aes.zip");
            EXPECT_TRUE(given.isEmpty() ? message.contains("no password")
                                        : message.startsWith("Wrong password for ") || byChance)
                << qPrintable(message);
            EXPECT_EQ(report.failed.size(), byChance ? 2 : 1) << qPrintable(report.failed.join("; "));
            EXPECT_EQ(listTree(wrong.path()), QStringList()); // no partial, empty or temporary file
        }
        TempDir right;
        ASSERT_EQ(zip.zExtractAll(right.path(), password, {}, kNeverCancelled), kZipOk) << qPrintable(name);
        EXPECT_EQ(snapshot(right.path()), snapshot(dir.file("src")));
        QStringList failures;
        EXPECT_EQ(zip.zTestAll(password, &failures, kNeverCancelled), kZipOk);
        EXPECT_EQ(zip.zTestAll("not-it", &failures, kNeverCancelled), kZipFailed);
        EXPECT_EQ(failures.size(), 2);
    }
}

class ZipOptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeTree(m_dir.file("src"), {{"a.txt", "package a"}, {"sub/b.txt", "package b"}, {"sub/deep/c.txt", "c"}},
                  fixedTime(-10));
        writeFile(m_dir.file("src/run.sh"), "#!/bin/sh\n", fixedTime(-10));
        QFile::setPermissions(m_dir.file("src/run.sh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        makePackage(m_dir.file("p.zip"), m_dir.file("src"), {"a.txt", "sub/b.txt", "sub/deep/c.txt", "run.sh"});
        ASSERT_EQ(m_zip.zOpenZipFile(m_dir.file("p.zip")), kZipOk);
    }
    TempDir m_dir, m_out;
    ZipPackage m_zip;
};

TEST_F(ZipOptionsTest, SkipOlderKeepsFilesAsNewAsTheEntryAndReplacesOlderOnes) {
    writeFile(m_out.file("a.txt"), "newer", fixedTime(-5));
    writeFile(m_out.file("sub/b.txt"), "same age", fixedTime(-10, 1)); // same 2-second step as the entry
    writeFile(m_out.file("sub/deep/c.txt"), "older", fixedTime(-11));
    ExtractReport report;
    ASSERT_EQ(m_zip.zExtractAll(m_out.path(), {}, {true, true, true}, kNeverCancelled, {}, &report), kZipOk);
    EXPECT_EQ(readFile(m_out.file("a.txt")), "newer");
    EXPECT_EQ(readFile(m_out.file("sub/b.txt")), "same age");
    EXPECT_EQ(readFile(m_out.file("sub/deep/c.txt")), "c");
    EXPECT_EQ(report.skipped, 2);
}

TEST_F(ZipOptionsTest, WithoutFolderNamesOrForOneEntryOnlyThoseFilesAreWritten) {
    ASSERT_EQ(m_zip.zExtractAll(m_out.file("flat"), {}, {true, false, false}, kNeverCancelled), kZipOk);
    EXPECT_EQ(listTree(m_out.file("flat")), (QStringList{"a.txt", "b.txt", "c.txt", "run.sh"}));
    ASSERT_EQ(m_zip.zExtractOne(findEntry(m_zip, "sub/deep/c.txt"), m_out.file("one"), {}, {}, kNeverCancelled),
              kZipOk);
    EXPECT_EQ(listTree(m_out.file("one")), QStringList{"sub/deep/c.txt"});
    EXPECT_EQ(m_zip.zExtractOne(999, m_out.path(), {}, {}, kNeverCancelled), kZipFailed);
}

// A path is bytes: a package and a target folder named by bytes that are not UTF-8 are opened (for listing too) and
// written as they are, and a message shows such a name escaped.
TEST_F(ZipOptionsTest, APackageAndATargetNamedByBytesThatAreNotText) {
    const QString odd = NativePath::decode(NativePath::encode(m_dir.path()) + "/lat\xe9");
    ASSERT_EQ(
        std::rename(QFile::encodeName(m_dir.file("p.zip")).constData(), NativePath::encode(odd + ".zip").constData()),
        0);
    for (const auto purpose : {ZipPackage::OpenPurpose::Everything, ZipPackage::OpenPurpose::Listing}) {
        OPEN_ZIP(package, odd + ".zip", purpose);
        ASSERT_EQ(package.zExtractAll(odd + " out", {}, {}, kNeverCancelled), kZipOk) << int(purpose);
        EXPECT_EQ(FileOps::regularFileSize(odd + " out/sub/b.txt"), 9);
    }
    EXPECT_EQ(m_zip.zOpenZipFile(odd + ".gone"), kZipFailed);
    EXPECT_EQ(m_zip.zGetLastErrorAsText(), "Cannot open " + m_dir.path() + "/lat\\xE9.gone: the file does not exist.");
}

TEST_F(ZipOptionsTest, TargetThatIsAFileGivesAMessage) {
    writeFile(m_dir.file("plainfile"), "x");
    EXPECT_EQ(m_zip.zExtractAll(m_dir.file("plainfile/out"), {}, {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(errorHas(m_zip, m_dir.file("plainfile")));
    EXPECT_EQ(m_zip.zExtractAll(m_dir.file("plainfile"), {}, {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(errorHas(m_zip, "not a folder"));
}

// Big enough (over 32 MB) that extraction runs on two workers; stored so the fixture is quick to make.
class ZipBigExtractTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        for (int i = 0; i < 5; ++i)
            writeFile(s_dir->file(QStringLiteral("src/part%1.bin").arg(i)), randomBytes(8 << 20, i + 1), fixedTime(-i));
        writeFile(s_dir->file("src/notes.txt"), sampleText(2 << 20), fixedTime(0));
        makePackage(s_dir->file("big.zip"), s_dir->file("src"), listTree(s_dir->file("src")), CompressionLevel::None);
    }
    static void TearDownTestSuite() { delete s_dir; }
    /// Expects the files extracted to out to be whole and returns their names.
    static QStringList expectWhole(const TempDir& out) {
        for (const QString& name : listTree(out.path()))
            EXPECT_EQ(readFile(out.file(name)), readFile(s_dir->file("src/" + name))) << qPrintable(name);
        return listTree(out.path());
    }
    inline static TempDir* s_dir = nullptr;
    void SetUp() override { ASSERT_EQ(m_zip.zOpenZipFile(s_dir->file("big.zip")), kZipOk); }
    ZipPackage m_zip;
    TempDir m_out;
};

TEST_F(ZipBigExtractTest, CancelLeavesOnlyWholeFiles) {
    ExtractReport report;
    CancelToken token;
    const auto cancel = [&](const ZipProgress& p) {
        if (p.bytesDone > 0) token.cancel();
    };
    EXPECT_EQ(m_zip.zExtractAll(m_out.path(), {}, {}, token, cancel, &report), kZipCancelled);
    const QStringList written = expectWhole(m_out);
    EXPECT_EQ(written.filter(".varnhold-"), QStringList()); // no part files
    EXPECT_LT(written.size(), 6);
    EXPECT_EQ(written.size(), report.extracted);
}
