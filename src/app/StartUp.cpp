#include "StartUp.h"

#include "RecentList.h"
#include "TextViewer.h"
#include "utility/FileOps.h"
#include "utility/ScratchFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

const QStringList& startUpFolders() {
    static const QStringList folders = {"Sets", "Temp", "Extract", "Zips", "Make", "Split"};
    return folders;
}

QString defaultAppFolder() {
    const QString home = qEnvironmentVariable("VARNHOLD_HOME");
    if (!home.isEmpty()) return QDir::cleanPath(QDir(home).absolutePath());
    // GenericDataLocation is $XDG_DATA_HOME when that is an absolute path, else ~/.local/share.
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/Varnhold"));
}

const QStringList& workFolderOwnFiles() {
    static const QStringList names = {"Temp.set", "Varnhold.Dat", "Temp.txt"};
    return names;
}

QString emptyScratchFolder(const QString& appFolder, const QString& name) {
    const QString folder = appFolder + u'/' + name;
    if (QString why = ScratchFolder::problem(folder); !why.isEmpty()) return why;
    ScratchFolder::removeOwnFiles(folder, name == QLatin1String("Work") ? workFolderOwnFiles() : QStringList());
    return {};
}

QString readmeFilePath(const QString& appFolder) {
    return appFolder + QStringLiteral("/Readme.txt");
}

void writeReadmeIfMissing(const QString& appFolder) {
    // Whatever is at that name, a file of the user's or a link, stays as it is.
    const QString path = readmeFilePath(appFolder);
    if (FileOps::exists(path) || QFileInfo(path).isSymLink()) return;
    QFile text(QStringLiteral(":/readme/README.md"));
    if (!text.open(QIODevice::ReadOnly)) return;
    FileOps::writeFileAtomically(path, text.readAll(), false);
}

void runStartUp(AppState& state, const QString& appFolder) {
    QString app = QDir::cleanPath(QDir(appFolder).absolutePath());
    if (app.size() > 1 && app.endsWith('/')) app.chop(1);
    state.folders.app = app == "/" ? QString() : app; // folders below "/" are "/Sets/", not "//Sets/"
    state.folders.system = QStringLiteral("/usr/bin/");
    state.folders.library = QStringLiteral("/usr/lib/");
    // Looking for the viewer may start xdg-mime; once the store holds a viewer its default is never needed.
    const QString viewerKey = OptionKeys::key(Option::ViewerProgram);
    bool viewerStored = false;
    for (const auto& [key, value] : state.settings.GetAllSettings(kSettingsSection))
        viewerStored = viewerStored || key == viewerKey;
    if (!viewerStored) state.folders.viewer = TextViewer::findDefault();

    if (const Status made = FileOps::createFolder(app); !made) state.startUpNotes << made.message();
    for (const QString& name : startUpFolders()) {
        // A scratch folder must be the program's own: what is at its path otherwise is left alone.
        if (name == QLatin1String("Temp")) {
            if (const Status made = ScratchFolder::prepare(state.workFolder(name)); !made)
                state.startUpNotes << made.message();
            continue;
        }
        FileOps::createFolder(state.workFolder(name));
    }
    emptyScratchFolder(state.folders.app, QStringLiteral("Temp"));
    if (const QString why = emptyScratchFolder(state.folders.app, QStringLiteral("Work")); !why.isEmpty())
        state.startUpNotes << why;

    state.helpFilePath = state.folders.app + "/Varnhold.hlp";
    writeReadmeIfMissing(state.folders.app);

    LoadTheEntry(state.settings, state.recent);

    // Every key is read with its default and written straight back, so the store always holds a full set. A
    // settings file that could not be read gives the defaults and is not written over with them: the store
    // refuses every write to it (see CRegSettings::problem).
    QList<Option> options;
    for (Option option : OptionKeys::all()) {
        state.reload(option);
        options.append(option);
    }
    state.save(options);
}
