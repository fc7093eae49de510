// varnhold-cli as a user's script sees it: usage errors, list, test and extract, each run compared byte for byte.
#include "CliTestUtil.h"

using namespace clitest;

TEST_P(CliRun, Case) {
    const Case& c = GetParam();
    save(c.given);
    if (c.setup) c.setup(*this);
    if (HasFatalFailure() || IsSkipped()) return;
    const ToolRun run = this->run(QProcess::splitCommand(c.args), c.given);
    EXPECT_EQ(run.out, expand(c.out));
    EXPECT_EQ(run.err, expand(c.err));
    EXPECT_EQ(run.exitCode, c.exit);
    if (c.verify) c.verify(*this);
}

namespace {

// The help names every command and the exit code a script can test for; its wording is the program's own.
TEST_F(CliFixture, HelpDescribesEveryCommand) {
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"list ZIP", "test ZIP", "extract ZIP", "build ZIP PATH...", "build ZIP --set NAME",
                             "4 build completed but files were left out", "--replace-set"})
        EXPECT_TRUE(help.out.contains(word)) << word;
    EXPECT_EQ(run({"list", "--help"}).out, help.out);
}

const Case kUsage[] = {
    usage("UnknownCommand", "frobnicate", "unknown command frobnicate"),
    usage("ValueMissing", "extract a.zip --to", "--to needs a value"),
    usage("UnknownOption", "extract a.zip --bogus", "unknown option --bogus"),
    usage("OverwriteTwice", "extract a.zip --overwrite --no-overwrite",
          "--overwrite and --no-overwrite exclude each other"),
};
INSTANTIATE_TEST_SUITE_P(usage, CliRun, ::testing::ValuesIn(kUsage), caseName);

const QString kPipeRefused = "varnhold-cli: Cannot open {dir}/pipe.zip: it is not a regular file (a pipe, socket or "
                             "device), so it is no zip package.\n";
const QString kNotAPackage = says("{dir}/%1 is not a zip package, or it is damaged or truncated.");
const Given kRecent = {{"1File", "/before.zip"}};
const Step kRecentAlone = settings(kRecent);
const Step kListedOnce = [](CliFixture& t) {
    packages(t);
    ASSERT_EQ(t.run({"list", "pack.zip"}).exitCode, 0);
    t.kept = QByteArray::number(inodeAndMode(CRegSettings(kCompany, kApplication).fileName()).first);
};
const Step kSameSettingsFile = [](CliFixture& t) {
    const auto [inode, mode] = inodeAndMode(CRegSettings(kCompany, kApplication).fileName());
    EXPECT_EQ(QByteArray::number(inode), t.kept) << "the very same file";
    EXPECT_EQ(mode, 0600u);
};

// The listing shows each stored time as stored, on both sides of a summer time change, whatever the zone, and with
// TZ unset (the usual case, where the program reads /etc/localtime once).
Case summerTime(const char* name, const char* zone) {
    QString rows;
    for (const char* time :
         {"2021/03/28  01:59:58", "2021/03/28  03:00:00", "2021/10/31  01:59:58", "2021/10/31  02:30:00",
          "2021/10/31  03:00:00", "2021/03/14  01:59:58", "2021/03/14  03:00:00", "2021/11/07  01:30:00",
          "2021/07/01  12:00:00", "2022/01/01  00:00:00"})
        rows += QString("f%1.txt\t1\t1\t%2\t0%\t\n").arg(rows.count('\n')).arg(time);
    rows += "  (dst.zip)  Files = 10  Bytes = 10  Comments = \n";
    return {name, "list dst.zip", rows, "", 0, packages, nullptr, Given{{"$TZ", *zone ? QString(zone) : QString()}}};
}

const Case kList[] = {
    {"Sample", "list \"Sample Pack.zip\"",
     "Alpha.TXT\t10\t10\t1999/12/31  23:59:58\t0%\tdocs/\n"
     "beta.bin\t9\t9\t2024/03/09  08:07:06\t0%\t\n"
     "empty\t0\t0\t2010/05/01  12:00:00\t0%\tdocs/\n"
     "zeta.txt\t1,234\t1,234\t2024/03/09  08:07:06\t0%\t\n"
     "  (Sample Pack.zip)  Files = 5  Bytes = 1,253  Comments = weekly docs\n",
     "", 0, packages, settings({{"1File", "{dir}/Sample Pack.zip"}})}, // on top of the recent list
    {"NotAPackage", "list notes.zip", "", kNotAPackage.arg("notes.zip"), 1, packages, kRecentAlone, kRecent},
    // A pipe named like a package once hung the open.
    {"Pipe", "list pipe.zip", "", kPipeRefused, 1, packages},
    // Every control character and text-direction control is escaped, so no name can forge a line.
    {"HostileNames", "list hostile.zip",
     "a\\n  (forged.zip)  Files = 0\\tx.txt\t1\t1\t2024/03/09  08:07:06\t0%\t\n"
     "back\\\\slash\\tz\t1\t1\t2024/03/09  08:07:06\t0%\t\n"
     "csi\\x9b31mrød\t1\t1\t2024/03/09  08:07:06\t0%\t\n"
     "invoice\\u202etxt.exe\t1\t1\t2024/03/09  08:07:06\t0%\t\n"
     "up\\rcr\t1\t1\t2024/03/09  08:07:06\t0%\t../\n"
     "  (hostile.zip)  Files = 5  Bytes = 5  Comments = two\\nlines\\x07\\x1b\n",
     "", 0, packages},
    // Claimed sizes near 2^64 once printed as negative numbers.
    {"HugeClaimedSizes", "list " VARNHOLD_TEST_DATA "/Broken-huge-sizes.zip",
     "big1.bin\t9,223,372,036,854,710,272\t7\t1980/01/01  00:00:00\t100%\t\n"
     "big2.bin\t9,223,372,036,854,710,272\t7\t1980/01/01  00:00:00\t100%\t\n"
     "huge.bin\t9,223,372,036,854,775,807\t7\t1980/01/01  00:00:00\t100%\t\n"
     "  (Broken-huge-sizes.zip)  Files = 3  Bytes = 9,223,372,036,854,775,807  Comments = \n",
     ""},
    // A listing of the package already on top of the recent list once rewrote the settings file.
    {"RepeatedLeavesSettingsFileAlone", "list pack.zip",
     "a.txt\t5\t5\t2020/01/02  03:04:06\t0%\t\n  (pack.zip)  Files = 1  Bytes = 5  Comments = \n", "", 0, kListedOnce,
     kSameSettingsFile},
    summerTime("SummerTimeUnsetZone", ""),
    summerTime("SummerTimeBerlin", "Europe/Berlin"),
    summerTime("SummerTimeNewYork", "America/New_York"),
    summerTime("SummerTimeSydney", "Australia/Sydney"),
};
INSTANTIATE_TEST_SUITE_P(list, CliRun, ::testing::ValuesIn(kList), caseName);

const Step kAes = [](CliFixture& t) {
    writeFile(t.file("src/n.txt"), sampleText(200000));
    const QStringList args{"a", "-tzip", "-bd", "-mem=AES256", "-psecret", t.file("aes.zip"), "n.txt"};
    ASSERT_EQ(runTool("7z", args, t.file("src")).exitCode, 0);
};
const QString kFailed = "FAILED  %1\n%2: 1 of %3 entries failed.\n";
const Step kLzma = [](CliFixture& t) {
    writeFile(t.file("src/n.txt"), sampleText(200000));
    ASSERT_EQ(runTool("7z", {"a", "-tzip", "-bd", "-mm=LZMA", t.file("lzma.zip"), "n.txt"}, t.file("src")).exitCode, 0);
};

const Case kTest[] = {
    {"Sample", "test \"Sample Pack.zip\"", "Sample Pack.zip: 5 entries tested, no errors.\n", "", 0, packages},
    // The CRC check catches changed data.
    {"Damaged", "test damaged.zip", kFailed.arg("zeta.txt: CRC error: the data is damaged", "damaged.zip", "5"), "", 1,
     packages},
    {"DamagedHostileName", "test \"damaged hostile.zip\"",
     kFailed.arg("invoice\\u202etxt.exe: CRC error: the data is damaged", "damaged hostile.zip", "5"), "", 1, packages},
    {"SevenZipAes", "test aes.zip --password secret", "aes.zip: 1 entries tested, no errors.\n", "", 0, kAes},
    {"SevenZipAesWrongPassword", "test aes.zip --password secrets",
     kFailed.arg("n.txt: wrong password", "aes.zip", "1"), "", 1, kAes},
    {"SevenZipLzma", "test lzma.zip", "lzma.zip: 1 entries tested, no errors.\n", "", 0, kLzma},
};
INSTANTIATE_TEST_SUITE_P(test, CliRun, ::testing::ValuesIn(kTest), caseName);

const QString kExtracted = "%1 extracted to %2/ (%3 files, %4 kept as they were%5)\n";
const QString kRefusedUp = "refused  %1: name climbs out of the folder (..)\nvarnhold-cli: 1 entry was refused as "
                           "unsafe: %1: name climbs out of the folder (..)\n";

const Case kExtract[] = {
    {"AllToTheStoredFolder", "extract \"Sample Pack.zip\"",
     kExtracted.arg("Sample Pack.zip", "{app}/Extract", "4", "0", ""), "", 0, packages,
     all({tree("{app}/Extract", "beta.bin docs/Alpha.TXT docs/empty zeta.txt"),
          disk({{"{app}/Extract/zeta.txt", QByteArray(1234, 'z')}})})},
    {"BadEntryIndex", "extract \"Sample Pack.zip\" --entry 99", "",
     "varnhold-cli: --entry takes an entry index from 0 to 4\nTry 'varnhold-cli --help'.\n", 2, packages},
    {"NoOverwrite", "extract \"Sample Pack.zip\" --to out --no-overwrite",
     kExtracted.arg("Sample Pack.zip", "{dir}/out", "3", "1", ""), "", 0,
     all({packages, [](CliFixture& t) { writeFile(t.file("out/zeta.txt"), "mine"); }}),
     disk({{"{dir}/out/zeta.txt", "mine"}, {"{dir}/out/beta.bin", QByteArray(9, 'b')}})},
    // With no extract folder stored, nothing may land in the folder the program was started in.
    {"NoFolderSet", "extract \"Sample Pack.zip\"", "",
     says("No extract folder is set: please choose a folder to extract to with --to DIR."), 1, packages,
     disk({{"{dir}/zeta.txt", {}}}), Given{{"Optionse1", "0"}, {"Optionse2", "-1"}, {"Optionse9", ""}}},
    {"RefusesUnsafeNames", "extract evil.zip --to safe/inner",
     kExtracted.arg("evil.zip", "{dir}/safe/inner", "1", "0", ", 1 refused as unsafe"), kRefusedUp.arg("../escape.txt"),
     1, packages, disk({{"{dir}/safe/inner/fine.txt", "good"}, {"{dir}/safe/escape.txt", {}}})},
    {"HostileNames", "extract hostile.zip --to out",
     kExtracted.arg("hostile.zip", "{dir}/out", "4", "0", ", 1 refused as unsafe"), kRefusedUp.arg("../up\\rcr"), 1,
     packages},
    {"SevenZipAes", "extract aes.zip --to out --password secret", kExtracted.arg("aes.zip", "{dir}/out", "1", "0", ""),
     "", 0, kAes, disk({{"{dir}/out/n.txt", sampleText(200000)}})},
    // One damaged entry once stopped the extraction of all that followed it.
    {"AllButTheDamagedEntry", "extract p.zip --to out", kExtracted.arg("p.zip", "{dir}/out", "14", "0", ", 1 failed"),
     "failed  f04.txt: CRC error: the data is damaged\nvarnhold-cli: Cannot extract f04.txt: CRC error: the data is "
     "damaged.\n",
     1, packages,
     all({tree("{dir}/out", "back\\slash.txt f00.txt f01.txt f02.txt f03.txt f05.txt f06.txt f07.txt f08.txt f09.txt "
                            "f10.txt f11.txt f12.txt f13.txt"),
          disk({{"{dir}/out/f13.txt", QByteArray(2000, 'n')}, {"{dir}/out/back\\slash.txt", "kept as a name"}})})},
    {"Pipe", "extract pipe.zip --to out", "", kPipeRefused, 1, packages},
};
INSTANTIATE_TEST_SUITE_P(extract, CliRun, ::testing::ValuesIn(kExtract), caseName);

} // namespace
