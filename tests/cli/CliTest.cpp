// varnhold-cli as a user's script sees it: exact output, exit codes, and what it leaves on disk.
#include "CliTestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace clitest;

namespace {

// One package made once per run by Python's zipfile, with stored entries so every cell is known exactly.
class CliTest : public CliFixture {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_zip = s_dir->file("Sample Pack.zip");
        const char* script = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    z.comment = b"weekly docs"
    z.writestr(zipfile.ZipInfo("zeta.txt", (2024, 3, 9, 8, 7, 6)), "z" * 1234)
    z.writestr(zipfile.ZipInfo("docs/", (2024, 1, 1, 0, 0, 0)), "")
    z.writestr(zipfile.ZipInfo("docs/Alpha.TXT", (1999, 12, 31, 23, 59, 58)), "a" * 10)
    z.writestr(zipfile.ZipInfo("docs/empty", (2010, 5, 1, 12, 0, 0)), "")
    z.writestr(zipfile.ZipInfo("beta.bin", (2024, 3, 9, 8, 7, 6)), "b" * 9)
)";
        ToolRun run = runTool("python3", {"-c", script, s_zip});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    static void TearDownTestSuite() { delete s_dir; }

    static TempDir* s_dir;
    static QString s_zip;
};
TempDir* CliTest::s_dir = nullptr;
QString CliTest::s_zip;

TEST_F(CliTest, ListPrintsGridRowsInNameOrderThenTheStatusLine) {
    ToolRun run = cli({"list", s_zip}, app.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Alpha.TXT\t10\t10\t1999/12/31  23:59:58\t0%\tdocs/\n"
                       "beta.bin\t9\t9\t2024/03/09  08:07:06\t0%\t\n"
                       "empty\t0\t0\t2010/05/01  12:00:00\t0%\tdocs/\n"
                       "zeta.txt\t1,234\t1,234\t2024/03/09  08:07:06\t0%\t\n"
                       "  (Sample Pack.zip)  Files = 5  Bytes = 1,253  Comments = weekly docs\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, ListPutsThePackageOnTopOfTheRecentListAndMakesTheWorkingFolders) {
    ASSERT_EQ(cli({"list", s_zip}, app.path()).exitCode, 0);
    CRegSettings settings(kCompany, kApplication);
    EXPECT_EQ(settings.GetSetting(kSettingsSection, "1File"), s_zip);
    for (const QString name : {"Sets", "Temp", "Extract", "Zips", "Make", "Split"})
        EXPECT_TRUE(QFileInfo(app.file(name)).isDir()) << name.toStdString();
}

TEST_F(CliTest, BadPackagesFailWithAMessageAndLeaveTheRecentListAlone) {
    CRegSettings settings(kCompany, kApplication);
    settings.SaveSetting(kSettingsSection, "1File", "/before.zip");
    writeFile(app.file("notes.zip"), "just some text, not a package\n");
    writeFile(app.file("empty.zip"), "");
    QByteArray truncated = readFile(s_zip);
    truncated.chop(30);
    writeFile(app.file("truncated.zip"), truncated);
    for (const QString& bad :
         {app.file("missing.zip"), app.file("notes.zip"), app.file("empty.zip"), app.file("truncated.zip")}) {
        ToolRun run = cli({"list", bad}, app.path());
        EXPECT_EQ(run.exitCode, 1) << bad.toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.startsWith("varnhold-cli: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QFileInfo(bad).fileName()))
            << "the message names the file: " << run.err.toStdString();
    }
    EXPECT_EQ(settings.GetSetting(kSettingsSection, "1File"), "/before.zip");
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    struct Case {
        QStringList args;
        QString err;
    };
    const Case cases[] = {
        {{}, "no command given"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"list"}, "list takes one zip package"},
        {{"list", "a.zip", "b.zip"}, "list takes one zip package"},
        {{"extract", "a.zip", "--to"}, "--to needs a value"},
        {{"extract", "a.zip", "--bogus"}, "unknown option --bogus"},
        {{"extract", "a.zip", "--overwrite", "--no-overwrite"}, "--overwrite and --no-overwrite exclude each other"},
    };
    for (const Case& c : cases) {
        ToolRun run = cli(c.args, app.path());
        EXPECT_EQ(run.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, "varnhold-cli: " + c.err + "\nTry 'varnhold-cli --help'.\n");
    }
    EXPECT_TRUE(QDir(app.path()).isEmpty()) << "a usage error runs no start-up";
}

// The help names every command and the exit code a script can test for; its wording is the program's own.
TEST_F(CliTest, HelpDescribesEveryCommand) {
    ToolRun run = cli({"--help"}, app.path());
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"list ZIP", "test ZIP", "extract ZIP", "build ZIP PATH...", "build ZIP --set NAME",
                             "4 build completed but files were left out", "--replace-set"})
        EXPECT_TRUE(run.out.contains(word)) << word;
}

TEST_F(CliTest, TestPassesGoodPackagesAndNamesBrokenEntries) {
    ToolRun good = cli({"test", s_zip}, app.path());
    EXPECT_EQ(good.exitCode, 0) << good.err.toStdString();
    EXPECT_EQ(good.out, "Sample Pack.zip: 5 entries tested, no errors.\n");

    // Damage the stored data of zeta.txt: the CRC check must catch it.
    QByteArray bytes = readFile(s_zip);
    const qsizetype at = bytes.indexOf(QByteArray(1234, 'z'));
    ASSERT_GT(at, 0);
    bytes[at + 100] = 'Q';
    writeFile(app.file("damaged.zip"), bytes);
    ToolRun bad = cli({"test", app.file("damaged.zip")}, app.path());
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.out.contains("FAILED  zeta.txt")) << bad.out.toStdString();
    EXPECT_TRUE(bad.out.endsWith("damaged.zip: 1 of 5 entries failed.\n")) << bad.out.toStdString();
}

TEST_F(CliTest, ExtractAllToDefaultAndOneEntryToAFolder) {
    ToolRun all = cli({"extract", s_zip}, app.path());
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_EQ(listTree(app.file("Extract")), QStringList({"beta.bin", "docs/Alpha.TXT", "docs/empty", "zeta.txt"}));
    EXPECT_EQ(readFile(app.file("Extract/zeta.txt")), QByteArray(1234, 'z'));

    ToolRun one = cli({"extract", s_zip, "--entry", "2", "--to", "out", "--no-folder-names"}, app.path());
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_EQ(listTree(app.file("out")), QStringList({"Alpha.TXT"}));

    ToolRun badIndex = cli({"extract", s_zip, "--entry", "99"}, app.path());
    EXPECT_EQ(badIndex.exitCode, 2);
}

TEST_F(CliTest, ExtractKeepsExistingFilesWhenAskedAndRefusesUnsafeNames) {
    writeFile(app.file("out/zeta.txt"), "mine");
    ToolRun keep = cli({"extract", s_zip, "--to", app.file("out"), "--no-overwrite"}, app.path());
    ASSERT_EQ(keep.exitCode, 0) << keep.err.toStdString();
    EXPECT_EQ(readFile(app.file("out/zeta.txt")), "mine");
    EXPECT_EQ(readFile(app.file("out/beta.bin")), QByteArray(9, 'b'));

    const char* script = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("../escape.txt", "bad")
    z.writestr("fine.txt", "good")
)";
    const QString evil = app.file("evil.zip");
    ASSERT_EQ(runTool("python3", {"-c", script, evil}).exitCode, 0);
    ToolRun run = cli({"extract", evil, "--to", app.file("safe/inner")}, app.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("refused  ../escape.txt")) << run.err.toStdString();
    EXPECT_EQ(readFile(app.file("safe/inner/fine.txt")), "good");
    EXPECT_FALSE(QFileInfo::exists(app.file("safe/escape.txt")));
}

TEST_F(CliTest, NamesWithControlAndBidiCharactersPrintEscapedOnOneLine) {
    // Names that try to forge entry lines and a status line, hide an extension behind a right-to-left
    // override, or send a terminal control sequence (the one-character CSI); a comment with a line break.
    const char* script = R"(
import sys, zipfile
names = ["a\n  (forged.zip)  Files = 0\tx.txt", "invoice\u202etxt.exe", "csi\u009b31mr\u00f8d", "back\\slash\tz"]
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    z.comment = b"two\nlines\x07\x1b"
    for name in names:
        z.writestr(zipfile.ZipInfo(name, (2024, 3, 9, 8, 7, 6)), "x")
    z.writestr(zipfile.ZipInfo("../up\rcr", (2024, 3, 9, 8, 7, 6)), "x")
)";
    const QString zip = app.file("hostile.zip");
    ASSERT_EQ(runTool("python3", {"-c", script, zip}).exitCode, 0);

    ToolRun list = cli({"list", zip}, app.path());
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QString row = "\t1\t1\t2024/03/09  08:07:06\t0%\t";
    EXPECT_EQ(list.out.split('\n'),
              QStringList({"a\\n  (forged.zip)  Files = 0\\tx.txt" + row, "back\\\\slash\\tz" + row,
                           "csi\\x9b31mrød" + row, "invoice\\u202etxt.exe" + row, "up\\rcr" + row + "../",
                           "  (hostile.zip)  Files = 5  Bytes = 5  Comments = two\\nlines\\x07\\x1b", ""}));

    // The same names on stderr: a refused entry and a failing test.
    ToolRun extract = cli({"extract", zip, "--to", app.file("out")}, app.path());
    EXPECT_TRUE(extract.err.contains("refused  ../up\\rcr: ")) << extract.err.toStdString();
    for (const QString& line : extract.err.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith("refused  ") || line.startsWith("varnhold-cli: ")) << line.toStdString();

    QByteArray bytes = readFile(zip);
    const QByteArray marker = "invoice\xe2\x80\xaetxt.exe";
    const qsizetype at = bytes.indexOf(marker); // the local header's name, followed by the entry's one byte
    ASSERT_GT(at, 0);
    bytes[at + marker.size()] = 'Q';
    writeFile(app.file("damaged.zip"), bytes);
    ToolRun test = cli({"test", app.file("damaged.zip")}, app.path());
    EXPECT_EQ(test.exitCode, 1);
    EXPECT_TRUE(test.out.startsWith("FAILED  invoice\\u202etxt.exe")) << test.out.toStdString();
    EXPECT_EQ(test.out.count('\n'), 2) << test.out.toStdString();
}

TEST_F(CliTest, TestUsesTheStoredPasswordUnlessOneIsGiven) {
    writeFile(app.file("src/secret.txt"), "top secret\n");
    const QString zip = app.file("locked.zip");
    ASSERT_EQ(runTool("zip", {"-q", "-P", "opensesame", zip, "secret.txt"}, app.file("src")).exitCode, 0);
    CRegSettings(kCompany, kApplication).SaveSetting(kSettingsSection, "Optionse4", "opensesame");

    ToolRun stored = cli({"test", zip}, app.path());
    EXPECT_EQ(stored.exitCode, 0) << stored.out.toStdString() << stored.err.toStdString();
    EXPECT_EQ(stored.out, "locked.zip: 1 entries tested, no errors.\n");
    ToolRun wrong = cli({"test", zip, "--password", "nope"}, app.path());
    EXPECT_EQ(wrong.exitCode, 1) << "a given password wins over the stored one";
}

TEST_F(CliTest, ExtractWithoutAFolderAsksForOne) {
    CRegSettings settings(kCompany, kApplication);
    settings.SaveSetting(kSettingsSection, "Optionse1", "0"); // extract into the selected folder, which is empty
    settings.SaveSetting(kSettingsSection, "Optionse2", "-1");
    settings.SaveSetting(kSettingsSection, "Optionse9", "");
    ToolRun run = cli({"extract", s_zip}, app.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "varnhold-cli: No extract folder is set: please choose a folder to extract to with --to DIR.\n");
    EXPECT_FALSE(QFileInfo::exists(app.file("zeta.txt")));
}

TEST_F(CliTest, SevenZipAesPackageTestsAndExtractsWithTheRightPasswordOnly) {
    QByteArray numbers;
    for (int i = 1; i <= 20000; ++i)
        numbers += QByteArray::number(i) + '\n';
    writeFile(app.file("src/n.txt"), numbers);
    ASSERT_EQ(
        runTool("7z", {"a", "-tzip", "-bd", "-mem=AES256", "-psecret", app.file("a.zip"), "n.txt"}, app.file("src"))
            .exitCode,
        0);
    ToolRun good = cli({"test", app.file("a.zip"), "--password", "secret"}, app.path());
    EXPECT_EQ(good.exitCode, 0) << good.out.toStdString() << good.err.toStdString();
    EXPECT_EQ(good.out, "a.zip: 1 entries tested, no errors.\n");
    ToolRun wrong = cli({"test", app.file("a.zip"), "--password", "secrets"}, app.path());
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(wrong.out, "FAILED  n.txt: wrong password\na.zip: 1 of 1 entries failed.\n");
    ToolRun extract = cli({"extract", app.file("a.zip"), "--to", app.file("out"), "--password", "secret"}, app.path());
    EXPECT_EQ(extract.exitCode, 0) << extract.err.toStdString();
    EXPECT_EQ(readFile(app.file("out/n.txt")), numbers);
}

TEST_F(CliTest, ListKeepsHugeClaimedSizesInRange) {
    ToolRun run = cli({"list", VARNHOLD_TEST_DATA "/Broken-huge-sizes.zip"}, app.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(
        run.out.endsWith("  (Broken-huge-sizes.zip)  Files = 3  Bytes = 9,223,372,036,854,775,807  Comments = \n"))
        << run.out.toStdString();
    EXPECT_FALSE(run.out.contains("\t-")) << "no negative size: " << run.out.toStdString();
}

TEST_F(CliTest, PipeNamedLikeAPackageFailsAtOnce) {
    ASSERT_EQ(runTool("mkfifo", {app.file("pipe.zip")}).exitCode, 0);
    const QString pipe = app.file("pipe.zip");
    for (const QStringList& args : {QStringList{"list", pipe}, QStringList{"test", pipe},
                                    QStringList{"extract", pipe, "--to", app.file("out")}}) {
        const ToolRun run = runTool(VARNHOLD_CLI, args, app.path(), {}, 20000);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("pipe.zip: it is not a regular file")) << run.err.toStdString();
    }
}

TEST_F(CliTest, ExtractRestoresEveryEntryButTheDamagedOneAndNamesIt) {
    const char* script = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    for i in range(14):
        z.writestr("f%02d.txt" % i, ("Q" if i == 4 else chr(97 + i)) * 2000)
    z.writestr("back\\slash.txt", "kept as a name")
data = bytearray(open(sys.argv[1], "rb").read())
data[data.index(b"Q" * 2000) + 1000] = ord("R")
open(sys.argv[1], "wb").write(bytes(data))
)";
    ASSERT_EQ(runTool("python3", {"-c", script, app.file("p.zip")}).exitCode, 0);
    ToolRun run = cli({"extract", app.file("p.zip"), "--to", app.file("out")}, app.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith("failed  f04.txt: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("\nvarnhold-cli: Cannot extract f04.txt: ")) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("(14 files, 0 kept as they were, 1 failed)\n")) << run.out.toStdString();
    const QStringList files = listTree(app.file("out"));
    EXPECT_EQ(files.size(), 14) << files.join(' ').toStdString();
    EXPECT_FALSE(files.contains("f04.txt"));
    EXPECT_EQ(readFile(app.file("out/f13.txt")), QByteArray(2000, 'n'));
    EXPECT_EQ(readFile(app.file("out/back\\slash.txt")), "kept as a name");
}

// Entry times are local times; each must list exactly as stored on both sides of a summer time change, whatever
// the zone, and with TZ unset (the usual case, where the program reads /etc/localtime once).
TEST_F(CliTest, ListShowsStoredTimesExactlyAroundSummerTimeChanges) {
    const char* script = R"(
import sys, zipfile
times = [(2021, 3, 28, 1, 59, 58), (2021, 3, 28, 3, 0, 0), (2021, 10, 31, 1, 59, 58), (2021, 10, 31, 2, 30, 0),
         (2021, 10, 31, 3, 0, 0), (2021, 3, 14, 1, 59, 58), (2021, 3, 14, 3, 0, 0), (2021, 11, 7, 1, 30, 0),
         (2021, 7, 1, 12, 0, 0), (2022, 1, 1, 0, 0, 0)]
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for i, t in enumerate(times):
        z.writestr(zipfile.ZipInfo("f%d.txt" % i, t), b"x")
    print("\n".join("%04d/%02d/%02d  %02d:%02d:%02d" % t for t in times))
)";
    const ToolRun made = runTool("python3", {"-c", script, app.file("dst.zip")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    const QStringList expected = made.out.trimmed().split('\n');
    const QByteArray before = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    for (const char* zone : {"", "Europe/Berlin", "America/New_York", "Australia/Sydney"}) {
        SCOPED_TRACE(*zone ? zone : "TZ unset");
        if (*zone)
            qputenv("TZ", zone);
        else
            qunsetenv("TZ");
        const ToolRun run = cli({"list", app.file("dst.zip")}, app.path());
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QStringList shown;
        for (const QString& line : run.out.split('\n'))
            if (line.startsWith('f')) shown << line.section('\t', 3, 3);
        EXPECT_EQ(shown, expected);
    }
    if (hadZone)
        qputenv("TZ", before);
    else
        qunsetenv("TZ");
}

} // namespace
