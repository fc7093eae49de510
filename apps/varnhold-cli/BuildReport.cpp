#include "BuildReport.h"

#include "CliOutput.h"
#include "app/AppState.h"
#include "utility/TextUtil.h"

#include <QDir>

namespace cli {

void BuildBars::select(int percent) {
    if (!selecting) selecting.emplace("Selecting files");
    selecting->update(percent, 100);
}

void BuildBars::compress(int percent) {
    if (selecting) selecting->finish(), selecting.reset();
    if (!compressing) compressing.emplace("Compressing");
    compressing->update(percent, 100);
}

void BuildBars::check(int percent) {
    if (compressing) compressing->finish(), compressing.reset();
    if (!checking) checking.emplace("Checking the new package");
    checking->update(percent, 100);
}

void BuildBars::finish() {
    if (selecting) selecting->finish(), selecting.reset();
    if (compressing) compressing->finish(), compressing.reset();
    if (checking) checking->finish(), checking.reset();
}

void BuildBars::connect(BuildCallbacks& callbacks) {
    callbacks.selecting = [this](int percent) { select(percent); };
    callbacks.compressing = [this](int percent) { compress(percent); };
    callbacks.checking = [this](int percent) { check(percent); };
}

void printSkippedFiles(const BuildResult& result) {
    for (const QString& path : result.lockedPaths)
        printTagged("locked  ", path);
    for (const LeftOutFile& file : result.leftOutFiles)
        printTagged("left out  ", file.path + ": " + file.reason);
    for (const QString& path : result.changedPaths)
        printTagged("changed  ", path);
    for (const QString& note : result.notes)
        printError(note);
}

void printBuildCounters(const AppState& state, const BuildResult& result, BuildMode mode) {
    QStringList lines{result.heading.trimmed(),
                      mode == BuildMode::Update ? result.resultPackagePath : "Zip Package: " + result.resultPackagePath,
                      "Total number of files selected: " + TextUtil::formatGrouped(result.selectedFiles),
                      "Total number of bytes selected: " + TextUtil::formatGrouped(result.selectedBytes),
                      "Total compressed bytes: " + TextUtil::formatGrouped(result.packageBytes)};
    if (!result.updatedLine.isEmpty()) lines << result.updatedLine;
    lines << result.lockedLine;
    if (!result.leftOutLine.isEmpty()) lines << result.leftOutLine;
    if (!result.changedLine.isEmpty()) lines << result.changedLine;
    const QString lockedList = QDir::cleanPath(state.workFolder("Zips") + "Locked.Txt");
    if (result.lockedListWritten) {
        if (result.locked > 0)
            lines << "List of locked files saved as " + lockedList;
        else if (result.leftOut > 0 || result.changed > 0)
            lines << "List of files left out or changed saved as " + lockedList;
    }
    QByteArray out;
    for (const QString& line : lines)
        out += printableLine(line);
    writeOut(out);
}

} // namespace cli
