// Compression on worker threads: packages hold exactly the files, other programs accept them, libzip copies the
// deflated bytes as they are (no second compression), files that do not shrink are stored, large files (deflated
// in pieces) come out whole, progress counts to the end, and a file that cannot be read fails the compress
// cleanly.

#include "ZipTestTools.h"

#include <libdeflate.h>
#include <zlib.h>

using namespace ziptest;

constexpr qint64 kBig = 20 << 20; // above the size the workers deflate in one go

static size_t libdeflateSize(const QByteArray& data, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    std::vector<char> out(libdeflate_deflate_compress_bound(c, size_t(data.size())));
    const size_t n = libdeflate_deflate_compress(c, data.constData(), size_t(data.size()), out.data(), out.size());
    libdeflate_free_compressor(c);
    return n;
}

class ZipPackTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        const QString src = s_dir->file("src");
        for (int i = 0; i < 160; ++i)
            writeFile(src + QStringLiteral("/tree%1/sub%2/f%3.txt").arg(i % 7).arg(i % 3).arg(i),
                      sampleText(100 + (i * 977) % 40000, i), fixedTime(-(i % 5)));
        for (int i = 0; i < 6; ++i)
            writeFile(src + QStringLiteral("/media/m%1.jpg").arg(i), randomBytes(1000 + i * 30000, 50 + i),
                      fixedTime(-1));
        writeFile(src + "/empty", {}, fixedTime(0));
        s_small = listTree(src);
        writeFile(src + "/big/log.txt", sampleText(int(kBig) + 12345, 77), fixedTime(-3));
        writeFile(src + "/big/video.bin", randomBytes(17 << 20, 78), fixedTime(-3));
        s_all = listTree(src);
    }
    static void TearDownTestSuite() { delete s_dir; }

    static QString src() { return s_dir->file("src"); }
    /// Orders the named files of the source tree into a new package at path.
    static void order(ZipPackage& zip, const QString& path, const QStringList& names) {
        ASSERT_EQ(zip.zCreateNewZip(path), kZipOk);
        for (const QString& name : names)
            ASSERT_EQ(zip.zOrderFile(src() + "/" + name, name, UpdateCode::AddReplace), kZipOk);
    }

    inline static TempDir* s_dir = nullptr;
    inline static QStringList s_small, s_all;
};

TEST_F(ZipPackTest, NormalPackageHoldsEveryFileExactlyWithProgressToTheEnd) {
    TempDir dir;
    const QString package = dir.file("all.zip");
    std::vector<ZipProgress> reports;
    ZipPackage writer;
    order(writer, package, s_all);
    const auto progress = [&](const ZipProgress& p) { reports.push_back(p); };
    ASSERT_EQ(writer.zCompressFiles({}, CompressionLevel::Normal, {}, kNeverCancelled, progress), kZipOk);
    expectPeersAccept(package);

    // What a peer extracts is what we packed.
    const ToolRun unzip = runTool("unzip", {"-q", package, "-d", dir.file("out")});
    ASSERT_EQ(unzip.exitCode, 0) << qPrintable(unzip.err);
    ASSERT_EQ(snapshot(dir.file("out")), snapshot(src()));

    // Stored where deflating does not pay, deflated elsewhere; and the deflated bytes are libdeflate's own,
    // so libzip copied them instead of compressing again.
    const auto rows = pythonRows(package);
    EXPECT_EQ(rows["empty"].method, 0);
    EXPECT_EQ(rows["media/m3.jpg"].method, 0);
    EXPECT_EQ(rows["big/video.bin"].method, 0);
    EXPECT_EQ(rows["big/log.txt"].method, 8);
    OPEN_ZIP(zip, package);
    for (const QString name : {"tree3/sub1/f10.txt", "tree0/sub0/f63.txt"}) {
        EXPECT_EQ(rows[name].method, 8);
        EXPECT_EQ(size_t(zip.entries().at(findEntry(zip, name)).compressedSize),
                  libdeflateSize(readFile(src() + "/" + name), 6))
            << qPrintable(name);
    }
    // The large file went in pieces; it must pack as tightly as zlib does in one stream.
    const QByteArray log = readFile(src() + "/big/log.txt");
    uLongf oneStream = compressBound(uLong(log.size()));
    std::vector<Bytef> buffer(oneStream);
    ASSERT_EQ(
        compress2(buffer.data(), &oneStream, reinterpret_cast<const Bytef*>(log.constData()), uLong(log.size()), 6),
        Z_OK);
    const qint64 pieces = zip.entries().at(findEntry(zip, "big/log.txt")).compressedSize;
    EXPECT_LT(double(pieces), double(oneStream) * 1.005) << pieces << " vs " << oneStream;

    qint64 total = 0;
    for (const QString& name : s_all)
        total += QFileInfo(src() + "/" + name).size();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.front().bytesDone, 0);
    for (size_t i = 1; i < reports.size(); ++i)
        EXPECT_GE(reports[i].bytesDone, reports[i - 1].bytesDone);
    const ZipProgress& last = reports.back();
    EXPECT_EQ(std::tuple(last.bytesDone, last.bytesTotal, last.filesDone, last.filesTotal),
              std::tuple(total, total, qint64(s_all.size()), qint64(s_all.size())));
}

TEST_F(ZipPackTest, FileThatCannotBeReadFailsTheCompressAndLeavesNothing) {
    // The files vanish once the compress has begun (at its first progress report), so the workers meet them
    // missing: one small file read whole, and one large file read in pieces.
    for (const QString victim : {"tree2/sub2/f2.txt", "big/video.bin"}) {
        SCOPED_TRACE(victim.toStdString());
        TempDir dir;
        const QString copy = dir.file("in/victim");
        QDir().mkpath(dir.file("in"));
        ASSERT_EQ(::link(QFile::encodeName(src() + "/" + victim).constData(), QFile::encodeName(copy).constData()), 0);
        ZipPackage zip;
        order(zip, dir.file("p.zip"), s_small);
        ASSERT_EQ(zip.zOrderFile(copy, "victim", UpdateCode::AddReplace), kZipOk);
        const int result = zip.zCompressFiles({}, CompressionLevel::Normal, {}, kNeverCancelled,
                                              [&](const ZipProgress&) { QFile::remove(copy); });
        EXPECT_EQ(result, kZipFailed);
        EXPECT_TRUE(zip.zGetLastErrorAsText().startsWith("Cannot read " + copy)) << qPrintable(copy);
        EXPECT_EQ(listTree(dir.path()), QStringList{}); // no package and no temporary file
    }
}
