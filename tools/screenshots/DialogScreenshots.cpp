// Renders the dialogs into PNG files for the documentation:
//   QT_QPA_PLATFORM=offscreen dialog_screenshots <output folder>
// It runs against a throw-away application folder and settings store, so nothing of the user's is touched.
#include "app/AppState.h"
#include "app/StartUp.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/fDelete.h"
#include "app/ui/fError.h"
#include "app/ui/fReplace.h"
#include "tools/ExtractRequest.h"
#include "tools/ui/fExtract.h"

#include "Screenshot.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextBrowser>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString out = screenshots::outputFolder(argc, argv);

    bool ok = true;
    fError error("Cannot open /home/ann/Zips/Photos 2023.zip: the file does not exist.");
    ok &= screenshots::save(error, out + "/fError.png");

    fReplace replace("/home/ann/Zips/Photos 2023.zip", "48,213,504 Bytes", "Monday 1 July 2024 10:15:02");
    ok &= screenshots::save(replace, out + "/fReplace.png");

    fDelete remove("0", "holiday/beach-0412.jpg");
    ok &= screenshots::save(remove, out + "/fDelete.png");

    QTemporaryDir appFolder;
    AppState state("VarnholdScreenshots");
    runStartUp(state, appFolder.path());
    // Folders as a user would have them, rather than the throw-away ones.
    state.saveText(Option::ExtractFolder, "/home/ann/Varnhold/Extract/");
    state.saveText(Option::SelectedExtractFolder, "/home/ann/Pictures/");
    state.saveText(Option::ZipPassword, "secret");
    requestExtractOne(state, "beach-0412.jpg", 3);
    ZipPackage package;
    fExtract extract(state, package);
    ok &= screenshots::save(extract, out + "/fExtract.png");

    showHelpTopic(nullptr, 120);
    if (QTextBrowser* browser = currentHelpBrowser()) ok &= screenshots::save(*browser->window(), out + "/help.png");
    return ok ? 0 : 1;
}
