#include "ZipTestTools.h"

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
    const ToolRun run = python("import json, sys, zipfile\n"
                               "print(json.dumps([[i.filename, i.flag_bits, i.compress_type, list(i.date_time),"
                               " i.external_attr >> 16] for i in zipfile.ZipFile(sys.argv[1]).infolist()]))\n",
                               {package});
    QMap<QString, PyRow> rows;
    for (const auto& value : QJsonDocument::fromJson(run.out.toUtf8()).array()) {
        const QJsonArray a = value.toArray(), t = a[3].toArray();
        const QDateTime time(QDate(t[0].toInt(), t[1].toInt(), t[2].toInt()),
                             QTime(t[3].toInt(), t[4].toInt(), t[5].toInt()));
        rows.insert(a[0].toString(), PyRow{a[1].toInt(), a[2].toInt(), time, quint32(a[4].toInteger())});
    }
    return rows;
}

QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> files;
    for (const QString& name : listTree(root))
        files.insert(name, readFile(root + u'/' + name));
    return files;
}

qint64 findEntry(const ZipPackage& zip, const QString& storedName) {
    const auto& entries = zip.entries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].storedName() == storedName) return qint64(i);
    return -1;
}

void writeTree(const QString& root, const QMap<QString, QByteArray>& files, const QDateTime& when) {
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        writeFile(root + "/" + it.key(), it.value(), when);
}

void makePackage(const QString& path, const QString& root, const QStringList& relativeNames, CompressionLevel level,
                 const QString& password, const QString& comment) {
    ZipPackage zip;
    ASSERT_EQ(zip.zCreateNewZip(path), kZipOk) << qPrintable(zip.zGetLastErrorAsText());
    for (const QString& name : relativeNames)
        ASSERT_EQ(zip.zOrderFile(root + "/" + name, name, UpdateCode::AddReplace), kZipOk) << qPrintable(name);
    ASSERT_EQ(zip.zCompressFiles(password, level, comment, kNeverCancelled), kZipOk)
        << qPrintable(zip.zGetLastErrorAsText());
}

::testing::AssertionResult errorHas(const ZipPackage& zip, const QString& part) {
    const QString message = zip.zGetLastErrorAsText();
    if (message.contains(part)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message: " << qPrintable(message);
}

} // namespace ziptest
