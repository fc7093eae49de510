// Self-extracting programs run for real: the stub with packages by zip, 7-Zip and Python appended (sfx_packages.py),
// listed, tested and extracted into "t" below the test's folder.

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace testsupport;

namespace {

struct Case {
    std::string name;
    QString package; ///< a zip of sfx_packages.py; "cut" is the plain one's made program cut in its middle
    QStringList args;
    int exit = 0;
    QString out = {};         ///< a pattern stdout must hold
    QString err = {};         ///< a pattern stderr must hold (empty: stderr empty)
    QStringList written = {}; ///< the files below t afterwards, as the packed files of src/ where named so
    QByteArray input = {};
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const QStringList kAll{"a.txt", "run.sh", "sub/b.bin"};
const QStringList kTo{"--to", "t"};
const QStringList kToPw{"--to", "t", "--password", "pw"};

class SfxRun : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        const ToolRun made = runTool("python3", {VARNHOLD_SFX_SCRIPTS "/sfx_packages.py"}, dir.path());
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        QDir(dir.path()).mkdir("outside");
    }
    /// The stub and then the package, as the desktop program makes them; cut keeps only that many bytes.
    QString made(const QString& package) const {
        const QByteArray stub = readFile(VARNHOLD_SFX);
        QByteArray bytes = stub + readFile(dir.file(package == "cut" ? "plain.zip" : package + ".zip"));
        if (package == "cut") bytes.truncate(stub.size() + (bytes.size() - stub.size()) / 2);
        const QString path = dir.file(package + ".run");
        writeFile(path, bytes);
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }
    TempDir dir;
};

TEST_P(SfxRun, GivesItsOutputAndFiles) {
    const Case& c = GetParam();
    const ToolRun run = runTool(made(c.package), c.args, dir.path(), c.input);
    EXPECT_EQ(run.exitCode, c.exit) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression(c.out, QRegularExpression::MultilineOption)))
        << run.out.toStdString();
    if (c.err.isEmpty()) {
        EXPECT_EQ(run.err, "");
    } else {
        EXPECT_TRUE(run.err.contains(QRegularExpression(c.err))) << run.err.toStdString();
    }
    EXPECT_EQ(listTree(dir.file("t")), c.written);
    for (const QString& name : c.written)
        if (kAll.contains(name)) {
            EXPECT_EQ(readFile(dir.file("t/" + name)), readFile(dir.file("src/" + name))) << name.toStdString();
        }
    EXPECT_EQ(c.written.contains("run.sh"), QFileInfo(dir.file("t/run.sh")).isExecutable());
    // Nothing lands beside the target or where a hostile name or link points.
    EXPECT_EQ(listTree(dir.file("outside")), QStringList());
    EXPECT_FALSE(QFileInfo::exists(dir.file("evil.txt")) || QFileInfo::exists(dir.file("evil2.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Sfx, SfxRun,
    ::testing::Values(
        Case{"ListsSizeDateName", "plain", {"--list"}, 0, R"(^ +300000  \d{4}-\d\d-\d\d \d\d:\d\d  sub/b\.bin$)"},
        Case{"ListsOddNamesEscaped", "zip64", {"--list"}, 0, R"(^ +600  .*  small64\.txt\n.*  caf\\xE9\.txt$)"},
        Case{"TestsCrypto", "crypto", {"--test", "--password", "pw"}, 0, "^OK: 3 entries"},
        Case{"TestNamesEntriesWithoutPassword", "aes2", {"--test"}, 1, "^FAILED sub/b.bin: a password is needed"},
        Case{"ExtractsPlain", "plain", kTo, 0, "^Extracted 3 files to t$", "", kAll},
        Case{"ExtractsZipCrypto", "crypto", kToPw, 0, "^Extracted 3 files", "", kAll},
        Case{"ExtractsAe1", "aes1", kToPw, 0, "^Extracted 3 files", "", kAll},
        Case{"ExtractsAe2", "aes2", kToPw, 0, "^Extracted 3 files", "", kAll},
        // The listing cannot name "caf\xE9.txt", which is not UTF-8; the count says it was written too.
        Case{"ExtractsZip64", "zip64", kTo, 0, "^Extracted 2 files", "", {"small64.txt"}},
        Case{"AsksFolderAndPassword",
             "crypto",
             {},
             0,
             "^Extracted 3 files to t",
             "Extract to \\[crypto\\]: Pass",
             kAll,
             "t\npw\n"},
        Case{"WrongZipCryptoPasswordLeavesNothing",
             "crypto",
             {"--to", "t", "--password", "x"},
             1,
             "",
             ": wrong password$"},
        Case{"WrongAesPasswordLeavesNothing", "aes1", {"--to", "t", "--password", "x"}, 1, "", ": wrong password$"},
        Case{"RefusesDotDot",
             "dotdot",
             kTo,
             1,
             "^Extracted 1 file",
             "refused \\.\\./evil.txt: .*\\n.*\\n.*2 entries",
             {"ok.txt"}},
        Case{"RefusesAbsoluteNames", "absolute", kTo, 1, "^Extracted 0 files", "refused /.*/abs.txt: absolute path"},
        Case{"RefusesLinksAndWritesNothingThroughThem",
             "link",
             kTo,
             1,
             "",
             "refused link: symbolic links",
             {"link/evil.txt"}},
        Case{"CutPackageIsDamaged", "cut", kTo, 1, "", "package in this program is damaged"},
        Case{"UnknownOption", "plain", {"--bogus"}, 2, "", "unknown option: --bogus\nUsage:"}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// A byte of stored data changed: the CRC names the entry, and its extraction leaves no file, not even a work file.
TEST_F(SfxRun, DamagedEntryIsNamedAndLeftOut) {
    const QString program = made("plain");
    damage(program, readFile(dir.file("src/sub/b.bin")));
    EXPECT_TRUE(runTool(program, {"--test"}, dir.path()).out.contains("FAILED sub/b.bin: damaged data"));
    EXPECT_EQ(runTool(program, kTo, dir.path()).exitCode, 1);
    EXPECT_EQ(listTree(dir.file("t")), (QStringList{"a.txt", "run.sh"}));
}

// A file already there is kept and counted, unless --overwrite replaces it.
TEST_F(SfxRun, KeepsExistingFilesUnlessToldToOverwrite) {
    const QString program = made("plain");
    writeFile(dir.file("t/a.txt"), "old");
    EXPECT_TRUE(runTool(program, kTo, dir.path())
                    .out.endsWith("Extracted 2 files to t\nKept 1 existing file "
                                  "(--overwrite replaces them)\n"));
    EXPECT_EQ(readFile(dir.file("t/a.txt")), "old");
    EXPECT_EQ(runTool(program, kTo + QStringList{"--overwrite"}, dir.path()).exitCode, 0);
    EXPECT_EQ(readFile(dir.file("t/a.txt")), "hello\n");
}

// Peers read the made program as the package it carries.
TEST_F(SfxRun, PeersReadTheMadeProgram) {
    const QString program = made("plain");
    EXPECT_TRUE(runTool("unzip", {"-l", program}).out.contains("sub/b.bin"));
    const ToolRun seven = runTool("7z", {"l", program});
    EXPECT_EQ(seven.exitCode, 0);
    EXPECT_TRUE(seven.out.contains("sub/b.bin"));
}

} // namespace
