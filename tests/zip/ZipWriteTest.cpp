// Creating, updating and deleting: what we write is what other programs read, update codes compare times the way
// the user expects, and a package changes only when the operation succeeds.

#include "ZipTestTools.h"

#include <tuple>

using namespace ziptest;

TEST(ZipCreateTest, NamesTimesModesAndCommentAreStored) {
    TempDir dir;
    const QString unicode = QString::fromUtf8("d\u00e9j\u00e0 vu/\u65e5\u672c.txt"),
                  comment = QString::fromUtf8("Notes \u00e9");
    writeFile(dir.file("src/" + unicode), "unicode", fixedTime(-7, 3600));
    writeFile(dir.file("src/plain.txt"), "ascii", fixedTime(-1));
    QFile::setPermissions(dir.file("src/plain.txt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ZipPackage zip;
    ASSERT_EQ(zip.zCreateNewZip(dir.file("p.zip")), kZipOk);
    ASSERT_EQ(zip.zOrderFile(dir.file("src/" + unicode), unicode, UpdateCode::AddReplace), kZipOk);
    ASSERT_EQ(zip.zOrderFile(dir.file("src/plain.txt"), "", UpdateCode::AddReplace), kZipOk); // name alone
    ASSERT_EQ(zip.zCompressFiles({}, CompressionLevel::Normal, comment, kNeverCancelled), kZipOk)
        << qPrintable(comment);
    EXPECT_FALSE(zip.entries().empty()); // the new package is open for browsing afterwards
    EXPECT_EQ(zip.zGetComment(), comment);
    expectPeersAccept(dir.file("p.zip"));

    const auto rows = pythonRows(dir.file("p.zip"));
    ASSERT_TRUE(rows.contains(unicode) && rows.contains("plain.txt"));
    EXPECT_EQ(std::tuple(rows[unicode].flagBits & 0x800, rows[unicode].time), std::tuple(0x800, fixedTime(-7, 3600)));
    EXPECT_EQ(std::tuple(rows["plain.txt"].flagBits & 0x800, rows["plain.txt"].time, rows["plain.txt"].unixMode & 0777),
              std::tuple(0, fixedTime(-1), 0640u));
}

TEST(ZipCreateTest, RequestsThatCannotBeMetFailClearly) {
    TempDir dir;
    writeFile(dir.file("a.txt"), "a");
    ZipPackage zip;
    EXPECT_EQ(zip.zOrderFile(dir.file("a.txt"), "", UpdateCode::AddReplace), kZipFailed); // nothing to add to
    ASSERT_EQ(zip.zCreateNewZip(dir.file("new.zip")), kZipOk);
    EXPECT_EQ(zip.zCompressFiles({}, CompressionLevel::Normal, {}, kNeverCancelled), kZipFailed);
    EXPECT_EQ(zip.zOrderFile(dir.file("missing.txt"), "", UpdateCode::AddReplace), kZipFailed);
    EXPECT_TRUE(errorHas(zip, "missing.txt"));
    EXPECT_FALSE(QFile::exists(dir.file("new.zip")));
    EXPECT_EQ(zip.zCreateNewZip(dir.file("no/such/folder/x.zip")), kZipFailed);
}

class ZipUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeTree(m_dir.file("src"), {{"a.txt", "old a"}, {"b.txt", "old b"}}, fixedTime(-1));
        makePackage(m_package, m_dir.file("src"), {"a.txt", "b.txt"});
        m_before = readFile(m_package);
        writeTree(m_dir.file("src"), {{"a.txt", "new a"}, {"c.txt", "new c"}}, fixedTime(0)); // a day newer
    }
    /// Opens the package and orders the named files from src with code; returns what zCompressFiles returns.
    int order(UpdateCode code, const QStringList& names, const CancelToken& token = kNeverCancelled,
              CompressionLevel level = CompressionLevel::Normal, const ZipProgressCallback& progress = {}) {
        EXPECT_EQ(m_zip.zOpenZipFile(m_package), kZipOk);
        for (const QString& name : names) { // Add/Replace takes every file; the package itself is skipped later
            const QString path = name.startsWith('/') ? name : m_dir.file("src/" + name);
            EXPECT_TRUE(m_zip.zOrderFile(path, QFileInfo(name).fileName(), code) == kZipOk ||
                        code != UpdateCode::AddReplace);
        }
        return m_zip.zCompressFiles({}, level, {}, token, progress);
    }
    QByteArray contentOf(const QString& name) {
        TempDir out;
        EXPECT_EQ(m_zip.zExtractOne(findEntry(m_zip, name), out.path(), {}, {}, kNeverCancelled), kZipOk);
        return readFile(out.file(name));
    }
    TempDir m_dir;
    QString m_package = m_dir.file("p.zip");
    ZipPackage m_zip;
    QByteArray m_before;
};

// b.txt on disk is older than its entry: only Add/Replace takes it. a.txt is newer, c.txt is not packed yet.
TEST_F(ZipUpdateTest, EachUpdateCodeComparesTimesAsTheUserExpects) {
    writeFile(m_dir.file("src/b.txt"), "older b", fixedTime(-2));
    for (const auto& [code, names, b] :
         {std::tuple{UpdateCode::Freshen, QStringList{"a.txt", "b.txt"}, "old b"},
          std::tuple{UpdateCode::Update, QStringList{"a.txt", "b.txt", "c.txt"}, "old b"},
          std::tuple{UpdateCode::AddReplace, QStringList{"a.txt", "b.txt", "c.txt"}, "older b"}}) {
        SCOPED_TRACE(int(code));
        writeFile(m_package, m_before);
        ASSERT_EQ(order(code, {"a.txt", "b.txt", "c.txt"}), kZipOk) << qPrintable(m_zip.zGetLastErrorAsText());
        EXPECT_EQ(storedNames(m_zip), names);
        EXPECT_EQ(contentOf("a.txt"), "new a");
        EXPECT_EQ(contentOf("b.txt"), b);
        expectPeersAccept(m_package);
    }
}

TEST_F(ZipUpdateTest, FailureOrCancelLeavesThePackageByteForByte) {
    writeFile(m_dir.file("src/big.bin"), randomBytes(6 << 20), fixedTime(0));
    const QStringList filesBefore = listTree(m_dir.path());
    // The job's token is set while it runs, or was set before it started.
    for (const bool before : {false, true}) {
        SCOPED_TRACE(before);
        CancelToken token;
        if (before) token.cancel();
        QStringList calls;
        const auto progress = [&](const ZipProgress& p) {
            calls << QString::number(p.bytesDone);
            if (p.bytesDone > 0) token.cancel();
        };
        EXPECT_EQ(order(UpdateCode::AddReplace, {"big.bin"}, token, CompressionLevel::Maximum, progress), kZipCancelled)
            << qPrintable(m_zip.zGetLastErrorAsText() + " after reports at bytes " + calls.join(", "));
        EXPECT_GE(calls.size(), before ? 0 : 2);
        EXPECT_EQ(readFile(m_package), m_before);
        EXPECT_EQ(listTree(m_dir.path()), filesBefore); // libzip's temporary file is gone too
    }

    // A file that vanishes between ordering and compressing fails the whole compress.
    ASSERT_EQ(m_zip.zOpenZipFile(m_package), kZipOk);
    ASSERT_EQ(m_zip.zOrderFile(m_dir.file("src/c.txt"), "c.txt", UpdateCode::AddReplace), kZipOk);
    QFile::remove(m_dir.file("src/c.txt"));
    EXPECT_EQ(m_zip.zCompressFiles({}, CompressionLevel::Normal, {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(errorHas(m_zip, "c.txt"));
    EXPECT_EQ(readFile(m_package), m_before);
}

// By its own path, through a linked folder or as a hard link: the same file is the package.
TEST_F(ZipUpdateTest, PackageIsNeverAddedToItself) {
    ASSERT_TRUE(QFile::link(m_dir.path(), m_dir.file("via")));
    ASSERT_EQ(::link(QFile::encodeName(m_package).constData(), QFile::encodeName(m_dir.file("hard.zip")).constData()),
              0);
    ASSERT_EQ(order(UpdateCode::AddReplace, {m_package, m_dir.file("via/p.zip"), m_dir.file("hard.zip"), "c.txt"}),
              kZipOk);
    EXPECT_EQ(storedNames(m_zip), (QStringList{"a.txt", "b.txt", "c.txt"}));
}

// Mended: deleting entries replaced a linked package with a plain file of default mode beside the link.
TEST(ZipDeleteTest, APackageBehindALinkChangesWhereItIsAndKeepsItsMode) {
    TempDir dir;
    writeTree(dir.file("src"), {{"a.txt", "a"}, {"b.txt", "b"}}, fixedTime(0));
    makePackage(dir.file("real.zip"), dir.file("src"), {"a.txt", "b.txt"});
    ASSERT_EQ(::chmod(QFile::encodeName(dir.file("real.zip")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(dir.file("real.zip"), dir.file("link.zip")));
    ZipPackage zip;
    for (int round = 0; round < 2; ++round) { // one entry of two, then the last one
        ASSERT_EQ(zip.zOpenZipFile(dir.file("link.zip")), kZipOk);
        zip.zSelectFile(0);
        ASSERT_EQ(zip.zDeleteFiles(), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
        EXPECT_TRUE(QFileInfo(dir.file("link.zip")).isSymLink());
        struct stat st {};
        ::stat(QFile::encodeName(dir.file("real.zip")).constData(), &st);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  QStringList({"link.zip", "real.zip"}));
    }
    EXPECT_EQ(zip.zGetTotalFiles(), 0);
}
