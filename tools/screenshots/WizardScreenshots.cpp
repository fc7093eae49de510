// Renders the build wizard's tabs into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen wizard_screenshots <output folder>
// Every tab in build mode, and the last tab in update mode. It runs against a throw-away application folder,
// settings store and home folder, so nothing of the user's is touched.
#include "app/AppState.h"
#include "app/StartUp.h"
#include "backup/FolderTreeModel.h"
#include "backup/ui/fKovra.h"

#include "Screenshot.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

void writeFile(const QString& path, qint64 size) {
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.resize(size); // sparse: only the length counts
}

SelectionRow row(const QString& path, const QString& files, const QString& size, const QString& include = {},
                 const QString& exclude = {}) {
    return SelectionRow{path, files, size, include, exclude};
}

// Ticks the folders in the tree as a user would and waits for their counts.
void tick(fKovra& wizard, const QStringList& folders) {
    for (const QString& folder : folders) {
        const QModelIndex index = wizard.folderTree().indexOf(folder);
        wizard.folderTreeView()->scrollTo(index);
        wizard.folderTree().setData(index, Qt::Checked, Qt::CheckStateRole);
    }
    while (wizard.counting())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", (scratch.path() + "/config").toUtf8());
    QApplication app(argc, argv);
    const QString out = screenshots::outputFolder(argc, argv);

    // A home folder with a short path, as the user's own would be; removed again at the end.
    const QString home = QDir::tempPath() + "/home/ann/";
    if (QFileInfo::exists(QDir::tempPath() + "/home")) {
        std::fprintf(stderr, "%s/home is in the way\n", qPrintable(QDir::tempPath()));
        return 1;
    }
    struct RemoveHome {
        QString path;
        ~RemoveHome() { QDir(path).removeRecursively(); }
    } removeHome{QDir::tempPath() + "/home"};
    for (const char* name :
         {"Documents/letter.odt", "Documents/taxes/2023.pdf", "Documents/taxes/2024.pdf", "Pictures/2024/beach.jpg",
          "Pictures/2024/hills.jpg", "Pictures/cat.png", "Music/song.ogg", "Projects/varnhold/notes.txt"})
        writeFile(home + name, 180000 + 7919 * qstrlen(name));
    AppState state("VarnholdWizardScreenshots");
    runStartUp(state, scratch.path() + "/Varnhold");
    state.saveText(Option::ZipFolder, home + "Backups/");
    state.saveText(Option::ZipFileName, "Weekly.zip");

    bool ok = true;
    {
        fKovra wizard(state, BuildMode::Build, {}, {}, nullptr, {home});
        wizard.show();
        QTreeView* tree = wizard.folderTreeView();
        tree->expand(wizard.folderTree().indexOf(home));
        tree->expand(wizard.folderTree().indexOf(home + "Documents"));
        tick(wizard, {home + "Documents/", home + "Pictures/"});

        SelectionModel& selection = wizard.selection();
        selection.files.appendRow(row(home + "Music/song.ogg", "1", "180,119"));
        selection.files.appendRow(row(home + "Projects/varnhold/notes.txt", "1", "180,223"));
        selection.files.refreshSummary();
        selection.sets.appendRow(row(home + "Projects/", "14", "1,204,311", "*.*", "*.tmp  *.swp  system.dat"));
        selection.sets.appendRow(row(home + "Music/song.ogg", "1", "180,119"));
        selection.sets.refreshSummary();
        selection.setComment = "Weekly backup of the projects";
        const QDateTime when(QDate(2024, 7, 14), QTime(9, 30, 12));
        selection.search.appendRow(row(home + "Pictures/cat.png", "1", "252,811"), {when, when.addDays(-3), when});
        selection.search.appendRow(row(home + "Pictures/2024/beach.jpg", "1", "378,407"),
                                   {when.addSecs(-3600), when.addDays(-30), when});
        selection.search.refreshSummary();
        wizard.reloadGrids();

        const char* files[] = {"fKovra-folders.png", "fKovra-files.png", "fKovra-sets.png", "fKovra-search.png",
                               "fKovra-build.png"};
        for (int tab = 0; tab < 5; ++tab) {
            wizard.tabs()->setCurrentIndex(tab);
            ok &= screenshots::save(wizard, out + "/" + files[tab]);
        }
    }
    {
        fKovra wizard(state, BuildMode::Update, home + "Backups/Weekly.zip", "Weekly backup", nullptr, {home});
        wizard.show();
        tick(wizard, {home + "Documents/"});
        wizard.tabs()->setCurrentIndex(fKovra::BuildTab);
        ok &= screenshots::save(wizard, out + "/fKovra-update.png");
    }
    return ok ? 0 : 1;
}
