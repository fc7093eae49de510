// The default text viewer and the desktop's applications on a made-up system, whose stand-in xdg-mime names the
// default application.
#include "app/TextViewer.h"
#include "app/DesktopApps.h"

#include "TestSupport.h"

#include <QFile>
#include <optional>

using namespace testsupport;

namespace {

/// A PATH and XDG data folders of its own while it lives; the variables are put back after it.
struct FakeSystem {
    FakeSystem() {
        for (const auto& [name, folder] : kFolders) {
            m_was.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
            qputenv(name, dir.file(folder).toUtf8());
        }
    }
    ~FakeSystem() {
        for (const auto& [name, value] : m_was)
            value ? qputenv(name, *value) : qunsetenv(name);
    }
    /// A program on PATH.
    QString program(const QString& name, const QByteArray& script = "#!/bin/sh\nexit 0\n") {
        writeFile(bin(name), script);
        QFile::setPermissions(bin(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return bin(name);
    }
    QString bin(const QString& name) const { return dir.file("bin/" + name); }

    static constexpr std::pair<const char*, const char*> kFolders[] = {
        {"PATH", "bin"}, {"XDG_DATA_DIRS", "data"}, {"XDG_DATA_HOME", "home"}};
    TempDir dir;
    QList<std::pair<const char*, std::optional<QByteArray>>> m_was;
};

TEST(TextViewer, DesktopDefaultElseFirstEditorOnPath) {
    struct Case {
        const char* what;
        QString mimeAnswer;  ///< what xdg-mime prints; no xdg-mime when empty
        QString desktopExec; ///< the entry's Exec (@BIN@ the PATH folder); no entry when empty
        QStringList onPath;
        QString expected; ///< a name in the PATH folder, or a full path
    };
    const std::vector<Case> cases{
        {"the desktop's program, found on PATH", "view.desktop", "fakeview %F", {"fakeview", "kate"}, "fakeview"},
        {"a quoted full path", "view.desktop", "\"@BIN@/my view\" %U", {"my view", "gedit"}, "my view"},
        {"a launcher is no viewer", "view.desktop", "flatpak run org.Edit %F", {"flatpak", "mousepad", "kate"}, "kate"},
        {"no desktop entry", "gone.desktop", "", {"leafpad", "xdg-open"}, "leafpad"},
        {"no xdg-mime", "", "", {"xdg-open"}, "xdg-open"},
        {"nothing at all", "", "", {}, "/usr/bin/xdg-open"},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        if (!c.mimeAnswer.isEmpty()) system.program("xdg-mime", "#!/bin/sh\necho '" + c.mimeAnswer.toUtf8() + "'\n");
        if (!c.desktopExec.isEmpty()) {
            // An action's Exec comes first in the file and is not the entry's program.
            const QString exec = QString(c.desktopExec).replace("@BIN@", system.dir.file("bin"));
            writeFile(system.dir.file("data/applications/view.desktop"),
                      "[Desktop Action new]\nExec=kate\n\n[Desktop Entry]\nName=View\nExec[de]=kate\nExec=" +
                          exec.toUtf8() + "\n");
        }
        for (const QString& name : c.onPath)
            system.program(name);
        EXPECT_EQ(TextViewer::findDefault(), c.expected.startsWith('/') ? c.expected : system.bin(c.expected))
            << c.what;
    }
}

TEST(TextViewer, CommandForASetting) {
    FakeSystem system;
    const QString spaced = system.program("my view");
    const QString kate = system.program("kate");
    struct Case {
        QString setting;
        QStringList expected;
    };
    for (const Case& c : std::vector<Case>{{spaced, {spaced, "/r.txt"}},
                                           {"kate", {kate, "/r.txt"}},
                                           {"kate -b", {kate, "-b", "/r.txt"}},
                                           {"/nowhere/notepad.exe", {}},
                                           {"", {}}})
        EXPECT_EQ(TextViewer::command(c.setting, "/r.txt"), c.expected) << c.setting.toStdString();
}

TEST(DesktopApps, ApplicationsForAKindOfFileAndTheirCommands) {
    FakeSystem system;
    const QString view = system.program("view");
    system.program("paint");
    const auto entry = [&](const QString& where, const QString& id, const QByteArray& keys) {
        writeFile(system.dir.file(where + "/applications/" + id), "[Desktop Entry]\nType=Application\n" + keys);
    };
    entry("data", "b.desktop", "Name=Viewer\nExec=view %U\nMimeType=image/png;text/plain;\n");
    entry("data", "a.desktop", "Name=Paint\nExec=paint --new %f %i\nMimeType=image/png;\n");
    entry("data", "gone.desktop", "Name=Gone\nExec=notthere %f\nMimeType=image/png;\n");
    entry("data", "hidden.desktop", "Name=Old\nExec=view\nHidden=true\nMimeType=image/png;\n");
    entry("data", "c.desktop", "Name=Zed\nExec=view\nMimeType=image/png;\n");
    entry("home", "c.desktop", "Name=Mine\nExec=view --mine\nMimeType=text/plain;\n"); // hides the system's
    QStringList names;
    for (const DesktopApp& app : DesktopApps::forType("image/png"))
        names << app.name;
    EXPECT_EQ(names, QStringList({"Paint", "Viewer"}));

    system.program("xdg-mime", "#!/bin/sh\necho b.desktop\n");
    const std::optional<DesktopApp> app = DesktopApps::defaultFor("image/png");
    ASSERT_TRUE(app.has_value());
    EXPECT_EQ(DesktopApps::commandFor(*app, "/t/a b.png"), QStringList({view, "file:///t/a%20b.png"}));
    for (const auto& [exec, command] : std::vector<std::pair<QStringList, QStringList>>{
             {{"paint", "--new", "%f", "%i"}, {system.bin("paint"), "--new", "/t/x"}},
             {{"view"}, {view, "/t/x"}},
             {{"view", "100%%"}, {view, "100%", "/t/x"}},
             {{"notthere", "%f"}, {}}}) {
        DesktopApp made;
        made.exec = exec;
        EXPECT_EQ(DesktopApps::commandFor(made, "/t/x"), command) << exec.join(' ').toStdString();
    }
}

} // namespace
