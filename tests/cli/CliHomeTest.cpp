// varnhold-cli and the places it keeps things: which application folder it works in, what its start-up may remove
// there, and a settings file it cannot read.
#include "CliTestUtil.h"

using namespace clitest;

namespace {

const QString kListed = "a.txt\t5\t5\t2020/01/02  03:04:06\t0%\t\n  (pack.zip)  Files = 1  Bytes = 5  Comments = \n";

// The program never works in the folder it was started in: a Temp or Work folder there keeps every file, the
// program's own names included; --app-folder wins over VARNHOLD_HOME.
Case appFolder(const char* name, const QString& args, const QString& folder, const Given& given) {
    const Step scratchWhereStarted = [](CliFixture& t) {
        packages(t);
        for (const QString name : {"Temp/.hidden", "Temp/notes.txt", "Temp/.x.zip.vhw-999999999-0", "Work/Temp.set"})
            writeFile(t.file(name), "mine");
        t.kept = listTree(t.dir.path()).join('\n').toUtf8();
    };
    const Step made = [=](CliFixture& t) {
        for (const char* name : {"Sets", "Temp", "Extract", "Zips", "Make", "Split"})
            EXPECT_TRUE(QFileInfo(t.app.file(folder + '/' + name)).isDir()) << name;
        EXPECT_EQ(listTree(t.dir.path()).join('\n').toUtf8(), t.kept);
    };
    return {name, args, kListed, "", 0, scratchWhereStarted, all({made, disk({{"{app}/unused", {}}})}), given};
}

// A Temp or Work below the application folder that is a link is not emptied through: the folder it names keeps
// every file. The run says so and goes on.
Case scratchLink(const char* name, const QString& scratch) {
    const Step link = [=](CliFixture& t) {
        packages(t);
        for (const char* file : {"letter.txt", ".hidden", "Temp.set", "Varnhold.Dat", ".y.zip.vhw-999999999-3"})
            writeFile(t.file(QString("elsewhere/") + file), "theirs");
        t.kept = listTree(t.file("elsewhere")).join('\n').toUtf8();
        ASSERT_TRUE(QFile::link(t.file("elsewhere"), t.app.file(scratch)));
    };
    const Step untouched = [=](CliFixture& t) {
        EXPECT_EQ(listTree(t.file("elsewhere")).join('\n').toUtf8(), t.kept);
        EXPECT_TRUE(QFileInfo(t.app.file(scratch)).isSymLink());
    };
    const QString err = "varnhold-cli: {app}/" + scratch +
                        " is a symbolic link, not a folder of its own; it is left as it is and not used.\n";
    return {name, "list pack.zip", kListed, err, 0, link, untouched};
}

const QString kIni = "config/Brindlecot/Varnhold.ini";
const Step kOpenIni = [](CliFixture& t) {
    packages(t);
    writeFile(t.file(kIni), "[Settings]\nOptionse4=secret\n");
    ::chmod(QFile::encodeName(t.file(kIni)).constData(), 0644);
};
const Step kOwnerOnly = [](CliFixture& t) { EXPECT_EQ(inodeAndMode(t.file(kIni)).second, 0600u); };

const Case kHome[] = {
    appFolder("VarnholdHome", "list pack.zip", "home", {{"$VARNHOLD_HOME", "{app}/home"}}),
    appFolder("Home", "list pack.zip", "user/.local/share/Varnhold",
              {{"$VARNHOLD_HOME", {}}, {"$XDG_DATA_HOME", {}}, {"$HOME", "{app}/user"}}),
    scratchLink("TempIsALink", "Temp"),
    scratchLink("WorkIsALink", "Work"),
    // The file may hold the password: it is made owner-only.
    {"SettingsFileMadeOwnerOnly", "list pack.zip", kListed, "", 0, kOpenIni, kOwnerOnly,
     Given{{"$XDG_CONFIG_HOME", "{dir}/config"}}},
};
INSTANTIATE_TEST_SUITE_P(home, CliRun, ::testing::ValuesIn(kHome), caseName);

// The stored settings carry the password and the build options: a file that exists but cannot be read is reported,
// the jobs that take stored options do not run on the defaults, and the file is left as it was (owner-only).
TEST_F(CliFixture, ASettingsFileThatCannotBeReadIsReportedNotWrittenOverAndStopsBuildAndExtract) {
    const QString settings = file(kIni);
    ASSERT_TRUE(QDir().mkpath(file("config/Brindlecot")));
    packages(*this);
    writeFile(file("data.txt"), "some data");
    // A run that dropped root's rights must still work here.
    for (const QString& path : {dir.path(), app.path(), file("config"), file("config/Brindlecot")})
        ::chmod(QFile::encodeName(path).constData(), 0777);
    // Unreadable first: the folders the start-up makes are then made by the user who cannot read the file.
    const std::tuple<std::string, QByteArray, QString> kinds[] = {
        {"unreadable", "[Settings]\nOptionse4=secret\nOptions01=4\n", "cannot be read: Permission denied"},
        {"garbage", "[Settings]\nOptionse4=secret\n" + randomBytes(300, 7),
         "is not a valid settings file (format error)"},
        {"folder", {}, "is a folder, not a settings file"}};
    for (const auto& [kind, content, why] : kinds) {
        SCOPED_TRACE(kind);
        QStringList wrapper;
        if (kind == "unreadable" && runningAsRoot()) {
            if (!haveTool("setpriv")) continue; // root reads every file
            wrapper = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        }
        QFile::remove(settings);
        ASSERT_TRUE(!content.isEmpty() || QDir().mkpath(settings));
        if (!content.isEmpty()) writeFile(settings, content);
        if (!content.isEmpty()) ::chmod(QFile::encodeName(settings).constData(), kind == "unreadable" ? 0 : 0644);
        const QString report = "varnhold-cli: The settings file " + settings + " " + why +
                               "; the stored settings are not used and the file is left as it is.\n";
        const std::tuple<QStringList, int, QString> runs[] = {
            {{"build", "out.zip", "data.txt"}, 1, says("build uses the stored settings, so it was not run.")},
            {{"extract", "pack.zip"}, 1, says("extract uses the stored settings, so it was not run.")},
            // Listing takes nothing from the store: it runs, and the recent list is not written into the file.
            {{"list", "pack.zip"}, 0, ""}};
        for (const auto& [args, exit, refused] : runs) {
            const ToolRun got = run(args, {{"$XDG_CONFIG_HOME", file("config")}}, wrapper);
            EXPECT_EQ(got.exitCode, exit);
            EXPECT_EQ(got.err, report + refused);
            EXPECT_EQ(got.out, exit ? "" : kListed);
        }
        EXPECT_FALSE(QFileInfo::exists(file("out.zip")));
        EXPECT_FALSE(QFileInfo::exists(app.file("Extract/a.txt")));
        if (content.isEmpty()) {
            EXPECT_TRUE(QFileInfo(settings).isDir());
            QDir(settings).removeRecursively();
            continue;
        }
        // Others lose their access to it; nothing is granted to a file the user made unreadable.
        EXPECT_EQ(inodeAndMode(settings).second, kind == "unreadable" ? 0u : 0600u);
        ::chmod(QFile::encodeName(settings).constData(), 0600);
        EXPECT_EQ(readFile(settings), content);
    }
}

} // namespace
