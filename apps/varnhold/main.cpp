// varnhold: the desktop program. Started in the application folder (the working folder), optionally with one
// zip package to open, as the desktop's "Open with" hands it over.
#include "app/AppState.h"
#include "viewer/ui/fMain.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <QUrl>
#include <csignal>

namespace {

/// The package named on the command line as an absolute path: a plain path or a file URL.
QString packageArgument(const QStringList& args) {
    if (args.size() < 2) return {};
    QString arg = args.at(1);
    if (arg.startsWith(QLatin1String("file:"))) arg = QUrl(arg).toLocalFile();
    return arg.isEmpty() ? QString() : QFileInfo(arg).absoluteFilePath();
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) must not kill the program halfway through a package: the write fails with
    // EFBIG instead, which is reported, and the old package stays.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("Varnhold");
    QGuiApplication::setDesktopFileName("varnhold");

    // Without a desktop session Qt only knows the bare "hicolor" theme, which has no file-type or menu
    // pictures; borrow the common full theme then so the grid and menus still show real icons.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName("Adwaita");
    QApplication::setWindowIcon(QIcon::fromTheme("varnhold", QIcon(":/varnhold.png")));

    AppState state;
    fMain window(state);
    window.show();

    const QString package = packageArgument(app.arguments());
    // Opened once the window is on screen, so the status line shows the open's progress.
    if (!package.isEmpty()) QTimer::singleShot(0, &window, [&window, package] { window.openPackage(package); });
    return app.exec();
}
