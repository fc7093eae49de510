#include "StartUp.h"

#include "RecentList.h"
#include "utility/FileOps.h"

#include <QDir>

const QStringList& startUpFolders() {
    static const QStringList folders = {"Sets", "Temp", "Extract", "Zips", "Make", "Split"};
    return folders;
}

void runStartUp(AppState& state, const QString& appFolder) {
    QString app = QDir::cleanPath(QDir(appFolder).absolutePath());
    if (app.size() > 1 && app.endsWith('/')) app.chop(1);
    state.folders.app = app == "/" ? QString() : app; // folders below "/" are "/Sets/", not "//Sets/"
    state.folders.system = QStringLiteral("/usr/bin/");
    state.folders.library = QStringLiteral("/usr/lib/");
    state.folders.viewer = findDefaultViewer();

    for (const QString& name : startUpFolders()) FileOps::createFolder(state.workFolder(name));
    FileOps::deleteFilesIn(state.workFolder("Temp"));

    state.helpFilePath = state.folders.app + "/Varnhold.hlp";

    LoadTheEntry(state.settings, "File", state.recent);

    // Every key is read with its default and written straight back, so the store always holds a full set.
    for (const QStringList* keys : {&OptionKeys::generalKeys(), &OptionKeys::extractKeys()}) {
        QList<QPair<QString, QString>> values;
        for (const QString& key : *keys) values.append({key, state.reloadOption(key)});
        state.settings.SaveSettings(kSettingsSection, values);
    }
}
