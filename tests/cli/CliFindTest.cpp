// varnhold-cli find and search: the exact output, the index and settings find keeps, usage errors and Ctrl-C.
#include "CliTestUtil.h"
#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/TextUtil.h"

#include <csignal>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clitest;

namespace {

/// packages(), then a find of tree/; kept holds the index it left.
void found(CliFixture& t) {
    packages(t);
    ASSERT_EQ(t.run({"find", "--drives", "tree"}).exitCode, 0);
    t.kept = readFile(t.app.file("Varnhold.dat"));
}

QString row(const QString& name) {
    QString shown = name;
    return "{dir}/tree/" + shown.replace("\t", "\\t") + "\t{size:tree/" + name + "}\n";
}

QString index(const CliFixture& t) {
    QByteArray bytes = readFile(t.app.file("Varnhold.dat"));
    cipherBytes(bytes, kSetCipherKey);
    return QString::fromUtf8(bytes);
}

const Step kUnchanged = [](CliFixture& t) {
    EXPECT_EQ(readFile(t.app.file("Varnhold.dat")), t.kept);
    EXPECT_EQ(CliFixture::setting("DrivesF"), t.file("tree/"));
    EXPECT_EQ(CliFixture::setting("FindPattern"), "*.*");
};
const Step kAllIndexed = [](CliFixture& t) {
    EXPECT_EQ(index(t), t.expand("{dir}/tree/A dir/c.ZIP\r\n{dir}/tree/b.zip\r\n{dir}/tree/broken.zip\r\n"
                                 "{dir}/tree/tab\there.zip\r\n"));
    EXPECT_EQ(CliFixture::setting("DrivesF"), t.file("tree/"));
    EXPECT_EQ(CliFixture::setting("FindPattern"), "*.*") << "stored with the drives, as the dialog does";
};
const Step kHoldersIndexed = [](CliFixture& t) {
    EXPECT_EQ(index(t), t.expand("{dir}/tree/b.zip\r\n{dir}/tree/tab\there.zip\r\n"));
    EXPECT_EQ(CliFixture::setting("FindPattern"), "README.txt");
};
const Step kOneGone = [](CliFixture& t) {
    found(t);
    QFile::remove(t.file("tree/b.zip"));
};
const Step kNoIndex = [](CliFixture& t) { EXPECT_FALSE(QFileInfo::exists(t.app.file("Varnhold.dat"))); };

const Case kFind[] = {
    {"Drives", "find --drives tree", row("A dir/c.ZIP") + row("b.zip") + row("broken.zip") + row("tab\there.zip"), "",
     0, packages, kAllIndexed},
    // Inside packages the folder part and the case of entry names are ignored; a broken package is left out.
    {"Entry", "find --entry README.txt", row("b.zip") + row("tab\there.zip"), "", 0, found, kHoldersIndexed},
    {"Index", "find --index", row("A dir/c.ZIP") + row("broken.zip") + row("tab\there.zip"), "", 0, kOneGone},
    usage("NamesGiven", "find x.zip", "find takes no file names"),
    usage("IndexWithOptions", "find --index --drives /", "find --index takes no other options"),
    usage("EntryMatchesAll", "find --entry *.*", "Please enter file name pattern, example: 'read*.txt'"),
    {"NoDrives", "find --drives ,", "", "varnhold-cli: Please select hard drive(s).\n", 1, nullptr, kNoIndex},
    // A root that is not a folder is refused as search refuses it; the index and the stored drives stay as they were.
    {"RootMissing", "find --drives /nonexistent --entry x*", "", "varnhold-cli: /nonexistent: no such folder\n", 1,
     found, kUnchanged},
    {"RootAFile", "find --drives tree/b.zip --entry x*", "", "varnhold-cli: tree/b.zip: no such folder\n", 1, found,
     kUnchanged},
    {"SecondRootMissing", "find --drives \"tree, missing\" --entry x*", "", "varnhold-cli: missing: no such folder\n",
     1, found, kUnchanged},
};
INSTANTIATE_TEST_SUITE_P(find, CliRun, ::testing::ValuesIn(kFind), caseName);

// The same folder twice, once by a path that is not clean: each file is found once.
const QString kRoots = " --drives {dir}/s/b,{dir}/s/a/../a/,{dir}/s/c";
const QString kNewLine = "{dir}/s/a/new\\nline.txt\n", kReport = "{dir}/s/b/Report.txt\n";
const Step kNotStored = [](CliFixture&) {
    EXPECT_EQ(CliFixture::setting("SSOption3"), "<missing>") << "flags are not stored";
};

const Given kStoredCriteria = {{"SSOption2", "-1"}, {"so3", "*.BIN"}, {"Drives", "{dir}/s/"}};

const Case kSearch[] = {
    {"Text", "search --text numbers" + kRoots, kNewLine + kReport, "", 0, packages, kNotStored},
    {"MatchCase", "search --text numbers --match-case" + kRoots, kNewLine, "", 0, packages},
    {"AtLeast", "search --at-least 10" + kRoots, "{dir}/s/a/big.bin\n", "", 0, packages},
    {"AtMostAndName", "search --at-most 9 --name *.txt" + kRoots, kNewLine + kReport, "", 0, packages},
    {"DateRange", "search --name *.dat --date modified --from 01/01/1980 --to 12/31/2107" + kRoots,
     "{dir}/s/c/other.dat\n", "", 0, packages},
    {"OutsideDateRange", "search --name *.dat --from 01/01/1980 --to 01/01/1981" + kRoots, "", "", 0, packages},
    {"StoredCriteria", "search", "{dir}/s/a/big.bin\n", "", 0, packages, nullptr, kStoredCriteria},
    {"NoCriteria", "search --defaults --drives s", "", "varnhold-cli: Please enter search options.\n", 2, packages},
    {"BadStartDate", "search --name * --from 12/31/1979 --to 01/01/2000", "",
     "varnhold-cli: Start date invalid - format is mm/dd/yyyy\n", 2, packages},
    {"RootMissing", "search --text x --drives s/missing", "", "varnhold-cli: s/missing: no such folder\n", 1, packages},
};
INSTANTIATE_TEST_SUITE_P(search, CliRun, ::testing::ValuesIn(kSearch), caseName);

TEST_F(CliFixture, AFindInterruptExitsThreeAndLeavesTheIndexAsItWas) {
    found(*this);
    // A tree large enough that walking it takes a while: the signal lands while the find is under way.
    for (int folder = 0; folder < 60; ++folder)
        for (int name = 0; name < 200; ++name)
            writeFile(file(QString("big/d%1/f%2.zip").arg(folder).arg(name)), "");
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(watch, QFile::encodeName(file("big")).constData(), IN_OPEN | IN_ONLYDIR);
    QProcess find;
    ASSERT_TRUE(start(find, {"find", "--drives", file("big"), "--entry", "x*"}));
    pollfd ready{watch, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 60000), 1) << "the find opens the root";
    ::kill(pid_t(find.processId()), SIGINT);
    ::close(watch);
    ASSERT_TRUE(find.waitForFinished(60000));
    EXPECT_EQ(find.exitCode(), 3);
    EXPECT_EQ(QString::fromUtf8(find.readAllStandardError()),
              "varnhold-cli: Find interrupted; the package index was left as it was.\n");
    EXPECT_EQ(readFile(app.file("Varnhold.dat")), kept);
}

// A path is bytes: a package in a folder named by bytes that are not UTF-8 (or holding a control character) is found,
// kept in the index, and listed, tested and extracted (into a folder named so too), its name printed escaped.
TEST_F(CliFixture, APathThatIsNotTextIsFoundListedTestedAndExtractedByItsBytes) {
    packages(*this);
    for (const QByteArray& name : {QByteArray("lat\xe9"), QByteArray("odd\x01name")}) {
        SCOPED_TRACE(name.toHex().constData());
        const QString folder = NativePath::decode(NativePath::encode(dir.path()) + "/in " + name);
        const QString package = folder + '/' + NativePath::decode(name + ".zip");
        const QString target = NativePath::decode(NativePath::encode(dir.path()) + "/to " + name);
        ASSERT_EQ(::mkdir(NativePath::encode(folder).constData(), 0755), 0);
        ASSERT_EQ(::link(QFile::encodeName(file("tree/b.zip")).constData(), NativePath::encode(package).constData()),
                  0);
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
        EXPECT_EQ(run({"list", gone}).err, "varnhold-cli: Cannot open " +
                                               TextUtil::visibleText(NativePath::display(gone), false) +
                                               ": the file does not exist.\n");
    }
}

} // namespace
