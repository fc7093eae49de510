#pragma once
// varnhold-cli run as a script would run it. A case is its arguments, what is made before the run, and the exact
// stdout, stderr and exit code the run must give, then what it must have left on disk.

#include "TestSupport.h"
#include "app/OptionKeys.h"
#include "app/RegSettings.h"
#include "utility/TextUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <csignal>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clitest {

using namespace testsupport;
/// Settings stored before a run, and environment variables of the run ("$NAME"; a null value unsets it).
using Given = QList<QPair<QString, QString>>;

/// An application folder and a folder to start in, both empty, and an empty settings store: a first run.
class CliFixture : public ::testing::Test {
  protected:
    void SetUp() override { CRegSettings(kCompany, kApplication).DeleteSetting(kSettingsSection); }

  public:
    /// "{app}" is the application folder, "{dir}" the folder runs start in, "{kept}" what a set-up kept, and
    /// "{size:NAME}" the size of {dir}/NAME as the program prints sizes.
    QString expand(QString text) const {
        text.replace("{app}", app.path()).replace("{dir}", dir.path()).replace("{kept}", QString::fromUtf8(kept));
        static const QRegularExpression size(R"(\{size:([^}]*)\})");
        for (QRegularExpressionMatch m = size.match(text); m.hasMatch(); m = size.match(text))
            text.replace(m.capturedStart(), m.capturedLength(),
                         TextUtil::formatGrouped(QFileInfo(file(m.captured(1))).size()));
        return text;
    }
    QString file(const QString& name) const { return dir.file(name); }
    /// A path as a package stores it (its root left out).
    QString stored(const QString& name) const { return file(name).mid(1); }
    /// Runs the program in {dir} with {app} as its application folder (VARNHOLD_HOME, unless given names it), the
    /// environment variables among given set through env(1), started by wrapper when one is given, and waits for it.
    ToolRun run(QStringList args, const Given& given = {}, const QStringList& wrapper = {}) const {
        QStringList unset, set{"VARNHOLD_HOME=" + app.path()};
        for (const auto& [key, value] : given)
            if (key.startsWith('$')) // else a setting, stored before the set-up
                value.isNull() ? unset << "-u" << key.mid(1) : set << key.mid(1) + '=' + expand(value);
        if (unset.contains("VARNHOLD_HOME")) set.removeFirst();
        for (QString& arg : args)
            arg = expand(arg);
        const QStringList command = wrapper + QStringList{"env"} + unset + set + QStringList{VARNHOLD_CLI} + args;
        return runTool(command.first(), command.mid(1), dir.path());
    }
    /// Starts the program without waiting, for a test that signals or kills it; with opens, waits until the run
    /// opens that folder (a walk of it is under way). Such a run gets the lowest priority, so that on a busy
    /// machine the test, woken by the open, sends its signal before the walk can end.
    bool start(QProcess& process, const QStringList& args, const QString& opens = {}) const {
        const int watch = ::inotify_init1(IN_CLOEXEC);
        if (!opens.isEmpty()) {
            ::inotify_add_watch(watch, QFile::encodeName(opens).constData(), IN_OPEN | IN_ONLYDIR);
            process.setChildProcessModifier([] { ::setpriority(PRIO_PROCESS, 0, 19); });
        }
        process.setWorkingDirectory(dir.path());
        process.start(VARNHOLD_CLI, QStringList{"--app-folder", app.path()} + args);
        pollfd ready{watch, POLLIN, 0};
        const bool started = process.waitForStarted() && (opens.isEmpty() || ::poll(&ready, 1, 60000) == 1);
        ::close(watch);
        return started;
    }
    /// Sends signal to a run, which must then exit 3 with message.
    void expectInterrupted(QProcess& process, int signal, const QString& message) const {
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 3);
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), "varnhold-cli: " + expand(message) + "\n");
    }
    /// Stores the settings among given.
    void save(const Given& given) const {
        for (const auto& [key, value] : given)
            if (!key.startsWith('$'))
                CRegSettings(kCompany, kApplication).SaveSetting(kSettingsSection, key, expand(value));
    }
    static QString setting(const QString& key) {
        return CRegSettings(kCompany, kApplication).GetSetting(kSettingsSection, key, "<missing>");
    }

    TempDir app, dir;
    QByteArray kept; ///< what a set-up keeps for the expected output or a check
};

/// Runs a Python script of this folder (zipfile makes packages of every shape) in folder.
inline void python(const QString& script, const QString& folder, const QStringList& args = {}) {
    const ToolRun made = runTool("python3", QStringList{VARNHOLD_CLI_SCRIPTS "/" + script} + args, folder);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
}

/// 200 one-byte files in each of folders folders below folder: a tree that takes a while to walk.
inline void manyFiles(const QString& folder, const QString& extension, int folders = 60) {
    for (int d = 0; d < folders; ++d)
        for (int f = 0; f < 200; ++f)
            writeFile(QString("%1/d%2/f%3.%4").arg(folder).arg(d).arg(f).arg(extension), "x");
}

/// The packages and files the cases read (packages.py), made in {dir}.
inline void packages(const CliFixture& t) {
    python("packages.py", t.dir.path());
}

/// The inode and the permission bits of a file: the very same file, and who may read it.
inline std::pair<quint64, unsigned> inodeAndMode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {0, 0};
    return {st.st_ino, st.st_mode & 07777};
}

/// The hidden files of a folder: the work files a run leaves while it writes.
inline QStringList hiddenFiles(const QString& folder) {
    return QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden | QDir::System);
}

/// What a case does before its run, or checks after it.
using Step = std::function<void(CliFixture&)>;
/// The steps one after the other.
inline Step all(const std::vector<Step>& steps) {
    return [=](CliFixture& t) {
        for (const Step& step : steps)
            if (step) step(t);
    };
}
/// Checks files ({app}, {dir} expanded, in contents too): each holds its bytes, and one with null bytes is not there.
inline Step disk(const QList<QPair<QString, QByteArray>>& files) {
    return [=](CliFixture& t) {
        for (const auto& [path, bytes] : files) {
            EXPECT_EQ(QFileInfo::exists(t.expand(path)), !bytes.isNull()) << path.toStdString();
            EXPECT_EQ(readFile(t.expand(path)), t.expand(QString::fromUtf8(bytes)).toUtf8()) << path.toStdString();
        }
    };
}

/// Checks that the files below folder ({app}, {dir} expanded) are those named (blank-separated, sorted).
inline Step tree(const QString& folder, const QString& names) {
    return [=](CliFixture& t) { EXPECT_EQ(listTree(t.expand(folder)), names.split(' ', Qt::SkipEmptyParts)); };
}
/// Checks stored settings ({app}, {dir} expanded); "<missing>" for one never stored.
inline Step settings(const Given& expected) {
    return [=](CliFixture& t) {
        for (const auto& [key, value] : expected)
            EXPECT_EQ(CliFixture::setting(key), t.expand(value)) << key.toStdString();
    };
}

/// A message of the program on stderr.
inline QString says(const QString& message) {
    return "varnhold-cli: " + message + "\n";
}

struct Case {
    std::string name;
    QString args; ///< a command line: words at blanks, "quoted words" whole
    QString out, err;
    int exit = 0;
    Step setup = {}, verify = {};
    Given given = {};
};
inline void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

/// A usage error: refused before the start-up, which would make the working folders.
inline Case usage(const char* name, const QString& args, const QString& message) {
    return {
        name, args, "", "varnhold-cli: " + message + "\nTry 'varnhold-cli --help'.\n", 2, nullptr, [](CliFixture& t) {
            EXPECT_TRUE(QDir(t.app.path()).isEmpty()) << "no start-up ran";
        }};
}

class CliRun : public CliFixture, public ::testing::WithParamInterface<Case> {};

inline std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

} // namespace clitest
