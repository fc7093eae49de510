// The default text viewer on a made-up system: a PATH and XDG data folders of the test's own, with a stand-in
// xdg-mime that names the desktop's text/plain application.
#include "app/TextViewer.h"

#include "TestSupport.h"

#include <QFile>

using namespace testsupport;

namespace {

/// Sets an environment variable for the life of the object.
class EnvSwap {
  public:
    EnvSwap(const char* name, const QString& value)
        : m_name(name), m_was(qgetenv(name)), m_set(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value.toUtf8());
    }
    ~EnvSwap() { m_set ? qputenv(m_name, m_was) : qunsetenv(m_name); }

  private:
    const char* m_name;
    QByteArray m_was;
    bool m_set;
};

class FakeSystem {
  public:
    FakeSystem()
        : m_path("PATH", dir.file("bin")), m_dataDirs("XDG_DATA_DIRS", dir.file("data")),
          m_dataHome("XDG_DATA_HOME", dir.file("home")) {}
    /// A program on PATH.
    QString program(const QString& name, const QByteArray& script = "#!/bin/sh\nexit 0\n") {
        const QString path = dir.file("bin/" + name);
        writeFile(path, script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QString bin(const QString& name) const { return dir.file("bin/" + name); }

    TempDir dir;

  private:
    EnvSwap m_path, m_dataDirs, m_dataHome;
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
        {"a program that is not there", "view.desktop", "/nowhere/view %f", {"leafpad"}, "leafpad"},
        {"no desktop entry", "gone.desktop", "", {"xed", "xdg-open"}, "xed"},
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

} // namespace
