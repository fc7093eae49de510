// Carries out a rebuild journal made of the input bytes, as the next build of a spanned package does. A journal is
// a file anybody can put beside a package, so whatever it says, only the package's volumes and the volume work
// file of the journal's own run may change; the user's file beside them and the file outside stay as they were.
// The input is the journal's body: its closing checksum is added here, so every input counts as committed, and
// "PID" in it stands for this process's id (the writer of the journal and of the work file).
#include "FuzzSupport.h"
#include "zip/ZipPackage.h"

#include <QDirIterator>
#include <QMap>
#include <unistd.h>
#include <zlib.h>

namespace {

QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("?"));
    }
    return files;
}

void put(const QString& path, const QByteArray& bytes) {
    fuzz::writeInput(path, reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString root = fuzz::scratch() + QStringLiteral("/journal");
    QDir(root).removeRecursively();
    const QString folder = root + QStringLiteral("/pkg");
    QDir().mkpath(folder);
    const QByteArray pid = QByteArray::number(qint64(::getpid()));
    put(root + QStringLiteral("/outside.txt"), "the user's");
    put(folder + QStringLiteral("/other.txt"), "the user's");
    put(folder + QStringLiteral("/p.zip"), "old last volume");
    put(folder + QStringLiteral("/p.z01"), "old volume");
    put(folder + QStringLiteral("/.p.zip.vhw-") + QString::fromLatin1(pid) + QStringLiteral("-1"), "new volume");

    QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    body.replace("PID", pid);
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
    put(folder + QStringLiteral("/.p.zip.rebuild-journal.vhw-") + QString::fromLatin1(pid) + QStringLiteral("-2"),
        body + "end " + QByteArray::number(qulonglong(crc), 16) + '\n');

    const QMap<QString, QByteArray> before = snapshot(root);
    QStringList notes;
    recoverSpannedRebuild(folder + QStringLiteral("/p.zip"), &notes);
    const QMap<QString, QByteArray> after = snapshot(root);
    for (const QString& kept : {root + QStringLiteral("/outside.txt"), folder + QStringLiteral("/other.txt")})
        if (after.value(kept) != before.value(kept)) fuzz::fail(QStringLiteral("a journal changed ") + kept);
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QString name = QFileInfo(it.key()).fileName();
        const bool ours = name == QLatin1String("p.zip") || name.startsWith(QLatin1String("p.z")) ||
                          name.startsWith(QLatin1String(".p.zip."));
        if (!before.contains(it.key()) && !ours) fuzz::fail(QStringLiteral("a journal made ") + it.key());
    }
    return 0;
}
