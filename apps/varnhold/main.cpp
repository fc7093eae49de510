// varnhold: the desktop program, optionally with one zip package to open, as the desktop's "Open with" hands it
// over. It works in the application folder ($VARNHOLD_HOME, else ~/.local/share/Varnhold); "--app-folder DIR"
// picks another one for this run, as it does for varnhold-cli.
#include "app/AppState.h"
#include "viewer/ui/fMain.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <QUrl>

namespace {

/// Takes "--app-folder DIR" (or "--app-folder=DIR") out of args and hands the folder to the start-up, which
/// reads it from VARNHOLD_HOME.
void takeAppFolder(QStringList& args) {
    for (int i = 1; i < args.size(); ++i) {
        QString folder;
        if (args[i] == QLatin1String("--app-folder") && i + 1 < args.size()) {
            folder = args[i + 1];
            args.remove(i, 2);
        } else if (args[i].startsWith(QLatin1String("--app-folder="))) {
            folder = args[i].mid(13);
            args.remove(i, 1);
        } else {
            continue;
        }
        if (!folder.isEmpty()) qputenv("VARNHOLD_HOME", QFileInfo(folder).absoluteFilePath().toLocal8Bit());
        return;
    }
}

/// The package named on the command line as an absolute path: a plain path or a file URL.
QString packageArgument(const QStringList& args) {
    if (args.size() < 2) return {};
    QString arg = args.at(1);
    if (arg.startsWith(QLatin1String("file:"))) arg = QUrl(arg).toLocalFile();
    return arg.isEmpty() ? QString() : QFileInfo(arg).absoluteFilePath();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Varnhold");
    QGuiApplication::setDesktopFileName("varnhold");

    // Without a desktop session Qt only knows the bare "hicolor" theme, which has no file-type or menu
    // pictures; borrow the common full theme then so the grid and menus still show real icons.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName("Adwaita");
    QApplication::setWindowIcon(QIcon::fromTheme("varnhold", QIcon(":/varnhold.png")));

    QStringList arguments = app.arguments();
    takeAppFolder(arguments);
    AppState state;
    fMain window(state);
    window.show();

    const QString package = packageArgument(arguments);
    // Opened once the window is on screen, so the status line shows the open's progress.
    if (!package.isEmpty()) QTimer::singleShot(0, &window, [&window, package] { window.openPackage(package); });
    return app.exec();
}
