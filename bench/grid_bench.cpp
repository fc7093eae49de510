// Opens a package of 100,000 entries in the main window (offscreen) and reports how long filling and sorting
// the grid take, how long re-sorting takes, and the peak memory of the process.
//   grid_bench PACKAGE.zip   (bench.py makes the package)
#include "app/AppState.h"
#include "shell/fMain.h"
#include "viewer/EntryList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

namespace {
double peakRssMb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}
} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8()); // keep the user's settings out of it
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varnhold");
    if (argc != 2) {
        std::fprintf(stderr, "usage: grid_bench PACKAGE.zip\n");
        return 2;
    }
    const QString package = QDir(QDir::currentPath()).absoluteFilePath(QString::fromLocal8Bit(argv[1]));
    QDir::setCurrent(home.path());
    const double before = peakRssMb();

    AppState state("VarnholdGridBench");
    fMain window(state);
    window.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    if (!window.openPackage(package)) return 1;
    QApplication::processEvents(); // the first paint of the filled grid belongs to the open
    const qint64 openMs = timer.elapsed();

    qint64 resort[2];
    for (int i = 0; i < 2; ++i) {
        timer.restart();
        window.sortByColumn(int(i == 0 ? EntryColumn::Modified : EntryColumn::Path));
        QApplication::processEvents();
        resort[i] = timer.elapsed();
    }
    std::printf("rows %d open+fill+sort %lld ms, re-sort by date %lld ms, by path %lld ms, peak RSS %.1f MB "
                "(%.1f MB before the window)\n",
                window.grid()->model()->rowCount(), openMs, resort[0], resort[1], peakRssMb(), before);
    return 0;
}
