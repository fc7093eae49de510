// varnhold-cli build as a script sees it: exact output, exit codes, what it leaves on disk, and an interrupt
// that leaves the old package as it was.
#include "CliTestUtil.h"
#include "sets/BackupSetFile.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace clitest;

namespace {

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QString grouped(qint64 n) {
    return TextUtil::formatGrouped(n);
}

const QDateTime kOld(QDate(2021, 2, 3), QTime(4, 5, 6));
const QDateTime kNew(QDate(2024, 7, 8), QTime(9, 10, 12));

class CliBuildTest : public CliFixture {
  protected:
    void SetUp() override {
        CliFixture::SetUp();
        writeFile(data + "a.txt", "alpha", kOld);
        writeFile(data + "sub/b.txt", "bravo!!", kOld);
        writeFile(data + "scratch.tmp", "left out", kOld);
        writeFile(app.file("note.md"), "a note", kOld);
    }
    QString stored(const QString& path) const { return path.mid(1); }
    /// A package of one entry of 512 MiB of zeros: small, but it takes a while to write out.
    void makeZeros() {
        const QString zeros = app.file("zeros/zeros.bin");
        writeFile(zeros, {});
        ASSERT_TRUE(QFile::resize(zeros, qint64(512) << 20));
        ASSERT_EQ(cli({"build", "zeros.zip", "zeros/", "--level", "fast"}, app.path()).exitCode, 0);
        QFile::remove(zeros);
    }

    QString data = app.file("data/");
    QString zip = app.file("out.zip");
};

TEST_F(CliBuildTest, AStoredPasswordBuildSaysWhereThePasswordWasLastSet) {
    CRegSettings store(kCompany, kApplication);
    for (const auto& [setBy, says] :
         {std::pair{"extract", "last set by an extraction"}, std::pair{"", "never confirmed for building"},
          std::pair{"build", "last confirmed in the build settings"}}) {
        store.SaveSettings(kSettingsSection, {{"Optionse4", "stored pw"}, {"PasswordSetBy", setBy}});
        const ToolRun run = cli({"build", "out.zip", "data/", "--level", "none"}, app.path());
        EXPECT_EQ(run.err, QString("using the stored password, %1\n").arg(says));
    }
    store.SaveSetting(kSettingsSection, "Optionse4", "");
}

TEST_F(CliBuildTest, ASmallBuildPrintsTheResultFigures) {
    const ToolRun run = cli({"build", "out.zip", "data/", "note.md", "--level", "none"}, app.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, QString("Build Completed!\n"
                               "Zip Package: %1\n"
                               "Total number of files selected: 3\n"
                               "Total number of bytes selected: 18\n"
                               "Total compressed bytes: %2\n"
                               "Number of locked files bypassed = 0\n")
                           .arg(zip, grouped(QFileInfo(zip).size())));
    EXPECT_EQ(storedNames(zip),
              sorted({stored(app.file("note.md")), stored(data + "a.txt"), stored(data + "sub/b.txt")}));
    expectPeersAccept(zip);
    EXPECT_TRUE(runTool("unzip", {"-z", zip}).out.contains("*Comment*"));
    EXPECT_TRUE(QFileInfo::exists(app.file("Zips/Locked.Txt")));
    EXPECT_EQ(readFile(app.file("Zips/Locked.Txt")), "");
}

TEST_F(CliBuildTest, PatternsPasswordAndCommentFromTheCommandLine) {
    const ToolRun run = cli({"build", "out.zip", data, "--include", "*.tmp", "--include", "*/sub/*", "--exclude",
                             "*.none", "--password", "secret", "--comment", "Weekly docs"},
                            app.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(storedNames(zip), QStringList({stored(data + "scratch.tmp"), stored(data + "sub/b.txt")}));
    EXPECT_EQ(runTool("7z", {"t", zip, "-psecret"}).exitCode, 0);
    EXPECT_TRUE(runTool("unzip", {"-z", zip}).out.contains("Weekly docs"));
}

TEST_F(CliBuildTest, UpdateAndFreshenWorkOnTheExistingPackage) {
    ASSERT_EQ(cli({"build", "out.zip", "data/"}, app.path()).exitCode, 0);
    writeFile(data + "a.txt", "alpha, newer", kNew);
    writeFile(data + "c.txt", "charlie", kNew);

    ToolRun fresh = cli({"build", "out.zip", "data/", "--mode", "freshen"}, app.path());
    ASSERT_EQ(fresh.exitCode, 0) << fresh.err.toStdString();
    EXPECT_EQ(fresh.out, QString("Update Completed!\n"
                                 "Zip Package Updated: %1\n"
                                 "Total number of files selected: 3\n"
                                 "Total number of bytes selected: 26\n"
                                 "Total compressed bytes: %2\n"
                                 "Number of files updated: 1\n"
                                 "Number of locked files bypassed = 0\n")
                             .arg(zip, grouped(QFileInfo(zip).size())))
        << "only a.txt was replaced";
    EXPECT_EQ(storedNames(zip), QStringList({stored(data + "a.txt"), stored(data + "sub/b.txt")}));
    EXPECT_EQ(runTool("unzip", {"-p", zip, stored(data + "a.txt")}).out, "alpha, newer");

    ToolRun update = cli({"build", "out.zip", "data/", "--mode", "update"}, app.path());
    ASSERT_EQ(update.exitCode, 0) << update.err.toStdString();
    EXPECT_TRUE(update.out.contains("\nNumber of files updated: 1\n")) << "c.txt was added" << update.out.toStdString();
    EXPECT_EQ(storedNames(zip),
              QStringList({stored(data + "a.txt"), stored(data + "c.txt"), stored(data + "sub/b.txt")}));
    EXPECT_TRUE(runTool("unzip", {"-z", zip}).out.contains("*Comment*")) << "the package keeps its comment";

    ToolRun missing = cli({"build", "other.zip", "data/", "--mode", "update"}, app.path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "varnhold-cli: " + app.file("other.zip") +
                               " does not exist; --mode update works on an existing zip package.\n");
}

TEST_F(CliBuildTest, AnExistingPackageIsReplacedUnlessRefused) {
    ASSERT_EQ(cli({"build", "out.zip", "note.md"}, app.path()).exitCode, 0);
    const QByteArray first = readFile(zip);
    const ToolRun refused = cli({"build", "out.zip", "data/", "--no-replace"}, app.path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "varnhold-cli: " + zip + " exists and was not replaced (--no-replace).\n");
    EXPECT_EQ(readFile(zip), first);

    const ToolRun replaced = cli({"build", "out.zip", "data/"}, app.path());
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
    EXPECT_EQ(storedNames(zip), QStringList({stored(data + "a.txt"), stored(data + "sub/b.txt")}));
}

TEST_F(CliBuildTest, FailuresExitOneAndChangeNothing) {
    const std::pair<QStringList, QString> cases[] = {
        {{"build", "out.txt", "data/"}, "varnhold-cli: Output zip package must have a file extension of .zip\n"},
        {{"build", "out.zip", "missing.txt"}, "varnhold-cli: " + app.file("missing.txt") + " does not exist.\n"},
        {{"build", "nowhere/out.zip", "data/"},
         "varnhold-cli: The target folder " + app.file("nowhere/") + " does not exist.\n"},
        {{"build", "out.zip", "--set", "Weekly"},
         "varnhold-cli: Backup set " + app.file("Sets/Weekly.set") + " not found.\n"},
        {{"build", "out.zip", "data/", "--include", "*.none"},
         "varnhold-cli: None of the selected files could be added, so " + zip + " was not written.\n"},
    };
    for (const auto& [args, err] : cases) {
        const ToolRun run = cli(args, app.path());
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_EQ(run.err, err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(QFileInfo::exists(zip));
    EXPECT_EQ(QDir(app.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"note.md"}));
}

TEST_F(CliBuildTest, UsageErrorsExitTwoWithoutAStartUp) {
    TempDir empty;
    const std::pair<QStringList, QString> cases[] = {
        {{"a.zip"}, "build takes a zip package and at least one PATH or --set NAME"},
        {{"a.zip", "x", "--level", "best"}, "--level takes none, fast, normal or maximum"},
        {{"a.zip", "x", "--mode", "replace"}, "--mode takes add, freshen or update"},
        {{"a.zip", "x", "--span", "0"}, "--span takes a size in bytes or auto"},
        {{"a.zip", "x", "--span", "1000"}, "--span takes at least 65536 bytes per volume"},
        {{"a.zip", "x", "--include", "a b"}, "--include takes one pattern without blanks"},
        {{"a.zip", "x", "--replace-set"}, "--replace-set goes with --save-set"},
        {{"a.zip", "x", "--save-set", "a/b"},
         "The backup set name \"a/b.set\" cannot be used: a name cannot hold \"/\"."},
        {{"a.zip", "x", "--exclude", "1", "--exclude", "2", "--exclude", "3", "--exclude", "4", "--exclude", "5",
          "--exclude", "6"},
         "at most 5 --exclude patterns"},
    };
    for (const auto& [args, err] : cases) {
        const ToolRun run = cli(QStringList{"build"} + args, empty.path());
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(run.err, "varnhold-cli: " + err + "\nTry 'varnhold-cli --help'.\n");
    }
    EXPECT_TRUE(QDir(empty.path()).isEmpty()) << "a usage error runs no start-up";
}

TEST_F(CliBuildTest, ASavedSetBuildsTheSamePackageAgain) {
    const ToolRun saved = cli(
        {"build", "first.zip", "data/", "note.md", "--include", "*.txt", "--save-set", "Weekly", "--comment", "weekly"},
        app.path());
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_TRUE(saved.out.startsWith("Build Completed!\n")) << saved.out.toStdString();
    EXPECT_TRUE(saved.out.endsWith("\nBackup set saved as " + app.file("Sets/Weekly.set") + "\n"))
        << saved.out.toStdString();

    const Result<QString> copy = makeWorkingCopy(app.file("Sets/Weekly.set"), app.path());
    ASSERT_TRUE(copy.ok()) << copy.message().toStdString();
    const SetContents set = readRows(copy.value());
    EXPECT_EQ(set.comments, QStringList({"weekly"}));
    EXPECT_EQ(set.rows, QVector<SelectionRow>({{data, "2", "12", "*.txt", "*.tmp  *.swp  system.dat"},
                                               {app.file("note.md"), "1", "6", "", ""}}));

    writeFile(data + "later.txt", "added after the set was saved");
    const ToolRun again = cli({"build", "second.zip", "--set", "Weekly"}, app.path());
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains("Total number of files selected: 4\n")) << "folders are counted again";
    EXPECT_EQ(storedNames(app.file("second.zip")), sorted({stored(app.file("note.md")), stored(data + "a.txt"),
                                                           stored(data + "later.txt"), stored(data + "sub/b.txt")}));
    EXPECT_TRUE(runTool("unzip", {"-z", app.file("second.zip")}).out.contains("weekly"));
}

// The set is saved only by a build that completed, and an existing set only with --replace-set.
TEST_F(CliBuildTest, AnExistingSetIsReplacedOnlyByACompletedBuildWithReplaceSet) {
    ASSERT_EQ(cli({"build", "first.zip", "note.md", "--save-set", "Weekly", "--comment", "kept"}, app.path()).exitCode,
              0);
    const QString set = app.file("Sets/Weekly.set"), daily = app.file("Sets/Daily.set");
    const QByteArray kept = readFile(set);
    const QString noFolder = "varnhold-cli: The target folder " + app.file("nowhere/") + " does not exist.\n";
    const QString refused = "varnhold-cli: Backup set " + set +
                            " exists and was not replaced (give --replace-set to replace it).\n"
                            "Try 'varnhold-cli --help'.\n";
    const struct {
        QStringList args;
        int exit;
        QString err;
    } cases[] = {
        {{"nowhere/out.zip", "data/", "--save-set", "Weekly", "--replace-set"}, 1, noFolder},
        {{"nowhere/out.zip", "data/", "--save-set", "Daily"}, 1, noFolder},
        {{"out.zip", "data/", "--include", "*.none", "--save-set", "Weekly", "--replace-set"},
         1,
         "varnhold-cli: None of the selected files could be added, so " + zip + " was not written.\n"},
        {{"first.zip", "data/", "--no-replace", "--save-set", "Weekly", "--replace-set"},
         1,
         "varnhold-cli: " + app.file("first.zip") + " exists and was not replaced (--no-replace).\n"},
        {{"out.zip", "data/", "--save-set", "Weekly"}, 2, refused},
        {{"nowhere/out.zip", "data/", "--save-set", "Weekly"}, 2, refused},
    };
    for (const auto& c : cases) {
        const ToolRun run = cli(QStringList{"build"} + c.args, app.path());
        EXPECT_EQ(run.exitCode, c.exit) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(QFileInfo::exists(zip));
        EXPECT_FALSE(QFileInfo::exists(daily));
    }
    EXPECT_EQ(readFile(set), kept) << "byte for byte";

    const ToolRun replaced = cli({"build", "out.zip", "data/", "--save-set", "Weekly", "--replace-set"}, app.path());
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
    EXPECT_TRUE(replaced.out.startsWith("Build Completed!\n")) << replaced.out.toStdString();
    EXPECT_TRUE(replaced.out.endsWith("Backup set saved as " + set + "\n")) << replaced.out.toStdString();
    EXPECT_NE(readFile(set), kept);
}

// With the sets folder option empty, sets live in Sets/ below the application folder, as in the set dialogs,
// wherever the program is started.
TEST_F(CliBuildTest, AnEmptySetsFolderOptionMeansTheDefaultSetsFolder) {
    CRegSettings(kCompany, kApplication).SaveSetting(kSettingsSection, "Options08", "");
    TempDir elsewhere;
    const ToolRun saved = cli({"build", zip, data, "--save-set", "Weekly"}, app.path(), elsewhere.path());
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_TRUE(saved.out.endsWith("Backup set saved as " + app.file("Sets/Weekly.set") + "\n"));
    const ToolRun again = cli({"build", app.file("second.zip"), "--set", "Weekly"}, app.path(), elsewhere.path());
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
}

TEST_F(CliBuildTest, LockedFilesAreListedAndCounted) {
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    QProcess holder;
    holder.start("flock", {data + "a.txt", "sleep", "30"});
    // flock(1) takes its lock before it starts the command; wait until the lock is visible to another process.
    ASSERT_TRUE(eventually([&] { return runTool("flock", {"-n", "-s", data + "a.txt", "true"}).exitCode != 0; }));
    const ToolRun run = cli({"build", "out.zip", "data/"}, app.path());
    holder.kill();
    holder.waitForFinished(3000);
    ASSERT_EQ(run.exitCode, 4) << "completed, files left out: " << run.err.toStdString();
    EXPECT_EQ(run.err, "locked  " + data + "a.txt\n");
    EXPECT_TRUE(run.out.endsWith("Number of locked files bypassed = 1\n"
                                 "List of locked files saved as " +
                                 app.file("Zips/Locked.Txt") + "\n"))
        << run.out.toStdString();
    EXPECT_EQ(readFile(app.file("Zips/Locked.Txt")), (data + "a.txt\n").toUtf8());
    EXPECT_EQ(storedNames(zip), QStringList({stored(data + "sub/b.txt")}));
}

// A chain of folders whose path is longer than the system takes (PATH_MAX), made one step at a time.
QString makeTooDeepFolder(const QString& base) {
    const QByteArray step(200, 'd');
    QDir().mkpath(base);
    int fd = ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY);
    QString path = base;
    while (fd >= 0 && path.size() < PATH_MAX) { // until the path no longer fits
        ::mkdirat(fd, step.constData(), 0755);
        const int next = ::openat(fd, step.constData(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path += '/' + QString::fromLatin1(step);
    }
    if (fd >= 0) ::close(fd);
    return path + '/';
}

TEST_F(CliBuildTest, FilesLeftOutAreNamedAndExitFour) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(data + "pipe.txt").constData(), 0644), 0);
    // The deepest folder is listed by the folder holding it, but cannot be opened by its path.
    const QString deepest = makeTooDeepFolder(data + "deep");
    const ToolRun run = cli({"build", "out.zip", "data/", "--level", "none"}, app.path());
    runTool("rm", {"-rf", data + "deep"});
    ASSERT_EQ(run.exitCode, 4) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("left out  " + data + "pipe.txt: a named pipe, which has no contents to store\n"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("left out  " + deepest + ": the folder could not be opened: File name too long\n"))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Build Completed!\n"));
    EXPECT_TRUE(run.out.endsWith("Number of locked files bypassed = 0\n"
                                 "Number of files left out = 2\n"
                                 "List of files left out or changed saved as " +
                                 app.file("Zips/Locked.Txt") + "\n"))
        << run.out.toStdString();
    const QByteArray list = readFile(app.file("Zips/Locked.Txt"));
    EXPECT_TRUE(list.contains((data + "pipe.txt\ta named pipe, which has no contents to store\n").toUtf8()));
    EXPECT_TRUE(list.contains((deepest + "\tthe folder could not be opened: File name too long\n").toUtf8()));
    EXPECT_EQ(storedNames(zip), sorted({stored(data + "a.txt"), stored(data + "sub/b.txt")}));
}

TEST_F(CliBuildTest, ANameThatIsNotTextSurvivesBuildAndExtractByteForByte) {
    const QByteArray name = QFile::encodeName(data) + "caf\xe9.txt";
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "latin-1 name", 12), 12);
    ::close(fd);
    const ToolRun built = cli({"build", "out.zip", "data/"}, app.path());
    ASSERT_EQ(built.exitCode, 0) << built.err.toStdString();
    EXPECT_EQ(built.err, "");
    expectPeersAccept(zip);

    const ToolRun extracted = cli({"extract", "out.zip", "--to", app.file("restored")}, app.path());
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err.toStdString();
    const QByteArray restored = QFile::encodeName(app.file("restored")) + name;
    char buffer[32] = {};
    const int in = ::open(restored.constData(), O_RDONLY);
    ASSERT_GE(in, 0) << "restored under its own bytes";
    EXPECT_EQ(::read(in, buffer, sizeof buffer), 12);
    ::close(in);
    EXPECT_EQ(QByteArray(buffer), "latin-1 name");
    ::unlink(restored.constData()); // names the temporary folder's own clean-up cannot spell
    ::unlink(name.constData());
}

TEST_F(CliBuildTest, InterruptLeavesTheOldPackageAsItWas) {
    ASSERT_EQ(cli({"build", "out.zip", "note.md"}, app.path()).exitCode, 0);
    const QByteArray old = readFile(zip);
    writeFile(data + "big.bin", randomBytes(48 << 20, 5));

    QProcess build;
    ASSERT_TRUE(startCli(build, app.path(), {"build", "out.zip", "data/", "--level", "maximum"}));
    // The new package is written into a work file beside the old one; once it is there, compression is under way.
    const auto partFiles = [&] { return QDir(app.path()).entryList({".out.zip.vhw-*"}, QDir::Files | QDir::Hidden); };
    ASSERT_TRUE(eventually([&] { return !partFiles().isEmpty(); }, 60000));
    ::kill(pid_t(build.processId()), SIGINT);
    ASSERT_TRUE(build.waitForFinished(60000));
    EXPECT_EQ(build.exitCode(), 3);
    EXPECT_EQ(QString::fromUtf8(build.readAllStandardError()),
              "varnhold-cli: Build interrupted; " + zip + " was left as it was.\n");
    EXPECT_EQ(readFile(zip), old);
    EXPECT_EQ(partFiles(), QStringList());
}

// Watches folders for a process opening them, as a scan does when it reaches them.
class ScanWatch {
  public:
    explicit ScanWatch(const QStringList& folders) : m_fd(::inotify_init1(IN_CLOEXEC)) {
        for (const QString& folder : folders)
            ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_OPEN | IN_ONLYDIR);
    }
    ~ScanWatch() { ::close(m_fd); }
    /// Waits until one of the folders is opened; false after a minute without.
    bool waitForScan() const {
        pollfd ready{m_fd, POLLIN, 0};
        return m_fd >= 0 && ::poll(&ready, 1, 60000) == 1;
    }

  private:
    int m_fd;
};

TEST_F(CliBuildTest, AnInterruptDuringTheScansExitsThreeAndKeepsTheOldPackage) {
    ASSERT_EQ(cli({"build", "out.zip", "note.md"}, app.path()).exitCode, 0);
    const QByteArray old = readFile(zip);
    // A tree large enough that a scan of it takes a while: the signal lands while the first one walks it.
    QStringList treeFolders{data + "tree"};
    for (int folder = 0; folder < 60; ++folder) {
        treeFolders << QString("%1tree/d%2").arg(data).arg(folder);
        for (int file = 0; file < 200; ++file)
            writeFile(QString("%1/f%2.txt").arg(treeFolders.last()).arg(file), "x");
    }

    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const ScanWatch watch(treeFolders);
        QProcess build;
        ASSERT_TRUE(startCli(build, app.path(), {"build", "out.zip", "data/", "--level", "none"}));
        // The first scan to reach the tree is the count of the selection, before the build job even starts.
        ASSERT_TRUE(watch.waitForScan());
        ::kill(pid_t(build.processId()), signal);
        ASSERT_TRUE(build.waitForFinished(60000));
        EXPECT_EQ(build.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(build.exitCode(), 3);
        EXPECT_EQ(QString::fromUtf8(build.readAllStandardError()),
                  "varnhold-cli: Build interrupted; " + zip + " was left as it was.\n");
        EXPECT_EQ(readFile(zip), old);
        EXPECT_EQ(hiddenFiles(app.path()), QStringList());
    }
}

TEST_F(CliBuildTest, AFileSizeLimitFailsTheBuildWithAMessageInsteadOfKillingIt) {
    if (!haveTool("prlimit")) GTEST_SKIP() << "prlimit is not installed";
    ASSERT_EQ(cli({"build", "out.zip", "note.md"}, app.path()).exitCode, 0);
    const QByteArray old = readFile(zip);
    writeFile(data + "big.bin", randomBytes(1 << 20, 3));
    const ToolRun run = runTool(
        "prlimit",
        {"--fsize=400000", VARNHOLD_CLI, "--app-folder", app.path(), "build", "out.zip", "data/", "--level", "none"},
        app.path());
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("File too large")) << run.err.toStdString();
    EXPECT_EQ(readFile(zip), old);
    EXPECT_EQ(hiddenFiles(app.path()), QStringList());
}

TEST_F(CliBuildTest, WorkFilesOfKilledBuildsAreSweptByTheNextBuild) {
    ASSERT_EQ(cli({"build", "out.zip", "note.md"}, app.path()).exitCode, 0);
    writeFile(data + "big.bin", randomBytes(24 << 20, 7));
    // Killed once its own work file is there, and once libzip's temporary file beside that has grown.
    const std::vector<std::function<bool(const QStringList&)>> points = {
        [](const QStringList& hidden) { return !hidden.isEmpty(); },
        [&](const QStringList& hidden) {
            for (const QString& name : hidden)
                if (QFileInfo(app.file(name)).size() > (4 << 20)) return true;
            return false;
        }};
    for (const auto& reached : points) {
        QProcess build;
        ASSERT_TRUE(startCli(build, app.path(), {"build", "out.zip", "data/", "--level", "none"}));
        ASSERT_TRUE(eventually([&] { return reached(hiddenFiles(app.path())); }, 60000));
        build.kill();
        ASSERT_TRUE(build.waitForFinished(60000));
    }
    EXPECT_FALSE(hiddenFiles(app.path()).isEmpty()) << "the kills left work files";

    const ToolRun run = cli({"build", "out.zip", "note.md", "--level", "none"}, app.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(hiddenFiles(app.path()), QStringList());
    EXPECT_EQ(storedNames(zip), QStringList({stored(app.file("note.md"))}));
    EXPECT_EQ(runTool("unzip", {"-t", zip}).exitCode, 0);
}

// An interrupt leaves no partly written file; a kill leaves a work file that the next extraction there sweeps.
TEST_F(CliBuildTest, AnInterruptedExtractionLeavesNoPartialFileAndAKilledOneIsSweptLater) {
    makeZeros();
    ASSERT_EQ(cli({"build", "note.zip", "note.md"}, app.path()).exitCode, 0);
    const QString out = app.file("out");
    QDir().mkpath(out);
    for (const bool interrupt : {true, false}) {
        SCOPED_TRACE(interrupt ? "SIGINT" : "SIGKILL");
        QProcess extract;
        ASSERT_TRUE(
            startCli(extract, app.path(), {"extract", "zeros.zip", "--entry", "0", "--to", out, "--no-folder-names"}));
        ASSERT_TRUE(eventually([&] { return !hiddenFiles(out).isEmpty(); }, 60000)) << "the entry is being written";
        if (interrupt)
            ::kill(pid_t(extract.processId()), SIGINT);
        else
            extract.kill();
        ASSERT_TRUE(extract.waitForFinished(60000));
        if (interrupt) {
            EXPECT_EQ(extract.exitCode(), 3);
            EXPECT_EQ(QString::fromUtf8(extract.readAllStandardError()),
                      "varnhold-cli: Extraction interrupted; no partly written file was left behind.\n");
            EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        }
    }
    const QStringList left = hiddenFiles(out);
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(WorkFiles::isWorkFileName(left[0])) << left[0].toStdString();
    const ToolRun next = cli({"extract", "note.zip", "--to", out, "--no-folder-names"}, app.path());
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"note.md"});
}

} // namespace

namespace {

// count shows what a tick in the wizard's tree shows: the files the stored patterns take and their bytes.
class CliCount : public CliFixture {};

TEST_F(CliCount, ShowsTheWizardsFolderRowWithTheStoredPatterns) {
    TempDir tree, closed;
    writeFile(tree.file("a.txt"), "12345");
    writeFile(tree.file("sub/b.txt"), QByteArray(2000, 'b'));
    writeFile(tree.file("sub/skip.tmp"), "x");
    // Listed by the folder holding it, but it cannot be opened by its path: what a count cannot read.
    const QString deepest = makeTooDeepFolder(closed.file("deep"));
    {
        CRegSettings store(kCompany, kApplication);
        store.SaveSetting(kSettingsSection, "Pattern06", "*.tmp");
    }
    const QString row = tree.path() + "/\t2\t2,005\n";
    const struct {
        QStringList folders;
        QString out, err;
        int exit;
    } cases[] = {
        {{tree.path()}, row, "", 0},
        {{tree.path(), tree.file("missing")}, row, "varnhold-cli: " + tree.file("missing") + " is not a folder.\n", 1},
        {{tree.file("a.txt")}, "", "varnhold-cli: " + tree.file("a.txt") + " is not a folder.\n", 1},
        {{closed.path(), tree.path()},
         closed.path() + "/\t0\t0\n" + row,
         "left out  " + deepest + ": the folder could not be opened: File name too long\n",
         4},
    };
    for (const auto& c : cases) {
        const ToolRun run = cli(QStringList{"count"} + c.folders, app.path());
        EXPECT_EQ(run.exitCode, c.exit) << c.folders.join(' ').toStdString();
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
    runTool("rm", {"-rf", closed.file("deep")});
}

} // namespace
