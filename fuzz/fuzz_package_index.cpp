// Reads a package index made of the input bytes two ways: as the deciphered text the reader parses, and as the
// stored (enciphered) index in an application folder, loaded through its working copy the way the find dialog
// and `varnhold-cli find --index` load it.
#include "FuzzSupport.h"
#include "finding/PackageIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList paths = PackageIndex::parse(bytes);
    for (const QString& path : paths)
        (void)path.size();

    const QString app = fuzz::scratch() + QStringLiteral("/app");
    QDir().mkpath(app);
    fuzz::writeInput(PackageIndex::indexPath(app), data, size);
    QVector<PackageRow> rows = PackageIndex::load(app);
    sortRows(rows, PackageSort::Path, false);
    return 0;
}
