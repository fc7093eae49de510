#include "DesktopApps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

/// xdg-mime is a shell script that reads the desktop's lists; it answers at once or not at all.
constexpr int kQueryTimeoutMs = 2000;

/// The keys of the [Desktop Entry] group (other groups, the entry's actions, have Exec lines of their own);
/// localised keys ("Name[de]") are left out.
QHash<QString, QString> entryKeys(const QString& desktopFile) {
    QHash<QString, QString> keys;
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly)) return keys;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
        } else if (inEntry && line.contains(u'=') && !line.startsWith(u'#')) {
            const QString key = line.section(u'=', 0, 0).trimmed();
            if (!key.contains(u'[') && !keys.contains(key)) keys.insert(key, line.section(u'=', 1).trimmed());
        }
    }
    return keys;
}

/// The words of an Exec value: quoted words keep their blanks and take \" \\ \` \$ as escapes.
QStringList execWords(const QString& exec) {
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < exec.size()) {
                word += exec.at(++i);
            } else {
                word += c;
            }
        } else if (c == u'"') {
            quoted = inWord = true;
        } else if (c == u' ' || c == u'\t') {
            if (inWord) words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) return {}; // no closing quote
    if (inWord) words << word;
    return words;
}

std::optional<DesktopApp> readEntry(const QString& id, const QString& path) {
    const QHash<QString, QString> keys = entryKeys(path);
    if (keys.value("Hidden") == QLatin1String("true") || keys.value("Type", "Application") != "Application")
        return std::nullopt;
    DesktopApp app;
    app.id = id;
    app.name = keys.value("Name", id);
    app.icon = keys.value("Icon");
    app.exec = execWords(keys.value("Exec"));
    app.mimeTypes = keys.value("MimeType").split(u';', Qt::SkipEmptyParts);
    if (app.exec.isEmpty()) return std::nullopt;
    return app;
}

} // namespace

QString DesktopApp::program() const {
    return exec.isEmpty() ? QString() : DesktopApps::runnable(exec.first());
}

namespace DesktopApps {

QString runnable(const QString& program) {
    if (program.isEmpty()) return {};
    if (!program.contains(u'/')) return QStandardPaths::findExecutable(program);
    const QFileInfo file(program);
    return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
}

QString defaultIdFor(const QString& mimeType) {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty() || mimeType.isEmpty()) return {};
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
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

std::optional<DesktopApp> entry(const QString& desktopId) {
    if (desktopId.isEmpty() || desktopId.contains(u'/')) return std::nullopt;
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (path.isEmpty()) return std::nullopt;
    return readEntry(desktopId, path);
}

std::optional<DesktopApp> defaultFor(const QString& mimeType) {
    std::optional<DesktopApp> app = entry(defaultIdFor(mimeType));
    if (!app || app->program().isEmpty()) return std::nullopt;
    return app;
}

QList<DesktopApp> forType(const QString& mimeType) {
    QList<DesktopApp> apps;
    QStringList seen;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        for (const QFileInfo& file : QDir(folder).entryInfoList({"*.desktop"}, QDir::Files, QDir::Name)) {
            if (seen.contains(file.fileName())) continue; // the user's own entry hides the system's
            seen << file.fileName();
            std::optional<DesktopApp> app = readEntry(file.fileName(), file.absoluteFilePath());
            if (app && app->mimeTypes.contains(mimeType) && !app->program().isEmpty()) apps << *app;
        }
    }
    std::sort(apps.begin(), apps.end(),
              [](const DesktopApp& a, const DesktopApp& b) { return a.name.compare(b.name, Qt::CaseInsensitive) < 0; });
    return apps;
}

QStringList commandFor(const DesktopApp& app, const QString& file) {
    QStringList words;
    bool placed = false;
    for (const QString& word : app.exec) {
        if (word == QLatin1String("%f") || word == QLatin1String("%F")) {
            words << file;
            placed = true;
        } else if (word == QLatin1String("%u") || word == QLatin1String("%U")) {
            words << QString::fromUtf8(QUrl::fromLocalFile(file).toEncoded());
            placed = true;
        } else if (word.size() == 2 && word.startsWith(u'%')) {
            continue; // %i %c %k and the deprecated codes
        } else {
            words << QString(word).replace(QStringLiteral("%%"), QStringLiteral("%"));
        }
    }
    if (words.isEmpty()) return {};
    words.first() = runnable(words.first());
    if (words.first().isEmpty()) return {};
    if (!placed) words << file;
    return words;
}

} // namespace DesktopApps
