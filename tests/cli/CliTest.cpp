// varnhold-cli as a user's script sees it: exact output, exit codes, and what it leaves on disk.
#include "app/OptionKeys.h"
#include "app/RegSettings.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

ToolRun cli(const QStringList& args, const QString& workDir) {
    return runTool(VARNHOLD_CLI, QStringList{"--app-folder", workDir} + args, workDir);
}

// One package made once per run by Python's zipfile, with stored entries so every cell is known exactly.
class CliTest : public ::testing::Test {
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
    // Each test starts from an empty store, as on a first run in its own application folder.
    void SetUp() override { CRegSettings(kCompany, kApplication).DeleteSetting(kSettingsSection); }

    static TempDir* s_dir;
    static QString s_zip;
    TempDir app; // the application folder of each run
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
    for (const QString& name : {"Sets", "Temp", "Extract", "Zips", "Make", "Split"})
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
    for (const QString& bad : {app.file("missing.zip"), app.file("notes.zip"), app.file("empty.zip"),
                               app.file("truncated.zip")}) {
        ToolRun run = cli({"list", bad}, app.path());
        EXPECT_EQ(run.exitCode, 1) << bad.toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.startsWith("varnhold-cli: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QFileInfo(bad).fileName())) << "the message names the file: " << run.err.toStdString();
    }
    EXPECT_EQ(settings.GetSetting(kSettingsSection, "1File"), "/before.zip");
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    struct Case {
        QStringList args;
        QString err;
    };
    const Case cases[] = {
        {{}, "varnhold-cli: no command given\nTry 'varnhold-cli --help'.\n"},
        {{"frobnicate"}, "varnhold-cli: unknown command frobnicate\nTry 'varnhold-cli --help'.\n"},
        {{"list"}, "varnhold-cli: list takes one zip package\nTry 'varnhold-cli --help'.\n"},
        {{"list", "a.zip", "b.zip"}, "varnhold-cli: list takes one zip package\nTry 'varnhold-cli --help'.\n"},
        {{"extract", "a.zip", "--to"}, "varnhold-cli: --to needs a value\nTry 'varnhold-cli --help'.\n"},
        {{"extract", "a.zip", "--bogus"}, "varnhold-cli: unknown option --bogus\nTry 'varnhold-cli --help'.\n"},
        {{"extract", "a.zip", "--overwrite", "--no-overwrite"},
         "varnhold-cli: --overwrite and --no-overwrite exclude each other\nTry 'varnhold-cli --help'.\n"},
    };
    for (const Case& c : cases) {
        ToolRun run = cli(c.args, app.path());
        EXPECT_EQ(run.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_TRUE(QDir(app.path()).isEmpty()) << "a usage error runs no start-up";
}

TEST_F(CliTest, HelpDescribesEveryCommand) {
    ToolRun run = cli({"--help"}, app.path());
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"list ZIP", "test ZIP", "extract ZIP", "--entry", "--to", "--password", "--overwrite",
                             "--no-overwrite", "--skip-older", "--no-folder-names"})
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
    EXPECT_EQ(listTree(app.file("Extract")),
              QStringList({"beta.bin", "docs/Alpha.TXT", "docs/empty", "zeta.txt"}));
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

} // namespace
