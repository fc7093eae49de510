// varnhold: the desktop program, optionally with one zip package to open, as the desktop's "Open with" hands it
// over. It works in the application folder ($VARNHOLD_HOME, else $XDG_DATA_HOME/Varnhold); "--app-folder DIR"
// picks another one for this run, as it does for varnhold-cli.
#include "app/AppState.h"
#include "app/Version.h"
#include "shell/fMain.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <QUrl>
#include <csignal>

#include <cstdio>
#include <cstring>

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

const char kUsage[] = "Usage: varnhold [--app-folder DIR] [ZIP]\n"
                      "       varnhold [--app-folder DIR] -- ZIP\n"
                      "\n"
                      "Opens the Varnhold window, and opens the zip package ZIP (a path or a file: URL) when one\n"
                      "is given. Use \"--\" before a package whose name starts with \"-\". In the window, Build\n"
                      "and Quick -> Update Zip Package (the menu of Update) open the build wizard; Find lists\n"
                      "the zip packages on the local disks.\n"
                      "\n"
                      "  --app-folder DIR  The application folder (sets, work folders); by default\n"
                      "                    $VARNHOLD_HOME, else $XDG_DATA_HOME/Varnhold (normally\n"
                      "                    ~/.local/share/Varnhold), never the folder it is started in.\n"
                      "  --help            Shows this text.\n"
                      "  --version         Shows the program's version.\n"
                      "\n"
                      "The same jobs without a window: varnhold-cli --help.\n";

/// The package named on the command line as an absolute path: a plain path or a file URL. Sets *problem for an
/// option the program does not know or a second package.
QString packageArgument(const QStringList& args, QString* problem) {
    QStringList given = args.mid(1);
    const qsizetype dashes = given.indexOf(QStringLiteral("--"));
    for (qsizetype i = 0; i < (dashes < 0 ? given.size() : dashes); ++i)
        if (given.at(i).startsWith(u'-')) *problem = QStringLiteral("unknown option ") + given.at(i);
    if (dashes >= 0) given.removeAt(dashes);
    if (problem->isEmpty() && given.size() > 1) *problem = QStringLiteral("one zip package at a time");
    if (!problem->isEmpty() || given.isEmpty()) return {};
    QString arg = given.first();
    if (arg.startsWith(QLatin1String("file:"))) arg = QUrl(arg).toLocalFile();
    return arg.isEmpty() ? QString() : FileOps::absolutePath(arg);
}

} // namespace

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) must not kill the program halfway through a package: the write fails with
    // EFBIG instead, which is reported, and the old package stays.
    std::signal(SIGXFSZ, SIG_IGN);
    // Answered before anything graphical starts, so they work without a display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("varnhold %s\n", VARNHOLD_VERSION);
            return 0;
        }
    }

    QApplication app(argc, argv);
    QString problem;
    // Qt has taken its own options (-platform, -style ...) out of argv by now. The rest is read as the bytes it
    // is: a package named by bytes that are not UTF-8 must reach the open as it is (NativePath), which
    // QCoreApplication::arguments() cannot give.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << NativePath::decode(argv[i]);
    takeAppFolder(arguments);
    const QString package = packageArgument(arguments, &problem);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "varnhold: %s\nTry 'varnhold --help'.\n", problem.toUtf8().constData());
        return 2;
    }
    QCoreApplication::setApplicationName("Varnhold");
    QGuiApplication::setDesktopFileName("varnhold");

    // Without a desktop session Qt only knows the bare "hicolor" theme, which has no file-type or menu
    // pictures; borrow the common full theme then so the grid and menus still show real icons.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) QIcon::setThemeName("Adwaita");
    QApplication::setWindowIcon(QIcon::fromTheme("varnhold", QIcon(":/varnhold-128.png")));

    AppState state;
    fMain window(state);
    window.show();

    // Opened once the window is on screen, so the status line shows the open's progress.
    if (!package.isEmpty()) QTimer::singleShot(0, &window, [&window, package] { window.openPackage(package); });
    return app.exec();
}
