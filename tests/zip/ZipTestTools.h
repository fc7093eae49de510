#pragma once
// Helpers for the zip layer's tests: peer programs that make and check packages, and lookups in our listing.

#include "TestSupport.h"
#include "zip/ZipPackage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <sys/stat.h>
#include <unistd.h>

namespace ziptest {

using namespace testsupport;

/// The token of a run nobody cancels.
inline const CancelToken kNeverCancelled;

/// A fixed local time at an even second, so DOS time keeps it exactly.
QDateTime fixedTime(int dayOffset = 0, int secondOffset = 0);

/// Runs a Python snippet with sys.argv[1:] = args; fails the test when Python does.
ToolRun python(const QString& code, const QStringList& args = {});

/// What Python's zipfile reads from each entry of a package, by name.
struct PyRow {
    int flagBits = 0;
    int method = 0;
    QDateTime time;
    quint32 unixMode = 0;
};
QMap<QString, PyRow> pythonRows(const QString& package);

/// The files below root (relative name -> contents).
QMap<QString, QByteArray> snapshot(const QString& root);

/// Index of the entry with this stored name, or -1.
qint64 findEntry(const ZipPackage& zip, const QString& storedName);

/// Writes files (relative name -> contents, all with time `when`) below root.
void writeTree(const QString& root, const QMap<QString, QByteArray>& files, const QDateTime& when);

/// Creates a package at path holding the files below root under their relative names; asserts success.
void makePackage(const QString& path, const QString& root, const QStringList& relativeNames,
                 CompressionLevel level = CompressionLevel::Normal, const QString& password = {},
                 const QString& comment = {});

/// Whether the package's last message contains part; a failure shows the whole message.
::testing::AssertionResult errorHas(const ZipPackage& zip, const QString& part);

} // namespace ziptest

/// Declares the package `zip` opened on the path (and purpose) given; a failure to open ends the test.
#define OPEN_ZIP(zip, ...)                                                                                             \
    ZipPackage zip;                                                                                                    \
    ASSERT_EQ(zip.zOpenZipFile(__VA_ARGS__), kZipOk) << qPrintable(zip.zGetLastErrorAsText())
