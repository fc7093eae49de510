// The package index on disk: enciphered whole, one path a line, read through its working copy, written beside.
#include "finding/PackageIndex.h"
#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"

#include "TestSupport.h"

#include <QDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace testsupport;

namespace {

QByteArray deciphered(const QString& path) {
    QByteArray bytes = readFile(path);
    cipherBytes(bytes, kSetCipherKey);
    return bytes;
}

TEST(PackageIndex, RoundTripIsByteForByteAndVanishedPackagesAreDropped) {
    TempDir app, disk;
    writeFile(disk.file("b/Second Backup.zip"), "12345");
    writeFile(disk.file("a.ZIP"), "1");
    writeFile(disk.file("gone.zip"), "123");
    const QVector<PackageRow> rows = {
        {disk.file("b/Second Backup.zip"), 5}, {disk.file("gone.zip"), 3}, {"  " + disk.file("a.ZIP") + " ", 1}};
    ASSERT_TRUE(PackageIndex::save(app.path(), rows).ok());

    const QString index = app.file("Varnhold.dat");
    const QByteArray plain =
        (disk.file("b/Second Backup.zip") + "\r\n" + disk.file("gone.zip") + "\r\n" + disk.file("a.ZIP") + "\r\n")
            .toUtf8();
    EXPECT_NE(readFile(index), plain) << "stored enciphered";
    EXPECT_EQ(deciphered(index), plain) << "grid order, trimmed, CR LF after every line";
    EXPECT_EQ(listTree(app.path()), QStringList{"Varnhold.dat"}) << "no work file left beside it";

    QFile::remove(disk.file("gone.zip"));
    const QVector<PackageRow> loaded = PackageIndex::load(app.path());
    EXPECT_EQ(loaded, (QVector<PackageRow>{{disk.file("a.ZIP"), 1}, {disk.file("b/Second Backup.zip"), 5}}))
        << "existing packages only, sorted by path, sizes from the files";
    EXPECT_TRUE(QDir(app.file("Work")).isEmpty()) << "the working copy is removed after reading";

    ASSERT_TRUE(PackageIndex::save(app.path(), loaded).ok());
    EXPECT_EQ(deciphered(index), (disk.file("a.ZIP") + "\r\n" + disk.file("b/Second Backup.zip") + "\r\n").toUtf8());

    ASSERT_TRUE(PackageIndex::save(app.path(), {}).ok());
    EXPECT_EQ(readFile(index), QByteArray()) << "after Clear the index holds no lines";
}

TEST(PackageIndex, AnIndexThatDoesNotDecipherIntoPathsGivesNoRows) {
    TempDir app, disk;
    writeFile(disk.file("real.zip"), "z");
    const QByteArray path = disk.file("real.zip").toUtf8();
    const struct {
        QByteArray bytes;
        bool encipher;
    } cases[] = {
        {randomBytes(300, 3), false},               // not an index at all
        {path + "\r\n", false},                     // a plain list that was never enciphered
        {"relative.zip\r\n" + path + "\r\n", true}, // deciphers, but not into full paths
    };
    for (const auto& c : cases) {
        QByteArray bytes = c.bytes;
        if (c.encipher) cipherBytes(bytes, kSetCipherKey);
        writeFile(app.file("Varnhold.dat"), bytes);
        EXPECT_EQ(PackageIndex::load(app.path()), QVector<PackageRow>()) << c.bytes.left(20).toStdString();
    }
    EXPECT_EQ(PackageIndex::parse(path + "\r\n\r\n  " + path + "  \n"),
              QStringList({QString::fromUtf8(path), QString::fromUtf8(path)}));
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
