#pragma once
// Helpers for the zip layer's tests: peer programs that make and check packages, and lookups in our listing.

#include "TestSupport.h"
#include "zip/ZipPackage.h"

#include <QDateTime>
#include <QMap>
#include <gtest/gtest.h>

namespace ziptest {

using namespace testsupport;

/// The token of a run nobody cancels.
inline const CancelToken kNeverCancelled;

/// A fixed local time at an even second, so DOS time keeps it exactly.
QDateTime fixedTime(int dayOffset = 0, int secondOffset = 0);

/// Runs a Python snippet with sys.argv[1:] = args; fails the test when Python does.
ToolRun python(const QString& code, const QStringList& args = {});

/// What Python's zipfile reads from each entry of a package.
struct PyRow {
    QString name;
    int flagBits = 0;
    int method = 0;
    QDateTime time;
    qint64 size = 0;
    quint32 unixMode = 0;
};
QMap<QString, PyRow> pythonRows(const QString& package);

/// Index of the entry with this stored name, or -1.
qint64 findEntry(const ZipPackage& zip, const QString& storedName);

/// Writes a file and then gives it the modification time `when`. (Setting the time while the write is still
/// buffered would let the final flush stamp the file with the current time.)
void writeFileAt(const QString& path, const QByteArray& bytes, const QDateTime& when);

/// Writes files (relative name -> contents, all with time `when`) below root.
void writeTree(const QString& root, const QMap<QString, QByteArray>& files, const QDateTime& when);

/// Creates a package at path holding the files below root under their relative names; asserts success.
void makePackage(const QString& path, const QString& root, const QStringList& relativeNames,
                 CompressionLevel level = CompressionLevel::Normal, const QString& password = {});

} // namespace ziptest
