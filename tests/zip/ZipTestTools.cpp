#include "ZipTestTools.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace ziptest {

QDateTime fixedTime(int dayOffset, int secondOffset) {
    return QDateTime(QDate(2021, 5, 17), QTime(10, 30, 44)).addDays(dayOffset).addSecs(secondOffset);
}

ToolRun python(const QString& code, const QStringList& args) {
    ToolRun run = runTool(QStringLiteral("python3"), QStringList{QStringLiteral("-c"), code} + args);
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    return run;
}

QMap<QString, PyRow> pythonRows(const QString& package) {
    const ToolRun run =
        python(QStringLiteral("import json, sys, zipfile\n"
                              "z = zipfile.ZipFile(sys.argv[1])\n"
                              "print(json.dumps([[i.filename, i.flag_bits, i.compress_type, list(i.date_time),"
                              " i.file_size, i.external_attr >> 16] for i in z.infolist()]))\n"),
               {package});
    QMap<QString, PyRow> rows;
    const QJsonArray list = QJsonDocument::fromJson(run.out.toUtf8()).array();
    for (const auto& value : list) {
        const QJsonArray a = value.toArray();
        const QJsonArray t = a[3].toArray();
        PyRow row;
        row.name = a[0].toString();
        row.flagBits = a[1].toInt();
        row.method = a[2].toInt();
        row.time =
            QDateTime(QDate(t[0].toInt(), t[1].toInt(), t[2].toInt()), QTime(t[3].toInt(), t[4].toInt(), t[5].toInt()));
        row.size = a[4].toInteger();
        row.unixMode = quint32(a[5].toInteger());
        rows.insert(row.name, row);
    }
    return rows;
}

qint64 findEntry(const ZipPackage& zip, const QString& storedName) {
    const auto& entries = zip.entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].storedName() == storedName) return qint64(i);
    return -1;
}

void writeFileAt(const QString& path, const QByteArray& bytes, const QDateTime& when) {
    writeFile(path, bytes);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
}

void writeTree(const QString& root, const QMap<QString, QByteArray>& files, const QDateTime& when) {
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFileAt(root + "/" + it.key(), it.value(), when);
}

void makePackage(const QString& path, const QString& root, const QStringList& relativeNames, CompressionLevel level,
                 const QString& password) {
    ZipPackage zip;
    ASSERT_EQ(zip.zCreateNewZip(path), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    for (const QString& name : relativeNames)
        ASSERT_EQ(zip.zOrderFile(root + "/" + name, name, UpdateCode::AddReplace), kZipOk)
            << qPrintable(zip.zGetLastErrorAsText());
    ASSERT_EQ(zip.zCompressFiles(password, level, {}, kNeverCancelled), kZipOk)
        << qPrintable(zip.zGetLastErrorAsText());
}

} // namespace ziptest
