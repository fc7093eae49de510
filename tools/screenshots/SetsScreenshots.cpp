// Renders the pattern dialog into a PNG file for the documentation:
//   QT_QPA_PLATFORM=offscreen sets_screenshots <output folder>
// It runs against a throw-away settings store, so nothing of the user's is touched.
#include "app/RegSettings.h"
#include "sets/ui/fPatterns.h"

#include "Screenshot.h"

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString out = screenshots::outputFolder(argc, argv);

    CRegSettings settings("Brindlecot", "VarnholdScreenshots");
    fPatterns dialog(settings);
    return screenshots::save(dialog, out + "/fPatterns.png") ? 0 : 1;
}
