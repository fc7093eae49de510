// varnhold-cli search: the stored criteria, the flags in their place, the exact output and the exit codes.
#include "app/RegSettings.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class CliSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(m_tree.file("b/Report.txt"), "Quarterly NUMBERS\n");
        writeFile(m_tree.file("a/new\nline.txt"), "numbers");
        writeFile(m_tree.file("a/big.bin"), QByteArray(10240, 'n'));
        writeFile(m_tree.file("c/other.dat"), "nothing to see");
    }
    ToolRun search(const QStringList& args) {
        return runTool(VARNHOLD_CLI, QStringList{"--app-folder", m_app.path(), "search"} + args, m_app.path());
    }
    QString root() const { return m_tree.path(); }

    TempDir m_tree, m_app;
};

TEST_F(CliSearch, PrintsTheFilesFoundSortedAndEscaped) {
    const QString r = root();
    struct Case {
        QStringList args;
        QString out;
    };
    const Case cases[] = {
        {{"--text", "numbers"}, r + "/a/new\\nline.txt\n" + r + "/b/Report.txt\n"},
        {{"--text", "numbers", "--match-case"}, r + "/a/new\\nline.txt\n"},
        {{"--at-least", "10"}, r + "/a/big.bin\n"},
        {{"--at-most", "9", "--name", "*.txt"}, r + "/a/new\\nline.txt\n" + r + "/b/Report.txt\n"},
        {{"--name", "*.dat", "--date", "modified", "--from", "01/01/1980", "--to", "12/31/2107"}, r + "/c/other.dat\n"},
        {{"--name", "*.dat", "--from", "01/01/1980", "--to", "01/01/1981"}, ""},
    };
    for (const Case& c : cases) {
        const ToolRun run = search(c.args + QStringList{"--drives", r + "/b," + r + "/a/../a/," + r + "/c"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, c.out) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(CliSearch, UsesTheStoredCriteriaAndNamesAFailingCheck) {
    CRegSettings store("Brindlecot", "Varnhold");
    store.SaveSettings("Settings", {{"SSOption2", "-1"}, {"so3", "*.BIN"}, {"Drives", root() + "/"}});
    ToolRun run = search({});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, root() + "/a/big.bin\n");

    run = search({"--defaults", "--drives", root()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "varnhold-cli: Please enter search options.\n");

    run = search({"--name", "*", "--from", "12/31/1979", "--to", "01/01/2000"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "varnhold-cli: Start date invalid - format is mm/dd/yyyy\n");

    run = search({"--text", "x", "--drives", root() + "/missing"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "varnhold-cli: " + root() + "/missing: no such folder\n");
    EXPECT_EQ(store.GetSetting("Settings", "SSOption3"), "") << "flags are not stored";
}

} // namespace
