// varnhold-cli and the places it keeps things: which application folder it works in, what its start-up may
// remove there, a settings file it cannot read, and backup sets with odd paths or damage.
#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;

namespace {

/// Runs the program with the environment given (on top of the test's own), as a user's script would.
ToolRun runCli(const QStringList& args, const QString& workDir, const QHash<QString, QString>& env,
               const QStringList& wrapper = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = env.cbegin(); it != env.cend(); ++it) {
        if (it.value().isNull())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    QProcess p;
    p.setProcessEnvironment(environment);
    p.setWorkingDirectory(workDir);
    if (wrapper.isEmpty())
        p.start(VARNHOLD_CLI, args);
    else
        p.start(wrapper.first(), wrapper.mid(1) + QStringList{VARNHOLD_CLI} + args);
    ToolRun run;
    if (!p.waitForStarted()) return run;
    p.closeWriteChannel();
    p.waitForFinished(120000);
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QString makePackage(const QString& path) {
    const char* script = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("a.txt", "alpha")
)";
    EXPECT_EQ(runTool("python3", {"-c", script, path}).exitCode, 0);
    return path;
}

/// Lets everyone into the paths, so a run that dropped root's rights can still work there.
void openToAll(const QStringList& paths, mode_t mode = 0777) {
    for (const QString& path : paths)
        ::chmod(QFile::encodeName(path).constData(), mode);
}

QStringList zipNames(const QString& zip) {
    const ToolRun run = runTool("python3", {"-c",
                                            "import sys, zipfile, json\n"
                                            "print(json.dumps(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))",
                                            zip});
    return run.exitCode == 0 ? QStringList{run.out.trimmed()} : QStringList{};
}

// ---- the application folder ----

// The program never works in the folder it was started in: VARNHOLD_HOME, --app-folder (before or after the
// command) or $XDG_DATA_HOME/Varnhold, normally ~/.local/share/Varnhold. A Temp or Work folder where it is
// started keeps every file, the program's own names included.
TEST(CliAppFolder, ChosenByOptionEnvironmentOrDataHomeNeverTheWorkingFolder) {
    TempDir base;
    const QString zip = makePackage(base.file("pack.zip"));
    const QString work = base.file("work");
    for (const QString name : {"Temp/.hidden", "Temp/notes.txt", "Temp/.x.zip.vhw-999999999-0", "Work/Temp.set"})
        writeFile(work + "/" + name, "mine");
    const QStringList before = listTree(work);

    struct Case {
        const char* what;
        QStringList args;
        QHash<QString, QString> env;
        QString expected; ///< the application folder the run must use
    };
    const QString home = base.file("home"), data = base.file("data"), given = base.file("given"),
                  unused = base.file("unused");
    const Case cases[] = {
        {"VARNHOLD_HOME", {"list", zip}, {{"VARNHOLD_HOME", home}}, home},
        {"--app-folder first", {"--app-folder", given + "1", "list", zip}, {{"VARNHOLD_HOME", unused}}, given + "1"},
        {"--app-folder last", {"list", zip, "--app-folder=" + given + "2"}, {{"VARNHOLD_HOME", unused}}, given + "2"},
        {"XDG_DATA_HOME", {"list", zip}, {{"VARNHOLD_HOME", QString()}, {"XDG_DATA_HOME", data}}, data + "/Varnhold"},
        {"HOME",
         {"list", zip},
         {{"VARNHOLD_HOME", QString()}, {"XDG_DATA_HOME", QString()}, {"HOME", base.file("user")}},
         base.file("user/.local/share/Varnhold")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QHash<QString, QString> env = c.env;
        env.insert("XDG_CONFIG_HOME", base.file("config"));
        const ToolRun run = runCli(c.args, work, env);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out.startsWith("a.txt\t")) << run.out.toStdString();
        for (const char* folder : {"Sets", "Temp", "Extract", "Zips", "Make", "Split"})
            EXPECT_TRUE(QFileInfo(c.expected + "/" + folder).isDir()) << folder;
        EXPECT_EQ(listTree(work), before);
        EXPECT_EQ(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"Temp", "Work"}));
    }
    EXPECT_FALSE(QFileInfo::exists(unused)) << "--app-folder wins over VARNHOLD_HOME";
    EXPECT_EQ(runCli({"list", zip, "--app-folder"}, work, {}).exitCode, 2);
}

// A Temp or Work below the application folder that is a link is not emptied through: the folder it names keeps
// every file. The run says so and goes on.
TEST(CliAppFolder, ScratchFolderLinksAreLeftAloneAndReported) {
    TempDir base;
    const QString zip = makePackage(base.file("pack.zip"));
    const QString elsewhere = base.file("elsewhere");
    for (const char* name : {"letter.txt", ".hidden", "Temp.set", "Varnhold.Dat", ".y.zip.vhw-999999999-3"})
        writeFile(elsewhere + "/" + name, "theirs");
    const QStringList before = listTree(elsewhere);
    for (const char* scratch : {"Temp", "Work"}) {
        SCOPED_TRACE(scratch);
        const QString app = base.file(QString("app-") + scratch);
        ASSERT_TRUE(QDir().mkpath(app));
        ASSERT_TRUE(QFile::link(elsewhere, app + "/" + scratch));
        const ToolRun run =
            runCli({"--app-folder", app, "list", zip}, base.path(), {{"XDG_CONFIG_HOME", base.file("config")}});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "varnhold-cli: " + app + "/" + scratch +
                               " is a symbolic link, not a folder of its own; it is left as it is and not used.\n");
        EXPECT_TRUE(run.out.startsWith("a.txt\t"));
        EXPECT_EQ(listTree(elsewhere), before);
        EXPECT_TRUE(QFileInfo(app + "/" + scratch).isSymLink());
    }
}

// ---- a settings file that cannot be read ----

// The stored settings carry the password and the build options: a file that exists but cannot be read is
// reported, the jobs that take stored options do not run on the defaults, and the file is left as it was.
TEST(CliSettings, AFileThatCannotBeReadIsReportedNotWrittenOverAndStopsBuildAndExtract) {
    const bool root = ::geteuid() == 0;
    const bool canDropRoot = !QStandardPaths::findExecutable("setpriv").isEmpty();
    struct Case {
        const char* what;
        QString why;
    };
    const Case cases[] = {
        {"garbage", "is not a valid settings file (format error)"},
        {"folder", "is a folder, not a settings file"},
        {"unreadable", "cannot be read: Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool unreadable = QLatin1String(c.what) == QLatin1String("unreadable");
        if (unreadable && root && !canDropRoot) continue; // root reads every file; nothing to test without setpriv
        TempDir base;
        const QString config = base.file("config"), app = base.file("app");
        const QString file = config + "/Brindlecot/Varnhold.ini";
        ASSERT_TRUE(QDir().mkpath(config + "/Brindlecot") && QDir().mkpath(app));
        const QString zip = makePackage(app + "/pack.zip");
        writeFile(app + "/data.txt", "some data");
        openToAll({base.path(), config, config + "/Brindlecot", app});
        openToAll({zip, app + "/data.txt"}, 0644);

        QByteArray content;
        if (QLatin1String(c.what) == QLatin1String("folder")) {
            ASSERT_TRUE(QDir().mkpath(file));
        } else {
            content = unreadable ? QByteArray("[Settings]\nOptionse4=secret\nOptions01=4\n")
                                 : QByteArray("[Settings]\nOptionse4=secret\n") + randomBytes(300, 7);
            writeFile(file, content);
            ::chmod(QFile::encodeName(file).constData(), unreadable ? 0 : 0644);
        }
        const QStringList wrapper = unreadable && root
                                        ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
                                        : QStringList{};
        const QHash<QString, QString> env = {{"XDG_CONFIG_HOME", config}, {"VARNHOLD_HOME", app}};
        const QString report = "varnhold-cli: The settings file " + file + " " + c.why +
                               "; the stored settings are not used and the file is left as it is.\n";

        const ToolRun build = runCli({"build", "out.zip", "data.txt"}, app, env, wrapper);
        EXPECT_EQ(build.exitCode, 1);
        EXPECT_EQ(build.err, report + "varnhold-cli: build uses the stored settings, so it was not run.\n");
        EXPECT_EQ(build.out, "");
        EXPECT_FALSE(QFileInfo::exists(app + "/out.zip"));

        const ToolRun extract = runCli({"extract", zip}, app, env, wrapper);
        EXPECT_EQ(extract.exitCode, 1);
        EXPECT_EQ(extract.err, report + "varnhold-cli: extract uses the stored settings, so it was not run.\n");
        EXPECT_FALSE(QFileInfo::exists(app + "/Extract/a.txt"));

        // Listing takes nothing from the store: it runs, and the recent list is not written into the file.
        const ToolRun list = runCli({"list", zip}, app, env, wrapper);
        EXPECT_EQ(list.exitCode, 0);
        EXPECT_EQ(list.err, report);
        EXPECT_TRUE(list.out.startsWith("a.txt\t"));

        if (!content.isEmpty()) {
            // Others lose their access to it; nothing is granted to a file the user made unreadable.
            struct stat st {};
            ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, unreadable ? 0u : 0600u);
            ::chmod(QFile::encodeName(file).constData(), 0600);
            EXPECT_EQ(readFile(file), content);
        } else {
            EXPECT_TRUE(QFileInfo(file).isDir());
        }
    }
}

// The file may hold the password: even one that cannot be read as settings is made owner-only, unchanged.
TEST(CliSettings, ASettingsFileIsOwnerOnlyAfterARunAlsoWhenItHasAFormatError) {
    TempDir base;
    const QString zip = makePackage(base.file("pack.zip"));
    const QString file = base.file("config/Brindlecot/Varnhold.ini");
    const QByteArray garbage = "Optionse4=secret\n" + randomBytes(200, 3);
    for (const QByteArray& content : {QByteArray("[Settings]\nOptionse4=secret\n"), garbage}) {
        writeFile(file, content);
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0644), 0);
        const ToolRun run = runCli({"list", zip}, base.path(),
                                   {{"XDG_CONFIG_HOME", base.file("config")}, {"VARNHOLD_HOME", base.file("app")}});
        EXPECT_EQ(run.exitCode, 0);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        if (content == garbage) {
            EXPECT_EQ(readFile(file), garbage);
        }
    }
}

// ---- backup sets ----

class CliSets : public ::testing::Test {
  protected:
    ToolRun cli(const QStringList& args) {
        return runCli(QStringList{"--app-folder", app.path()} + args, app.path(),
                      {{"XDG_CONFIG_HOME", app.file("config")}});
    }
    TempDir app;
};

// Paths holding TAB, CR, LF or ending in blanks survive a save and a build from the set.
TEST_F(CliSets, OddPathsSurviveASaveAndABuildFromTheSet) {
    const QStringList names = {"tab\there.txt", "line\nbreak.txt", "cr\rhere.txt", "blank ", "two  ", "50% off.txt"};
    QStringList paths;
    for (const QString& name : names) {
        writeFile(app.file("data/" + name), name.toUtf8());
        paths << app.file("data/" + name);
    }
    const ToolRun first = cli(QStringList{"build", "first.zip"} + paths + QStringList{"--save-set", "Odd"});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const ToolRun second = cli({"build", "second.zip", "--set", "Odd"});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("Total number of files selected: 6\n")) << second.out.toStdString();
    EXPECT_EQ(zipNames(app.file("second.zip")), zipNames(app.file("first.zip")));
    EXPECT_FALSE(zipNames(app.file("first.zip")).isEmpty());
}

// A set cut short or one that deciphers to nonsense is not built from: the set is named, nothing is written.
TEST_F(CliSets, DamagedSetsAreReportedAndNotBuilt) {
    writeFile(app.file("data/a.txt"), "alpha");
    writeFile(app.file("data/b.txt"), "bravo");
    ASSERT_EQ(cli({"build", "first.zip", "data/", "data/a.txt", "--save-set", "Weekly"}).exitCode, 0);
    QByteArray cut = readFile(app.file("Sets/Weekly.set"));
    cut.chop(6); // into the last row
    writeFile(app.file("Sets/Cut.set"), cut);
    writeFile(app.file("Sets/Junk.set"), randomBytes(2000, 11));

    const std::pair<const char*, QString> cases[] = {
        {"Cut", "Backup set Cut.set is damaged (line 3 is cut short"},
        {"Junk", "Backup set Junk.set is damaged (it does not begin with its comment line"},
    };
    for (const auto& [set, message] : cases) {
        SCOPED_TRACE(set);
        const ToolRun run = cli({"build", "out.zip", "--set", set});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.startsWith("varnhold-cli: " + message)) << run.err.toStdString();
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(QFileInfo::exists(app.file("out.zip")));
        EXPECT_FALSE(QFileInfo::exists(app.file("Work/Temp.set"))) << "no plain copy is left";
    }
    // The whole set still builds.
    EXPECT_EQ(cli({"build", "out.zip", "--set", "Weekly"}).exitCode, 0);
}

} // namespace
