#pragma once
// Packages for the find tests, written by Python's zipfile in one run: each path with its stored entry names.

#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace findtest {

inline void makePackages(const QMap<QString, QStringList>& packages) {
    static const char* script = R"(
import sys, json, os, zipfile
for path, names in json.loads(sys.argv[1]).items():
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with zipfile.ZipFile(path, "w") as z:
        for n in names:
            z.writestr(n, "" if n.endswith("/") else "data of " + n)
)";
    QJsonObject contents;
    for (auto it = packages.begin(); it != packages.end(); ++it)
        contents.insert(it.key(), QJsonArray::fromStringList(it.value()));
    const testsupport::ToolRun run =
        testsupport::runTool("python3", {"-c", script, QString::fromUtf8(QJsonDocument(contents).toJson())});
    if (run.exitCode != 0) throw std::runtime_error("python3 zipfile failed: " + run.err.toStdString());
}

} // namespace findtest
