// Packages libzip cannot read on its own, read through libarchive: entries compressed with methods libzip 1.7
// lacks (as 7-Zip writes them), and packages libzip refuses for their extra fields. Each is made at test time by
// the peer that writes such packages.

#include "ZipTestTools.h"

#include <QRegularExpression>

using namespace ziptest;

namespace {

const QMap<QString, QByteArray>& sources() {
    static const QMap<QString, QByteArray> files{
        {"text.txt", sampleText(200000, 3)}, {"sub/more.txt", sampleText(70000, 4)}, {"empty.txt", {}}};
    return files;
}

/// The source files below a folder made once for the whole run.
QString sourceRoot() {
    static TempDir root;
    static const bool written = (writeTree(root.path(), sources(), fixedTime()), true);
    (void)written;
    return root.path();
}

/// Makes package with 7z using method; false when this 7z does not write that method into a zip package.
bool make7z(const QString& package, const QString& method, const QStringList& extra = {}) {
    const ToolRun run =
        runTool("7z", QStringList{"a", "-tzip", "-mm=" + method} + extra + QStringList{package} + sources().keys(),
                sourceRoot());
    return run.exitCode == 0;
}

/// A package Python writes with an extended timestamp field followed by one byte that forms no field, in both
/// headers: libzip refuses it as inconsistent, unzip and 7z read it.
void makeTrailingExtra(const QString& package) {
    python(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for name in sys.argv[3:]:
        info = zipfile.ZipInfo(name, (2021, 5, 6, 7, 8, 10))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.extra = bytes.fromhex('55540500015f5f5f5f01')
        z.writestr(info, open(sys.argv[2] + '/' + name, 'rb').read())
)",
           QStringList{package, sourceRoot()} + sources().keys());
}

/// A package whose entry text.txt has a name flagged as UTF-8 that is not, with the right name in an Info-ZIP
/// Unicode path field: libzip refuses the whole package, 7z reads it, and libarchive takes the field's name.
void makeUnicodePathField(const QString& package) {
    python(R"(
import struct, sys, zipfile, zlib
bad = b'tex\xe9.txt'
field = struct.pack('<BI', 1, zlib.crc32(bad)) + b'text.txt'
extra = struct.pack('<HH', 0x7075, len(field)) + field
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for name in sys.argv[3:]:
        info = zipfile.ZipInfo(name, (2021, 5, 6, 7, 8, 10))
        info.compress_type = zipfile.ZIP_DEFLATED
        if name == 'text.txt':
            info.flag_bits |= 0x800
            info.extra = extra
        z.writestr(info, open(sys.argv[2] + '/' + name, 'rb').read())
data = open(sys.argv[1], 'rb').read()
assert data.count(b'text.txt' + extra) == 2
open(sys.argv[1], 'wb').write(data.replace(b'text.txt' + extra, bad + extra))
)",
           QStringList{package, sourceRoot()} + sources().keys());
}

/// Flips a byte in the middle of the compressed data of entry name.
void damageEntry(const QString& package, const QString& name) {
    python(R"(
import sys, zipfile, struct
info = zipfile.ZipFile(sys.argv[1]).getinfo(sys.argv[2])
data = bytearray(open(sys.argv[1], 'rb').read())
start = info.header_offset + 30 + sum(struct.unpack('<HH', data[info.header_offset + 26:info.header_offset + 30]))
data[start + info.compress_size // 2] ^= 0x55
open(sys.argv[1], 'wb').write(bytes(data))
)",
           {package, name});
}

QMap<QString, qint64> sizes(const ZipPackage& zip) {
    QMap<QString, qint64> out;
    for (const ZipEntry& e : zip.entries())
        if (!e.isFolder) out.insert(e.storedName(), e.size);
    return out;
}

struct Kind {
    const char* name;
    std::function<bool(const QString& package)> make; // false: the peer cannot write it here
};

void PrintTo(const Kind& kind, std::ostream* os) {
    *os << kind.name;
}

class LastResortTest : public ::testing::TestWithParam<Kind> {};

TEST_P(LastResortTest, IsListedTestedAndExtractedByteForByte) {
    TempDir dir;
    const QString package = dir.file("package.zip");
    if (!GetParam().make(package)) GTEST_SKIP() << "the installed 7z does not write " << GetParam().name;
    // unzip 6 reads none of 7-Zip's newer methods; 7z reads them all.
    EXPECT_EQ(runTool("7z", {"t", package}).exitCode, 0);

    QMap<QString, qint64> expected;
    for (auto it = sources().cbegin(); it != sources().cend(); ++it)
        expected.insert(it.key(), it.value().size());
    for (const ZipPackage::OpenPurpose purpose :
         {ZipPackage::OpenPurpose::Listing, ZipPackage::OpenPurpose::Everything}) {
        OPEN_ZIP(zip, package, purpose);
        EXPECT_EQ(sizes(zip), expected);
        QStringList failures;
        EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
        EXPECT_EQ(failures, QStringList());
        TempDir out;
        ExtractReport report;
        EXPECT_EQ(zip.zExtractAll(out.path(), {}, {}, kNeverCancelled, {}, &report), kZipOk)
            << qPrintable(zip.zGetLastErrorAsText());
        EXPECT_EQ(report.extracted, sources().size());
        EXPECT_EQ(snapshot(out.path()), sources());
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, LastResortTest,
                         ::testing::Values(Kind{"LZMA", [](const QString& p) { return make7z(p, "LZMA"); }},
                                           Kind{"PPMd", [](const QString& p) { return make7z(p, "PPMd"); }},
                                           Kind{"XZ", [](const QString& p) { return make7z(p, "XZ"); }},
                                           Kind{"ZSTD", [](const QString& p) { return make7z(p, "ZSTD"); }},
                                           Kind{"BZip2", [](const QString& p) { return make7z(p, "BZip2"); }},
                                           Kind{"UnicodePathField",
                                                [](const QString& p) {
                                                    makeUnicodePathField(p);
                                                    return true;
                                                }},
                                           Kind{"TrailingExtra",
                                                [](const QString& p) {
                                                    makeTrailingExtra(p);
                                                    return true;
                                                }}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LastResortTest, DamagedLzmaDataFailsTheTestAndExtractionLeavesNothing) {
    TempDir dir;
    const QString package = dir.file("damaged.zip");
    ASSERT_TRUE(make7z(package, "LZMA"));
    damageEntry(package, "text.txt");
    OPEN_ZIP(zip, package);
    QStringList failures;
    EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipFailed);
    EXPECT_EQ(failures.replaceInStrings(QRegularExpression(":.*"), ""), QStringList{"text.txt"});
    TempDir out;
    EXPECT_EQ(zip.zExtractOne(findEntry(zip, "text.txt"), out.path(), {}, {}, kNeverCancelled), kZipFailed);
    EXPECT_TRUE(errorHas(zip, "Cannot extract text.txt"));
    EXPECT_EQ(listTree(out.path()), QStringList());
}

TEST(LastResortTest, HostileNameInAnLzmaPackageIsRefused) {
    TempDir dir;
    writeFile(dir.file("src/zzzz"), "escape\n");
    const QString package = dir.file("hostile.zip");
    ASSERT_EQ(runTool("7z", {"a", "-tzip", "-mm=LZMA", package, "zzzz"}, dir.file("src")).exitCode, 0);
    QByteArray bytes = readFile(package);
    ASSERT_EQ(bytes.count("zzzz"), 2); // the local and the central name
    writeFile(package, bytes.replace("zzzz", "../x"));
    OPEN_ZIP(zip, package);
    TempDir out;
    ExtractReport report;
    EXPECT_EQ(zip.zExtractAll(out.file("target"), {}, {}, kNeverCancelled, {}, &report), kZipFailed);
    ASSERT_EQ(report.refused.size(), 1);
    EXPECT_TRUE(report.refused[0].startsWith("../x: ")) << qPrintable(report.refused[0]);
    EXPECT_EQ(listTree(out.path()), QStringList());
}

TEST(LastResortTest, PasswordAndMethodFailuresKeepTheLayersWords) {
    TempDir dir;
    struct Row {
        const char* method;
        QStringList extra;
        QString password;
        QString message;
    };
    const Row rows[] = {
        {"LZMA", {"-pSecret"}, "wrong", "Wrong password for text.txt."},
        {"LZMA", {"-pSecret", "-mem=AES256"}, "wrong", "Wrong password for text.txt."},
        {"LZMA", {"-pSecret"}, "", "text.txt: it is encrypted and no password was given"},
        {"Deflate64", {}, "", "Cannot extract text.txt: compression method not supported."},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(QString("%1 %2").arg(row.method, row.extra.join(' ')).toStdString());
        const QString package = dir.file(QString("p%1.zip").arg(++n));
        ASSERT_TRUE(make7z(package, row.method, row.extra));
        OPEN_ZIP(zip, package);
        TempDir out;
        EXPECT_EQ(zip.zExtractOne(findEntry(zip, "text.txt"), out.path(), row.password, {}, kNeverCancelled),
                  kZipFailed);
        EXPECT_TRUE(errorHas(zip, row.message));
        EXPECT_EQ(listTree(out.path()), QStringList());
    }
}

} // namespace
