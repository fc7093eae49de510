#include "TextViewer.h"

#include "DesktopApps.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

const QStringList& TextViewer::editors() {
    static const QStringList names = {"gedit", "gnome-text-editor", "kate",    "kwrite",  "mousepad", "xed",
                                      "pluma", "featherpad",        "leafpad", "xdg-open"};
    return names;
}

QString TextViewer::findDefault() {
    if (const QString id = desktopDefaultForText(); !id.isEmpty())
        if (QString program = programOfDesktopEntry(id); !program.isEmpty()) return program;
    if (QString editor = firstEditorOnPath(); !editor.isEmpty()) return editor;
    return QStringLiteral("/usr/bin/xdg-open");
}

QString TextViewer::desktopDefaultForText() {
    return DesktopApps::defaultIdFor(QStringLiteral("text/plain"));
}

QString TextViewer::programOfDesktopEntry(const QString& desktopId) {
    const std::optional<DesktopApp> app = DesktopApps::entry(desktopId);
    if (!app) return {};
    // The viewer setting holds one program that takes the file as its argument; a launcher such as env or flatpak
    // needs the rest of its line.
    const QString name = QFileInfo(app->exec.first()).fileName();
    for (const char* launcher : {"env", "flatpak", "snap", "sh", "bash"})
        if (name == QLatin1String(launcher)) return {};
    return app->program();
}

QString TextViewer::firstEditorOnPath() {
    for (const QString& name : editors())
        if (QString found = QStandardPaths::findExecutable(name); !found.isEmpty()) return found;
    return {};
}

QStringList TextViewer::command(const QString& setting, const QString& file) {
    // A full path with blanks in it is one program; only a setting that names none is read as a command line.
    const QString whole = setting.trimmed();
    if (QString program = DesktopApps::runnable(whole); !program.isEmpty()) return {program, file};
    QStringList words = QProcess::splitCommand(whole);
    if (words.isEmpty()) return {};
    words.first() = DesktopApps::runnable(words.first());
    if (words.first().isEmpty()) return {};
    return words << file;
}
