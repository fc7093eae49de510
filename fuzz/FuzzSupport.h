#pragma once
// Shared by the fuzz targets: one private folder per fuzzing process, and the input written to a file in it,
// since the code under test reads packages and set files from disk.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzz {

/// The process's own scratch folder, removed when the process ends.
inline const QString& scratch() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/varnhold-fuzz-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        std::abort();
    }
    static const QString path = dir.path();
    // Extracted names may hold bytes that are not UTF-8, which QTemporaryDir cannot remove; this runs first.
    static const int cleanup = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(QFile::encodeName(path).toStdString(), ignored);
    });
    (void)cleanup;
    return path;
}

/// Writes data to path (replacing it); aborts when that fails, since the run would then test nothing.
inline void writeInput(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

/// Stops the run with a message: libFuzzer keeps the input that got here as a crash.
[[noreturn]] inline void fail(const QString& why) {
    std::fprintf(stderr, "fuzz check failed: %s\n", qPrintable(why));
    std::abort();
}

} // namespace fuzz
