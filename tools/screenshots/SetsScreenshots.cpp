// Renders the pattern dialog and the backup set dialogs into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen sets_screenshots <output folder>
// It runs against a throw-away application folder and settings store, so nothing of the user's is touched.
#include "app/AppState.h"
#include "app/RegSettings.h"
#include "app/StartUp.h"
#include "sets/BackupSetFile.h"
#include "sets/SetSaving.h"
#include "sets/ui/fBkSet.h"
#include "sets/ui/fBkSetSave.h"
#include "sets/ui/fPatterns.h"

#include "Screenshot.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString out = screenshots::outputFolder(argc, argv);

    bool ok = true;
    CRegSettings settings("Brindlecot", "VarnholdScreenshots");
    fPatterns patterns(settings);
    ok &= screenshots::save(patterns, out + "/fPatterns.png");

    QTemporaryDir appFolder;
    AppState state("VarnholdScreenshots");
    runStartUp(state, appFolder.path());
    const QString sets = setsFolderOf(state);
    QDir().mkpath(sets);
    const SelectionRow folder{"/home/ann/Documents/", "1,204", "48,213,504", "*.*", "*.tmp"};
    // Fixed times, so the pictures do not change from one run to the next.
    const std::tuple<QString, QString, QDateTime> written[] = {
        {"Weekly.set", "Documents and letters, every Friday", QDateTime({2024, 6, 28}, {18, 5, 12})},
        {"Photos.set", "Camera pictures of the year", QDateTime({2024, 1, 2}, {9, 30, 0})},
        {"Projects.set", "Source folders without build output", QDateTime({2024, 5, 17}, {14, 2, 47})}};
    for (const auto& [name, comment, time] : written) {
        ok &= writeSetFile(sets + name, {comment, {folder}}).ok();
        QFile file(sets + name);
        ok &= file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
    }

    fBkSet select(state);
    select.selectSet("Photos.set");
    ok &= screenshots::save(select, out + "/fBkSet.png");

    fBkSetSave save(state, "Weekly.set", "Documents and letters, every Friday");
    ok &= screenshots::save(save, out + "/fBkSetSave.png");
    return ok ? 0 : 1;
}
