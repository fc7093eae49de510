// varnhold-cli find and search: the exact output, the index and settings find keeps, usage errors and Ctrl-C.
#include "CliTestUtil.h"
#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

using namespace clitest;

namespace {

QString index(const CliFixture& t) {
    QByteArray bytes = readFile(t.app.file("Varnhold.dat"));
    cipherBytes(bytes, kSetCipherKey);
    return QString::fromUtf8(bytes);
}

/// packages(), then a find of tree/; kept holds the index it left.
void found(CliFixture& t) {
    packages(t);
    ASSERT_EQ(t.run({"find", "--drives", "tree"}).exitCode, 0);
    t.kept = index(t).toUtf8();
}

QString row(const QString& name) {
    return "{dir}/tree/" + QString(name).replace("\t", "\\t") + "\t{size:tree/" + name + "}\n";
}

/// Checks the paths the index holds and the settings stored with it.
Step indexed(const QString& paths, const Given& stored) {
    return all({[=](CliFixture& t) { EXPECT_EQ(index(t), t.expand(paths)); }, settings(stored)});
}

// The drives and the pattern are stored together, as the dialog does.
const Given kTreeDrives = {{"DrivesF", "{dir}/tree/"}, {"FindPattern", "*.*"}};
// The index and the stored drives as the find before left them.
const Step kKept = indexed("{kept}", kTreeDrives);
const Step kOneGone = all({found, [](CliFixture& t) { QFile::remove(t.file("tree/b.zip")); }});

const Case kFind[] = {
    {"Drives", "find --drives tree", row("A dir/c.ZIP") + row("b.zip") + row("broken.zip") + row("tab\there.zip"), "",
     0, packages,
     indexed("{dir}/tree/A dir/c.ZIP\r\n{dir}/tree/b.zip\r\n{dir}/tree/broken.zip\r\n{dir}/tree/tab\there.zip\r\n",
             kTreeDrives)},
    // Inside packages the folder part and the case of entry names are ignored; a broken package is left out.
    {"Entry", "find --entry README.txt", row("b.zip") + row("tab\there.zip"), "", 0, found,
     indexed("{dir}/tree/b.zip\r\n{dir}/tree/tab\there.zip\r\n", {{"FindPattern", "README.txt"}})},
    {"Index", "find --index", row("A dir/c.ZIP") + row("broken.zip") + row("tab\there.zip"), "", 0, kOneGone},
    usage("IndexWithOptions", "find --index --drives /", "find --index takes no other options"),
    {"NoDrives", "find --drives ,", "", says("Please select hard drive(s)."), 1, nullptr,
     disk({{"{app}/Varnhold.dat", {}}})},
    // A root that is not a folder is refused as search refuses it; the index and the stored drives stay as they were.
    {"RootMissing", "find --drives /nonexistent --entry x*", "", says("/nonexistent: no such folder"), 1, found, kKept},
    {"RootAFile", "find --drives tree/b.zip --entry x*", "", says("tree/b.zip: no such folder"), 1, found, kKept},
    {"SecondRootMissing", "find --drives \"tree, missing\" --entry x*", "", says("missing: no such folder"), 1, found,
     kKept},
};
INSTANTIATE_TEST_SUITE_P(find, CliRun, ::testing::ValuesIn(kFind), caseName);

// The same folder twice, once by a path that is not clean: each file is found once.
const QString kRoots = " --drives {dir}/s/b,{dir}/s/a/../a/,{dir}/s/c";
const QString kNewLine = "{dir}/s/a/new\\nline.txt\n", kReport = "{dir}/s/b/Report.txt\n";
const Step kNotStored = settings({{"SSOption3", "<missing>"}}); // flags are not stored
const Given kStoredCriteria = {{"SSOption2", "-1"}, {"so3", "*.BIN"}, {"Drives", "{dir}/s/"}};

const Case kSearch[] = {
    {"Text", "search --text numbers" + kRoots, kNewLine + kReport, "", 0, packages, kNotStored},
    {"AtMostAndName", "search --at-most 9 --name *.txt" + kRoots, kNewLine + kReport, "", 0, packages},
    {"DateRange", "search --name *.dat --date modified --from 01/01/1980 --to 12/31/2107" + kRoots,
     "{dir}/s/c/other.dat\n", "", 0, packages},
    {"StoredCriteria", "search", "{dir}/s/a/big.bin\n", "", 0, packages, nullptr, kStoredCriteria},
    {"NoCriteria", "search --defaults --drives s", "", says("Please enter search options."), 2, packages},
    {"BadStartDate", "search --name * --from 12/31/1979 --to 01/01/2000", "",
     says("Start date invalid - format is mm/dd/yyyy"), 2, packages},
    {"RootMissing", "search --text x --drives s/missing", "", says("s/missing: no such folder"), 1, packages},
};
INSTANTIATE_TEST_SUITE_P(search, CliRun, ::testing::ValuesIn(kSearch), caseName);

TEST_F(CliFixture, AFindInterruptExitsThreeAndLeavesTheIndexAsItWas) {
    found(*this);
    // The signal lands while the find walks this tree: 36,000 files, a few hundred milliseconds of walking.
    manyFiles(file("big"), "zip", 180);
    QProcess find;
    ASSERT_TRUE(start(find, {"find", "--drives", file("big"), "--entry", "x*"}, file("big")));
    expectInterrupted(find, SIGINT, "Find interrupted; the package index was left as it was.");
    EXPECT_EQ(index(*this).toUtf8(), kept);
}

// A path is bytes: a package in a folder named by bytes that are not UTF-8 (or holding a control character) is found,
// kept in the index, and listed, tested and extracted (into a folder named so too), its name printed escaped.
TEST_F(CliFixture, APathThatIsNotTextIsFoundListedTestedAndExtractedByItsBytes) {
    packages(*this);
    for (const QByteArray& name : {QByteArray("lat\xe9"), QByteArray("odd\x01name")}) {
        SCOPED_TRACE(name.toHex().constData());
        const QByteArray root = NativePath::encode(dir.path());
        const QString folder = NativePath::decode(root + "/in " + name),
                      target = NativePath::decode(root + "/to " + name);
        const QString package = folder + '/' + NativePath::decode(name + ".zip");
        ASSERT_EQ(::mkdir(NativePath::encode(folder).constData(), 0755), 0);
        ASSERT_EQ(0,
                  ::link(QFile::encodeName(file("tree/b.zip")).constData(), NativePath::encode(package).constData()));
        const QString shownName = TextUtil::visibleText(NativePath::decode(name + ".zip"));
        const QString row =
            TextUtil::visibleText(package) + "\t" + TextUtil::formatGrouped(*FileOps::regularFileSize(package)) + "\n";
        EXPECT_EQ(run({"find", "--drives", folder}).out, row);
        EXPECT_EQ(run({"find", "--index"}).out, row);
        const QString listed = run({"list", package}).out;
        EXPECT_TRUE(listed.startsWith("ReadMe.txt\t23\t") && listed.contains("  (" + shownName + ")  Files = 1"))
            << listed.toStdString();
        EXPECT_EQ(run({"test", package}).out, shownName + ": 1 entries tested, no errors.\n");
        EXPECT_EQ(run({"extract", package, "--to", target}).out,
                  shownName + " extracted to " + TextUtil::visibleText(target) + "/ (1 files, 0 kept as they were)\n");
        EXPECT_EQ(FileOps::regularFileSize(target + "/docs/ReadMe.txt"), 23);
        // A message names the file as the listing does, each odd byte escaped once.
        const QString gone = NativePath::decode(NativePath::encode(folder) + "/gone " + name + ".zip");
        EXPECT_EQ(run({"list", gone}).err,
                  says("Cannot open " + TextUtil::visibleText(NativePath::display(gone), false) +
                       ": the file does not exist."));
    }
}

} // namespace
