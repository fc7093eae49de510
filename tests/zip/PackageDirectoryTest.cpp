#include "zip/PackageDirectory.h"
#include "TestSupport.h"

#include <QFile>
#include <zip.h>

using namespace testsupport;

// Writes a package of the given entries in that order ("name/" makes a folder entry).
static QString makePackage(const QString& path, const QStringList& names) {
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const QString& name : names) {
        if (name.endsWith('/')) {
            zip_dir_add(archive, name.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t* source = zip_source_buffer(archive, "content", 7, 0);
            zip_int64_t index = zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
            zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
        }
    }
    if (zip_close(archive) != 0) qFatal("cannot write %s", qPrintable(path));
    return path;
}

TEST(PackageDirectory, GivesTheStoredNamesInOrder) {
    TempDir dir;
    const QStringList names = {"zeta.txt", "docs/", "docs/readme.md", "Grüße/übersicht.txt"};
    Result<PackageDirectory> result = zipEntryNames(makePackage(dir.file("p.zip"), names));
    ASSERT_TRUE(result) << result.message().toStdString();
    EXPECT_EQ(result->names, names);
    EXPECT_FALSE(result->tableFull);

    // Just the end record, as tools leave a package whose last entry was deleted: a package with no names.
    writeFile(dir.file("empty.zip"), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    result = zipEntryNames(dir.file("empty.zip"));
    EXPECT_TRUE(result && result->names.isEmpty() && !result->tableFull);
}

TEST(PackageDirectory, FailuresNameTheFile) {
    TempDir dir;
    writeFile(dir.file("empty.zip"), ""); // 0 bytes: no package, whatever libzip would make of it
    writeFile(dir.file("text.zip"), sampleText(5000));
    const QByteArray good = readFile(makePackage(dir.file("good.zip"), {"a.txt", "b.txt", "c.txt"}));
    writeFile(dir.file("cut.zip"), good.left(good.size() - 60)); // the central directory is gone
    QByteArray moved = good;
    moved[moved.lastIndexOf(QByteArray("PK\x05\x06", 4)) + 16] += 3; // points beside the central directory
    writeFile(dir.file("moved.zip"), moved);
    for (const QString& path : {dir.file("missing.zip"), dir.file("empty.zip"), dir.file("text.zip"),
                                dir.file("cut.zip"), dir.file("moved.zip"), dir.path()}) {
        Result<PackageDirectory> result = zipEntryNames(path);
        EXPECT_FALSE(result) << path.toStdString();
        EXPECT_TRUE(result.message().contains(path)) << result.message().toStdString();
    }
}
