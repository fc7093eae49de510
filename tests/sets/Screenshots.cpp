// Renders the pattern dialog into a PNG file for the documentation:
//   QT_QPA_PLATFORM=offscreen sets_screenshots <output folder>
// It runs against a throw-away settings store, so nothing of the user's is touched.
#include "app/RegSettings.h"
#include "sets/ui/fPatterns.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    CRegSettings settings("Brindlecot", "VarnholdScreenshots");
    fPatterns dialog(settings);
    dialog.show();
    QApplication::processEvents();
    const QString file = out + "/fPatterns.png";
    const bool ok = dialog.grab().save(file);
    std::fprintf(stderr, "%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(file), dialog.width(), dialog.height());
    return ok ? 0 : 1;
}
