// Benchmark driver: packs every file below a folder into a new package, stored names relative to that folder, at
// one compression level, the way the build does (order every file, then one compress call). Prints the time the
// compress took and the package size, so bench_build.py can compare it with Info-ZIP's zip. With VOLUME_BYTES the
// package is then cut into volumes with splitIntoVolumes, as the build does, and the cut is timed too.
//
// usage: zipbuild_bench FOLDER PACKAGE fast|normal|maximum|none [VOLUME_BYTES [PASSWORD]]

#include "zip/ZipPackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr,
                     "usage: zipbuild_bench FOLDER PACKAGE fast|normal|maximum|none [VOLUME_BYTES [PASSWORD]]\n");
        return 2;
    }
    const QString folder = QFileInfo(args[1]).absoluteFilePath();
    const QString package = args[2];
    const QString levelName = args[3].toLower();
    CompressionLevel level = CompressionLevel::Normal;
    if (levelName == "fast")
        level = CompressionLevel::Fast;
    else if (levelName == "maximum" || levelName == "max")
        level = CompressionLevel::Maximum;
    else if (levelName == "none")
        level = CompressionLevel::None;
    const qint64 volumeSize = args.size() > 4 ? args[4].toLongLong() : -1;
    const QString password = args.size() > 5 ? args[5] : QString();

    QElapsedTimer timer;
    timer.start();
    QFile::remove(package);
    // Volumes are cut from a whole package written beside the target first.
    const QString whole = volumeSize >= 0 ? package + QStringLiteral(".whole") : package;
    ZipPackage zip;
    if (zip.zCreateNewZip(whole) != kZipOk) {
        std::fprintf(stderr, "%s\n", qPrintable(zip.zGetLastErrorAsText()));
        return 1;
    }
    const QDir base(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    QStringList files;
    while (it.hasNext())
        files << it.next();
    files.sort(); // a stable order, like a build list
    for (const QString& file : files) {
        if (zip.zOrderFile(file, base.relativeFilePath(file), UpdateCode::AddReplace) != kZipOk) {
            std::fprintf(stderr, "%s\n", qPrintable(zip.zGetLastErrorAsText()));
            return 1;
        }
    }
    const double ordered = double(timer.nsecsElapsed()) / 1e9;
    const CancelToken never;
    const int result = zip.zCompressFiles(password, level, {}, never);
    if (result != kZipOk) {
        std::fprintf(stderr, "%s\n", qPrintable(zip.zGetLastErrorAsText()));
        return 1;
    }
    zip.zCloseZipFile();
    if (volumeSize >= 0) {
        QString why;
        const int volumes = splitIntoVolumes(whole, package, volumeSize, &why, never);
        if (volumes < 0) QFile::rename(whole, package);
        QFile::remove(whole);
        if (volumes == 0) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return 1;
        }
    }
    std::printf("%d files, %.3f s (%.3f s listing and ordering), %lld bytes\n", int(files.size()),
                double(timer.nsecsElapsed()) / 1e9, ordered, static_cast<long long>(QFileInfo(package).size()));
    return 0;
}
