#include "TextViewer.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

/// xdg-mime is a shell script that reads the desktop's lists; it answers at once or not at all.
constexpr int kQueryTimeoutMs = 2000;

/// The value of Exec in the [Desktop Entry] group ("" when none). Other groups (the entry's actions) have Exec
/// lines of their own.
QString execLine(const QString& desktopFile) {
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly)) return {};
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
        } else if (inEntry && line.startsWith(QLatin1String("Exec"))) {
            const QString key = line.section(u'=', 0, 0).trimmed();
            if (key == QLatin1String("Exec")) return line.section(u'=', 1).trimmed();
        }
    }
    return {};
}

/// The first word of an Exec value: quoted words keep their blanks and take \" \\ \` \$ as escapes.
QString firstWord(const QString& exec) {
    if (!exec.startsWith(u'"')) return exec.section(u' ', 0, 0);
    QString word;
    for (qsizetype i = 1; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (c == u'"') return word;
        if (c == u'\\' && i + 1 < exec.size()) {
            word += exec.at(++i);
            continue;
        }
        word += c;
    }
    return {}; // no closing quote
}

/// A program named by a full path or found on PATH, as a full path; "" when it is not there.
QString runnable(const QString& program) {
    if (program.isEmpty()) return {};
    if (!program.contains(u'/')) return QStandardPaths::findExecutable(program);
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
}

} // namespace

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
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty()) return {};
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(kQueryTimeoutMs);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return {};
    // One id, though a list joined by ";" is read too.
    const QString answer = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    return answer.section(u'\n', 0, 0).section(u';', 0, 0).trimmed();
}

QString TextViewer::programOfDesktopEntry(const QString& desktopId) {
    if (desktopId.isEmpty() || desktopId.contains(u'/')) return {};
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (entry.isEmpty()) return {};
    const QString program = firstWord(execLine(entry));
    if (program.isEmpty()) return {};
    // The viewer setting holds one program that takes the file as its argument; a launcher such as env or flatpak
    // needs the rest of its line.
    const QString name = QFileInfo(program).fileName();
    for (const char* launcher : {"env", "flatpak", "snap", "sh", "bash"})
        if (name == QLatin1String(launcher)) return {};
    return runnable(program);
}

QString TextViewer::firstEditorOnPath() {
    for (const QString& name : editors())
        if (QString found = QStandardPaths::findExecutable(name); !found.isEmpty()) return found;
    return {};
}

QStringList TextViewer::command(const QString& setting, const QString& file) {
    // A full path with blanks in it is one program; only a setting that names none is read as a command line.
    const QString whole = setting.trimmed();
    if (QString program = runnable(whole); !program.isEmpty()) return {program, file};
    QStringList words = QProcess::splitCommand(whole);
    if (words.isEmpty()) return {};
    words.first() = runnable(words.first());
    if (words.first().isEmpty()) return {};
    return words << file;
}
