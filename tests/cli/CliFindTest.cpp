// varnhold-cli find: exact output, the index it leaves, the settings it stores, usage errors and Ctrl-C.
#include "app/OptionKeys.h"
#include "app/RegSettings.h"
#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"
#include "utility/TextUtil.h"

#include "FindTestUtil.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

ToolRun cli(const QStringList& args, const QString& appFolder) {
    return runTool(VARNHOLD_CLI, QStringList{"--app-folder", appFolder} + args, appFolder);
}

class CliFindTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CRegSettings(kCompany, kApplication).DeleteSetting(kSettingsSection);
        findtest::makePackages({{tree.file("b.zip"), {"docs/ReadMe.txt"}},
                                {tree.file("A dir/c.ZIP"), {"notes.txt"}},
                                {tree.file("tab\there.zip"), {"sub/readme.TXT"}}});
        writeFile(tree.file("broken.zip"), QByteArray(1234, 'b'));
    }
    QString line(const QString& name, const QString& size) const {
        QString shown = tree.file(name);
        shown.replace("\t", "\\t");
        return shown + "\t" + size + "\n";
    }
    QString size(const QString& name) const { return TextUtil::formatGrouped(QFileInfo(tree.file(name)).size()); }
    QByteArray index() const {
        QByteArray bytes = readFile(app.file("Varnhold.dat"));
        cipherBytes(bytes, kSetCipherKey);
        return bytes;
    }
    // A store of its own for every look: the program has written the file meanwhile.
    static QString stored(const QString& key) {
        return CRegSettings(kCompany, kApplication).GetSetting(kSettingsSection, key, "<missing>");
    }

    TempDir app, tree;
};

TEST_F(CliFindTest, PrintsThePackagesSortedWithTheirSizesAndKeepsThemAsTheIndex) {
    const ToolRun run = cli({"find", "--drives", tree.path()}, app.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, line("A dir/c.ZIP", size("A dir/c.ZIP")) + line("b.zip", size("b.zip")) +
                           line("broken.zip", "1,234") + line("tab\there.zip", size("tab\there.zip")));
    EXPECT_EQ(index(), (tree.file("A dir/c.ZIP") + "\r\n" + tree.file("b.zip") + "\r\n" + tree.file("broken.zip") +
                        "\r\n" + tree.file("tab\there.zip") + "\r\n")
                           .toUtf8());
    EXPECT_EQ(stored("DrivesF"), tree.path() + "/");
    EXPECT_EQ(stored("FindPattern"), "*.*") << "stored with the drives, as the dialog does";

    // Inside packages: the folder part and the case of the entry names are ignored; the broken one is left out.
    const ToolRun inside = cli({"find", "--entry", "README.txt"}, app.path());
    EXPECT_EQ(inside.exitCode, 0);
    EXPECT_EQ(inside.out, line("b.zip", size("b.zip")) + line("tab\there.zip", size("tab\there.zip")));
    EXPECT_EQ(stored("FindPattern"), "README.txt");
    EXPECT_EQ(index(), (tree.file("b.zip") + "\r\n" + tree.file("tab\there.zip") + "\r\n").toUtf8());

    QFile::remove(tree.file("b.zip"));
    const ToolRun listed = cli({"find", "--index"}, app.path());
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out, line("tab\there.zip", size("tab\there.zip")));
}

TEST_F(CliFindTest, UsageErrorsAndAnEmptyDriveSelection) {
    const struct {
        QStringList args;
        int exit;
        QString err;
    } cases[] = {
        {{"find", "x.zip"}, 2, "varnhold-cli: find takes no file names\n"},
        {{"find", "--index", "--drives", "/"}, 2, "varnhold-cli: find --index takes no other options\n"},
        {{"find", "--entry", "*.*"}, 2, "varnhold-cli: Please enter file name pattern, example: 'read*.txt'\n"},
        {{"find", "--entry", ""}, 2, "varnhold-cli: Please enter file name pattern, example: 'read*.txt'\n"},
        {{"find", "--drives", ","}, 1, "varnhold-cli: Please select hard drive(s).\n"},
    };
    for (const auto& c : cases) {
        const ToolRun run = cli(c.args, app.path());
        EXPECT_EQ(run.exitCode, c.exit) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(c.err)) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(QFileInfo::exists(app.file("Varnhold.dat")));
}

// A root that is not a folder is refused as search refuses it; the index and the stored drives stay as they were.
TEST_F(CliFindTest, ARootThatIsNotAFolderIsRefusedAndChangesNothing) {
    ASSERT_EQ(cli({"find", "--drives", tree.path()}, app.path()).exitCode, 0);
    const QByteArray before = readFile(app.file("Varnhold.dat"));
    const std::pair<QString, QString> cases[] = {
        {"/nonexistent", "/nonexistent"},
        {tree.file("b.zip"), tree.file("b.zip")},
        {tree.path() + ", missing", "missing"},
    };
    for (const auto& [drives, named] : cases) {
        const ToolRun run = cli({"find", "--drives", drives, "--entry", "x*"}, app.path());
        EXPECT_EQ(run.exitCode, 1) << drives.toStdString();
        EXPECT_EQ(run.err, "varnhold-cli: " + named + ": no such folder\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(readFile(app.file("Varnhold.dat")), before);
    EXPECT_EQ(stored("DrivesF"), tree.path() + "/");
    EXPECT_EQ(stored("FindPattern"), "*.*");
}

TEST_F(CliFindTest, AnInterruptExitsThreeAndLeavesTheIndexAsItWas) {
    ASSERT_EQ(cli({"find", "--drives", tree.path()}, app.path()).exitCode, 0);
    const QByteArray before = readFile(app.file("Varnhold.dat"));
    // A tree large enough that walking it takes a while: the signal lands while the find is under way.
    TempDir big;
    for (int folder = 0; folder < 60; ++folder)
        for (int file = 0; file < 200; ++file)
            writeFile(big.file(QString("d%1/f%2.zip").arg(folder).arg(file)), "");
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(watch, QFile::encodeName(big.path()).constData(), IN_OPEN | IN_ONLYDIR);

    QProcess find;
    find.start(VARNHOLD_CLI, {"--app-folder", app.path(), "find", "--drives", big.path(), "--entry", "x*"});
    ASSERT_TRUE(find.waitForStarted());
    pollfd ready{watch, POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 60000), 1) << "the find opens the root";
    ::kill(pid_t(find.processId()), SIGINT);
    ::close(watch);
    ASSERT_TRUE(find.waitForFinished(60000));
    EXPECT_EQ(find.exitCode(), 3);
    EXPECT_EQ(QString::fromUtf8(find.readAllStandardError()),
              "varnhold-cli: Find interrupted; the package index was left as it was.\n");
    EXPECT_EQ(readFile(app.file("Varnhold.dat")), before);
}

// A path is bytes: a package in a folder named by bytes that are not UTF-8 (or holding a control character) is found,
// kept in the index, and listed, tested and extracted (into a folder named so too) given as an argument, its name
// printed escaped.
TEST_F(CliFindTest, APathThatIsNotTextIsFoundListedTestedAndExtractedByItsBytes) {
    for (const QByteArray& name : {QByteArray("lat\xe9"), QByteArray("odd\x01name")}) {
        SCOPED_TRACE(name.toHex().constData());
        const QString folder = NativePath::decode(NativePath::encode(tree.path()) + "/in " + name);
        const QString package = folder + '/' + NativePath::decode(name + ".zip");
        const QString target = NativePath::decode(NativePath::encode(app.path()) + "/to " + name);
        findtest::makePackages({{tree.file("made.zip"), {"docs/ReadMe.txt"}}});
        ASSERT_EQ(::mkdir(NativePath::encode(folder).constData(), 0755), 0);
        ASSERT_EQ(
            std::rename(QFile::encodeName(tree.file("made.zip")).constData(), NativePath::encode(package).constData()),
            0);
        const QString shownName = TextUtil::visibleText(NativePath::decode(name + ".zip"));
        const QString row =
            TextUtil::visibleText(package) + "\t" + TextUtil::formatGrouped(*FileOps::regularFileSize(package)) + "\n";

        const ToolRun found = cli({"find", "--drives", folder}, app.path());
        EXPECT_EQ(found.out, row) << found.err.toStdString();
        EXPECT_EQ(cli({"find", "--index"}, app.path()).out, row);
        const ToolRun listed = cli({"list", package}, app.path());
        EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
        EXPECT_TRUE(listed.out.startsWith("ReadMe.txt\t23\t") &&
                    listed.out.contains("  (" + shownName + ")  Files = 1"))
            << listed.out.toStdString();
        const ToolRun tested = cli({"test", package}, app.path());
        EXPECT_EQ(tested.out, shownName + ": 1 entries tested, no errors.\n") << tested.err.toStdString();
        const ToolRun extracted = cli({"extract", package, "--to", target}, app.path());
        EXPECT_EQ(extracted.out,
                  shownName + " extracted to " + TextUtil::visibleText(target) + "/ (1 files, 0 kept as they were)\n")
            << extracted.err.toStdString();
        EXPECT_EQ(FileOps::regularFileSize(target + "/docs/ReadMe.txt"), 23);
        // A message names the file as the listing does, each odd byte once escaped.
        const QString gone = NativePath::decode(NativePath::encode(folder) + "/gone " + name + ".zip");
        EXPECT_EQ(cli({"list", gone}, app.path()).err, "varnhold-cli: Cannot open " +
                                                           TextUtil::visibleText(NativePath::display(gone), false) +
                                                           ": the file does not exist.\n");
    }
}

} // namespace
