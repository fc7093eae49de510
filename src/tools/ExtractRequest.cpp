#include "ExtractRequest.h"

#include "app/AppState.h"

namespace {
QString yesNo(bool yes) { return yes ? QStringLiteral("-1") : QStringLiteral("0"); }
} // namespace

ExtractSettings ExtractSettings::fromState(const AppState& state) {
    ExtractSettings s;
    s.defaultFolder = state.option("Options07");
    s.selectedFolder = state.option("Optionse9");
    s.password = state.option("Optionse4");
    s.useDefault = state.optionIsYes("Optionse1");
    s.useSelected = state.optionIsYes("Optionse2");
    s.hidePassword = state.optionIsYes("Optionse3");
    s.overwrite = state.optionIsYes("Optionse5");
    s.skipOlder = state.optionIsYes("Optionse6");
    s.useFolderNames = state.optionIsYes("Optionse7");
    return s;
}

void ExtractSettings::store(AppState& state) const {
    state.saveOption("Options07", defaultFolder);
    state.saveOption("Optionse1", yesNo(useDefault));
    state.saveOption("Optionse2", yesNo(useSelected));
    state.saveOption("Optionse3", yesNo(hidePassword));
    state.saveOption("Optionse4", password);
    state.saveOption("Optionse5", yesNo(overwrite));
    state.saveOption("Optionse6", yesNo(skipOlder));
    state.saveOption("Optionse7", yesNo(useFolderNames));
    state.saveOption("Optionse9", selectedFolder);
}

void requestExtractOne(AppState& state, const QString& name, qint64 entryIndex) {
    state.saveOption("Optionse8", kExtractOneRequest);
    state.saveOption("Optionsea", name);
    state.saveOption("Optionseb", "");
    state.saveOption("Optionsec", QString::number(entryIndex));
}

void requestExtractAll(AppState& state) {
    state.saveOption("Optionse8", kExtractAllRequest);
    state.saveOption("Optionsea", kAllFilesName);
    state.saveOption("Optionseb", "");
    state.saveOption("Optionsec", "");
}

ExtractAnswer runExtractRequest(const AppState& state, ZipPackage& package, const ExtractSettings& settings,
                                const ZipProgressCallback& progress) {
    ExtractAnswer answer;
    answer.name = state.option("Optionsea");
    answer.folder = settings.targetFolder();
    const bool one = state.option("Optionse8") == kExtractOneRequest;
    if (answer.folder.trimmed().isEmpty()) {
        // The zip layer would try the working folder's root and say it cannot write into " ".
        answer.folder.clear();
        answer.error = kNoFolderMessage;
        return answer;
    }
    int result = kZipFailed;
    if (one) {
        bool ok = false;
        const qint64 index = state.option("Optionsec").toLongLong(&ok);
        if (!ok || index < 0 || index >= package.zGetTotalFiles()) {
            answer.folder.clear();
            answer.error = QStringLiteral("No entry to extract.");
            return answer;
        }
        result = package.zExtractOne(index, answer.folder, settings.password, settings.options(), &answer.report);
    } else {
        result = package.zExtractAll(answer.folder, settings.password, settings.options(), progress, &answer.report);
    }
    if (result == kZipOk) return answer;
    answer.folder.clear();
    answer.error = package.zGetLastErrorAsText();
    if (result == kZipCancelled) answer.name = answer.error = kCancelAnswer;
    return answer;
}

void storeExtractAnswer(AppState& state, const ExtractAnswer& answer) {
    state.saveOption("Optionsea", answer.name);
    state.saveOption("Optionseb", answer.folder);
    state.saveOption("Optionsec", answer.error);
}

QString extractStatusText(const QString& name, const QString& folder, const QString& error) {
    QString text;
    if (!error.isEmpty()) text = "Extract error: " + error;
    if (!folder.isEmpty() && !name.isEmpty() && error.isEmpty()) text = name + " was extracted to " + folder;
    if (name == kCancelAnswer || error == kCancelAnswer) text = "Extract cancelled";
    return text;
}

QString extractStatusText(const ExtractAnswer& answer) {
    const ExtractReport& r = answer.report;
    const bool mixed = r.skipped > 0 || !r.failed.isEmpty() || !r.refused.isEmpty();
    if (answer.name == kCancelAnswer || answer.error == kCancelAnswer || (!mixed && r.extracted > 0) ||
        (!mixed && !answer.error.isEmpty()))
        return extractStatusText(answer.name, answer.folder, answer.error);

    const bool one = answer.name != kAllFilesName;
    if (one && answer.error.isEmpty()) {
        if (r.skipped > 0)
            return answer.name + " was not extracted: the file already in " + answer.folder + " was kept";
        if (!r.failed.isEmpty()) return "Extract error: " + r.failed.first();
        if (!r.refused.isEmpty()) return "Extract error: refused " + r.refused.first();
    }
    QStringList counts;
    if (r.skipped > 0) counts << QString("%1 skipped (existing files kept)").arg(r.skipped);
    if (!r.failed.isEmpty()) counts << QString("%1 failed").arg(r.failed.size());
    if (!r.refused.isEmpty()) counts << QString("%1 refused as unsafe").arg(r.refused.size());
    const QString tally = counts.join(", ");
    if (!answer.error.isEmpty())
        return "Extract error: " + answer.error + QString(" (%1 extracted, %2)").arg(r.extracted).arg(tally);
    if (r.extracted == 0) return "No files were extracted to " + answer.folder + ": " + tally;
    return QString("%1 %2 extracted to %3, %4")
        .arg(r.extracted)
        .arg(r.extracted == 1 ? "file was" : "files were", answer.folder, tally);
}
