// The package index on disk: enciphered whole, one path a line, read through its working copy, written beside.
#include "finding/PackageIndex.h"
#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"
#include "utility/NativePath.h"

#include "TestSupport.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>

using namespace testsupport;

namespace {

QByteArray deciphered(const QString& path) {
    QByteArray bytes = readFile(path);
    cipherBytes(bytes, kSetCipherKey);
    return bytes;
}

// Every package the find can list is kept byte for byte, whatever its name holds; each line of the index stands
// alone, so a line that cannot be a path is dropped as a missing package is, and the others stay.
TEST(PackageIndex, EveryNameIsKeptAndOnlyLinesThatCannotBePathsAreDropped) {
    TempDir app, disk;
    const QByteArray folder = NativePath::encode(disk.path()) + '/';
    const QByteArray names[] = {"plain.zip", "odd\x01name.zip", "lat\xe9.zip", "tab\tand\x7f.zip", "\xff\xfe.ZIP"};
    QVector<PackageRow> rows;
    QByteArray plain;
    for (const QByteArray& name : names) {
        const QString path = NativePath::decode(folder + name);
        writeNativeFile(path, name);
        rows.append({path, name.size()});
        plain += folder + name + "\r\n";
    }
    ASSERT_TRUE(PackageIndex::save(app.path(), rows).ok());
    EXPECT_EQ(deciphered(app.file("Varnhold.dat")), plain) << "each name's own bytes, CR LF after every line";
    sortRows(rows);
    EXPECT_EQ(PackageIndex::load(app.path()), rows);

    const QByteArray notPaths[] = {
        "relative.zip",                      // not a full path
        folder + QByteArray("nul\0.zip", 8), // no path holds a NUL
        randomBytes(60, 3).replace('\n', 'n').replace('/', 's'),
    };
    for (const QByteArray& line : notPaths) {
        QByteArray damaged = line + "\r\n" + plain + line + "\n";
        EXPECT_EQ(PackageIndex::parse(damaged).size(), qsizetype(std::size(names))) << line.toHex().constData();
        cipherBytes(damaged, kSetCipherKey);
        writeFile(app.file("Varnhold.dat"), damaged);
        EXPECT_EQ(PackageIndex::load(app.path()), rows) << line.toHex().constData();
    }
    EXPECT_EQ(PackageIndex::parse(folder + "a.zip\r\n\r\n  " + folder + "a.zip  \n"),
              QStringList(2, NativePath::decode(folder + "a.zip")))
        << "trimmed, empty lines skipped";
}

TEST(PackageIndex, AFailedWriteKeepsTheOldIndex) {
    TempDir app;
    writeFile(app.file("x.zip"), "x");
    ASSERT_TRUE(PackageIndex::save(app.path(), {{app.file("x.zip"), 1}}).ok());
    const QByteArray before = readFile(app.file("Varnhold.dat"));

    QVector<PackageRow> many;
    for (int i = 0; i < 200; ++i)
        many.append({app.file(QString("folder%1/package.zip").arg(i)), 1});
    // A file size limit makes the write fail even for root, as a full disk would.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1024;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status status = PackageIndex::save(app.path(), many);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(status.ok());
    EXPECT_EQ(readFile(app.file("Varnhold.dat")), before);
    EXPECT_EQ(listTree(app.path()), QStringList({"Varnhold.dat", "x.zip"}));
}

} // namespace
