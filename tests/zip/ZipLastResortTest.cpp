// What libzip cannot read on its own, read through libarchive: entries compressed with methods libzip 1.7 lacks (as
// 7-Zip writes them) and packages libzip refuses for their extra fields, each made at test time by a peer.

#include "ZipTestTools.h"
#include <QRegularExpression>

using namespace ziptest;

namespace {

const QMap<QString, QByteArray> kSources{
    {"text.txt", sampleText(200000, 3)}, {"sub/more.txt", sampleText(70000, 4)}, {"empty.txt", {}}};

/// The source files, in a folder made once for the whole run.
QString sourceRoot() {
    static TempDir root;
    static const bool written = (writeTree(root.path(), kSources, fixedTime()), true);
    return written ? root.path() : QString();
}

/// Makes package with 7z using method; false when this 7z does not write that method into a zip package.
bool make7z(const QString& package, const QString& method, const QStringList& extra = {}) {
    const QStringList args = QStringList{"a", "-tzip", "-mm=" + method} + extra + QStringList{package};
    return runTool("7z", args + kSources.keys(), sourceRoot()).exitCode == 0;
}

/// Python writes the sources with text.txt's extra field made of fieldHex, then replaces text.txt's name (in both
/// headers) by storedHex; flags are its general purpose flags.
void makeWithExtra(const QString& package, const QString& fieldHex, const QString& storedHex, int flags) {
    python(R"(
import sys, zipfile
package, root, field, stored, flags = sys.argv[1], sys.argv[2], bytes.fromhex(sys.argv[3]), bytes.fromhex(sys.argv[4]), int(sys.argv[5])
with zipfile.ZipFile(package, 'w', zipfile.ZIP_DEFLATED) as z:
    for name in sys.argv[6:]:
        info = zipfile.ZipInfo(name, (2021, 5, 6, 7, 8, 10))
        if name == 'text.txt': info.extra, info.flag_bits = field, flags
        z.writestr(info, open(root + '/' + name, 'rb').read(), zipfile.ZIP_DEFLATED)
data = open(package, 'rb').read()
assert data.count(b'text.txt' + field) == 2
open(package, 'wb').write(data.replace(b'text.txt' + field, stored + field))
)",
           QStringList{package, sourceRoot(), fieldHex, storedHex, QString::number(flags)} + kSources.keys());
}

/// A package made by 7z with the method name, or by Python with fieldHex (see makeWithExtra).
struct Kind {
    const char *name, *fieldHex, *storedHex;
    int flags;
};

class LastResortTest : public ::testing::TestWithParam<Kind> {};

TEST_P(LastResortTest, IsListedTestedAndExtractedByteForByte) {
    TempDir dir;
    const QString package = dir.file("package.zip");
    const Kind& kind = GetParam();
    if (kind.fieldHex)
        makeWithExtra(package, kind.fieldHex, kind.storedHex, kind.flags);
    else if (!make7z(package, kind.name))
        GTEST_SKIP() << "the installed 7z does not write " << kind.name;
    EXPECT_EQ(runTool("7z", {"t", package}).exitCode, 0); // unzip 6 reads none of 7-Zip's newer methods

    const QMap<QString, qint64> expected{{"text.txt", 200000}, {"sub/more.txt", 70000}, {"empty.txt", 0}};
    for (const auto purpose : {ZipPackage::OpenPurpose::Listing, ZipPackage::OpenPurpose::Everything}) {
        OPEN_ZIP(zip, package, purpose);
        QMap<QString, qint64> listed;
        for (const ZipEntry& e : zip.entries())
            if (!e.isFolder) listed.insert(e.storedName(), e.size);
        EXPECT_EQ(listed, expected);
        QStringList failures;
        EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipOk) << qPrintable(failures.join('\n'));
        TempDir out;
        EXPECT_EQ(zip.zExtractAll(out.path(), {}, {}, kNeverCancelled), kZipOk)
            << qPrintable(zip.zGetLastErrorAsText());
        EXPECT_EQ(snapshot(out.path()), kSources);
    }
}

// The extra fields: an extended timestamp followed by one byte that is no field; and a name flagged as UTF-8 that is
// not ("tex\xe9.txt"), with the right one in an Info-ZIP Unicode path field. libzip refuses both packages whole.
INSTANTIATE_TEST_SUITE_P(Methods, LastResortTest,
                         ::testing::Values(Kind{"LZMA", nullptr, nullptr, 0}, Kind{"PPMd", nullptr, nullptr, 0},
                                           Kind{"XZ", nullptr, nullptr, 0}, Kind{"ZSTD", nullptr, nullptr, 0},
                                           Kind{"BZip2", nullptr, nullptr, 0},
                                           Kind{"TrailingExtraByte", "55540500015f5f5f5f01", "746578742e747874", 0},
                                           Kind{"UnicodePathField", "75700d0001195798f5746578742e747874",
                                                "746578e92e747874", 0x800}),
                         [](const auto& info) { return std::string(info.param.name); });

// One LZMA entry damaged, another named to climb out of the target: both are stopped, the rest is extracted.
TEST(LastResortTest, DamagedDataAndHostileNamesInAnLzmaPackageLeaveNothing) {
    TempDir dir;
    const QString package = dir.file("damaged.zip");
    ASSERT_TRUE(make7z(package, "LZMA"));
    python(R"(
import sys, zipfile
info = zipfile.ZipFile(sys.argv[1]).getinfo('text.txt')
data, at = bytearray(open(sys.argv[1], 'rb').read()), info.header_offset
at += 30 + int.from_bytes(data[at + 26:at + 28], 'little') + int.from_bytes(data[at + 28:at + 30], 'little')
data[at + info.compress_size // 2] ^= 0x55
assert data.count(b'sub/more.txt') == 2
open(sys.argv[1], 'wb').write(bytes(data).replace(b'sub/more.txt', b'..//more.txt'))
)",
           {package});
    OPEN_ZIP(zip, package);
    QStringList failures;
    EXPECT_EQ(zip.zTestAll({}, &failures, kNeverCancelled), kZipFailed);
    EXPECT_EQ(failures.replaceInStrings(QRegularExpression(":.*"), ""), QStringList{"text.txt"});
    TempDir out;
    ExtractReport report;
    EXPECT_EQ(zip.zExtractAll(out.file("target"), {}, {}, kNeverCancelled, {}, &report), kZipFailed);
    EXPECT_TRUE(errorHas(zip, "Cannot extract text.txt"));
    EXPECT_EQ(report.refused.replaceInStrings(QRegularExpression(": .*"), ""), QStringList{"..//more.txt"});
    EXPECT_EQ(listTree(out.path()), QStringList{"target/empty.txt"});
}

TEST(LastResortTest, PasswordAndMethodFailuresKeepTheLayersWords) {
    TempDir dir;
    const struct {
        const char* method;
        QStringList extra;
        QString password, message;
    } rows[] = {
        {"LZMA", {"-pSecret"}, "wrong", "Wrong password for text.txt."},
        {"LZMA", {"-pSecret", "-mem=AES256"}, "wrong", "Wrong password for text.txt."},
        {"LZMA", {"-pSecret"}, "", "text.txt: it is encrypted and no password was given"},
        {"Deflate64", {}, "", "Cannot extract text.txt: compression method not supported."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(QString("%1 %2").arg(row.method, row.extra.join(' ')).toStdString());
        const QString package = dir.file(row.method + row.extra.join("") + ".zip");
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
