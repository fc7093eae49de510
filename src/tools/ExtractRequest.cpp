#include "ExtractRequest.h"

#include "app/AppState.h"
#include "app/PasswordOptions.h"

ExtractSettings ExtractSettings::fromState(const AppState& state) {
    ExtractSettings s;
    s.defaultFolder = state.text(Option::ExtractFolder);
    s.selectedFolder = state.text(Option::SelectedExtractFolder);
    s.password = PasswordOptions::fromState(state);
    s.useDefault = state.flag(Option::ExtractToDefault);
    s.useSelected = state.flag(Option::ExtractToSelected);
    s.overwrite = state.flag(Option::ExtractOverwrite);
    s.skipOlder = state.flag(Option::ExtractSkipOlder);
    s.useFolderNames = state.flag(Option::ExtractUseFolderNames);
    return s;
}

const QList<Option>& ExtractSettings::storedOptions() {
    static const QList<Option> options =
        QList<Option>{Option::ExtractFolder,        Option::ExtractToDefault, Option::ExtractToSelected,
                      Option::ExtractOverwrite,     Option::ExtractSkipOlder, Option::ExtractUseFolderNames,
                      Option::SelectedExtractFolder} +
        PasswordOptions::storedOptions();
    return options;
}

void ExtractSettings::store(AppState& state, const QList<Option>& more) const {
    state.setText(Option::ExtractFolder, defaultFolder);
    state.setFlag(Option::ExtractToDefault, useDefault);
    state.setFlag(Option::ExtractToSelected, useSelected);
    state.setFlag(Option::ExtractOverwrite, overwrite);
    state.setFlag(Option::ExtractSkipOlder, skipOlder);
    state.setFlag(Option::ExtractUseFolderNames, useFolderNames);
    state.setText(Option::SelectedExtractFolder, selectedFolder);
    // A password typed here is the next build's password too, so the build must know where it came from.
    const auto source = password.setIn(state, PasswordSource::Extraction);
    state.save(storedOptions() + more, {source});
}

const QList<Option>& extractRequestOptions() {
    static const QList<Option> options = {Option::ExtractRequest, Option::ExtractName, Option::ExtractAnswerFolder,
                                          Option::ExtractIndexOrError};
    return options;
}

namespace {
void storeRequest(AppState& state, const QString& code, const QString& name, const QString& index) {
    state.setText(Option::ExtractRequest, code);
    state.setText(Option::ExtractName, name);
    state.setText(Option::ExtractAnswerFolder, QString());
    state.setText(Option::ExtractIndexOrError, index);
    state.save(extractRequestOptions());
}
} // namespace

void requestExtractOne(AppState& state, const QString& name, qint64 entryIndex) {
    storeRequest(state, kExtractOneRequest, name, QString::number(entryIndex));
}

void requestExtractAll(AppState& state) {
    storeRequest(state, kExtractAllRequest, kAllFilesName, QString());
}

QString severalFilesName(qsizetype count) {
    return QStringLiteral("%1 selected files").arg(count);
}

void requestExtractSeveral(AppState& state, const std::vector<qint64>& entryIndices) {
    QStringList indices;
    for (const qint64 index : entryIndices)
        indices << QString::number(index);
    storeRequest(state, kExtractSeveralRequest, severalFilesName(indices.size()), indices.join(u','));
}

PreparedExtract prepareExtractRequest(const AppState& state, const ZipPackage& package,
                                      const ExtractSettings& settings) {
    PreparedExtract prepared;
    ExtractAnswer& answer = prepared.answer;
    answer.name = state.text(Option::ExtractName);
    answer.folder = settings.targetFolder();
    if (answer.folder.trimmed().isEmpty()) {
        // The zip layer would try the working folder's root and say it cannot write into " ".
        answer.folder.clear();
        answer.error = kNoFolderMessage;
        return prepared;
    }
    ExtractParams params;
    if (state.text(Option::ExtractRequest) == kExtractOneRequest) {
        bool ok = false;
        const qint64 index = state.number(Option::ExtractIndexOrError, &ok);
        if (!ok || index < 0 || index >= package.zGetTotalFiles()) {
            answer.folder.clear();
            answer.error = QStringLiteral("No entry to extract.");
            return prepared;
        }
        params.entry = index;
    } else if (state.text(Option::ExtractRequest) == kExtractSeveralRequest) {
        for (const QString& text : state.text(Option::ExtractIndexOrError).split(u',')) {
            bool ok = false;
            const qint64 index = text.toLongLong(&ok);
            if (!ok || index < 0 || index >= package.zGetTotalFiles()) {
                answer.folder.clear();
                answer.error = QStringLiteral("No entry to extract.");
                return prepared;
            }
            params.several.push_back(index);
        }
    }
    params.targetFolder = answer.folder;
    params.password = settings.password.text;
    params.options = settings.options();
    prepared.params = std::move(params);
    return prepared;
}

ExtractAnswer extractAnswerFor(const PreparedExtract& prepared, const ExtractResult& result) {
    ExtractAnswer answer = prepared.answer;
    if (!prepared.params) return answer;
    answer.report = result.report;
    if (result.ok()) return answer;
    answer.folder.clear();
    answer.error = result.message;
    if (result.cancelled()) answer.name = answer.error = kCancelAnswer;
    return answer;
}

ExtractAnswer runExtractRequest(const AppState& state, ZipPackage& package, const ExtractSettings& settings,
                                const CancelToken& cancel, const ZipProgressCallback& progress) {
    const PreparedExtract prepared = prepareExtractRequest(state, package, settings);
    if (!prepared.params) return prepared.answer;
    return extractAnswerFor(prepared, ExtractJob(package, *prepared.params, {progress}).run(cancel));
}

void setExtractAnswer(AppState& state, const ExtractAnswer& answer) {
    state.setText(Option::ExtractName, answer.name);
    state.setText(Option::ExtractAnswerFolder, answer.folder);
    state.setText(Option::ExtractIndexOrError, answer.error);
}

void storeExtractAnswer(AppState& state, const ExtractAnswer& answer) {
    setExtractAnswer(state, answer);
    state.save({Option::ExtractName, Option::ExtractAnswerFolder, Option::ExtractIndexOrError});
}

QString extractStatusText(const QString& name, const QString& folder, const QString& error) {
    QString text;
    if (!error.isEmpty()) text = "Extract error: " + error;
    if (!folder.isEmpty() && !name.isEmpty() && error.isEmpty()) text = name + " was extracted to " + folder;
    if (name == kCancelAnswer || error == kCancelAnswer) text = "Extract cancelled";
    return text;
}

QString extractStatusDetails(const ExtractAnswer& answer) {
    constexpr int kShown = 10;
    const ExtractReport& r = answer.report;
    QStringList lines;
    if (!answer.error.isEmpty() && answer.error != kCancelAnswer) lines << answer.error;
    const QStringList failures = r.failed + r.refused;
    if (failures.size() > 1) {
        lines << QString("First of %1 failures:").arg(failures.size());
        for (const QString& failure : failures.mid(0, kShown))
            lines << "  " + failure;
    }
    return lines.join(u'\n');
}

QString extractStatusText(const ExtractAnswer& answer) {
    const ExtractReport& r = answer.report;
    const bool mixed = r.skipped > 0 || !r.failed.isEmpty() || !r.refused.isEmpty();
    if (answer.name.endsWith(QLatin1String(" selected files")) && !mixed && answer.error.isEmpty() && r.extracted > 0)
        return QString("%1 %2 extracted to %3")
            .arg(r.extracted)
            .arg(r.extracted == 1 ? "file was" : "files were", answer.folder);
    if (answer.name == kCancelAnswer || answer.error == kCancelAnswer || (!mixed && r.extracted > 0) ||
        (!mixed && !answer.error.isEmpty()))
        return extractStatusText(answer.name, answer.folder, answer.error);

    const bool one = answer.name != kAllFilesName && !answer.name.endsWith(QLatin1String(" selected files"));
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
    // The counts make the line; the error, which may name many entries, is in the details.
    if (!answer.error.isEmpty()) return QString("Extract error: %1 extracted, %2").arg(r.extracted).arg(tally);
    if (r.extracted == 0) return "No files were extracted to " + answer.folder + ": " + tally;
    return QString("%1 %2 extracted to %3, %4")
        .arg(r.extracted)
        .arg(r.extracted == 1 ? "file was" : "files were", answer.folder, tally);
}
