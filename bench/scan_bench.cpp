// Lists a folder tree the way a folder scan does and prints the file count and byte total, so bench.py can
// time it against find on the same tree.
#include "utility/FolderTree.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: scan_bench FOLDER\n");
        return 2;
    }
    std::vector<FolderRecord> records;
    const CancelToken cancel;
    if (!listFolderTree(QString::fromLocal8Bit(argv[1]), records, cancel)) return 1;
    qint64 files = 0, bytes = 0;
    for (const FolderRecord& r : records)
        if (!r.isFolder) ++files, bytes += r.size;
    std::printf("%lld files, %lld bytes\n", files, bytes);
    return 0;
}
