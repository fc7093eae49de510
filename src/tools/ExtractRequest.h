#pragma once
// How an extraction is asked for, which options it runs with, and the answer it leaves. The extract dialog is
// a thin face over this; the command-line program forms the same options from its flags.

#include "ExtractJob.h"
#include "app/OptionKeys.h"
#include "app/PasswordOptions.h"
#include "zip/ZipPackage.h"

#include <QString>
#include <optional>

class AppState;

/// The extract dialog's values, as stored under Options07 and Optionse1 to Optionse9.
struct ExtractSettings {
    QString defaultFolder;      ///< Option::ExtractFolder
    QString selectedFolder;     ///< Option::SelectedExtractFolder
    PasswordOptions password;   ///< the shared password and whether its box hides it
    bool useDefault = true;     ///< Option::ExtractToDefault
    bool useSelected = false;   ///< Option::ExtractToSelected
    bool overwrite = true;      ///< Option::ExtractOverwrite
    bool skipOlder = false;     ///< Option::ExtractSkipOlder
    bool useFolderNames = true; ///< Option::ExtractUseFolderNames

    /// The options these values are kept under.
    static const QList<Option>& storedOptions();
    static ExtractSettings fromState(const AppState& state);
    /// Puts the values into the shared option values and writes them, where the password was set (an extraction)
    /// and the options in `more` to the store with one write.
    void store(AppState& state, const QList<Option>& more = {}) const;
    /// The default folder when "Use" is ticked beside it, else the selected one.
    QString targetFolder() const { return useDefault ? defaultFolder : selectedFolder; }
    ExtractOptions options() const { return {overwrite, skipOlder, useFolderNames}; }

    /// The two "Use" ticks exclude each other: ticking one unticks the other, unticking one ticks the other.
    void setUseDefault(bool ticked) { useDefault = ticked, useSelected = !ticked; }
    void setUseSelected(bool ticked) { useSelected = ticked, useDefault = !ticked; }
};

/// The request codes of Optionse8.
inline const QString kExtractAllRequest = QStringLiteral("-1");
inline const QString kExtractOneRequest = QStringLiteral("-2");
/// Several entries picked in the window: their indices in Optionsec, joined by ",".
inline const QString kExtractSeveralRequest = QStringLiteral("-3");
inline const QString kCancelAnswer = QStringLiteral("cancel");
inline const QString kAllFilesName = QStringLiteral("All files");

/// The answer an extraction leaves in Optionsea (name), Optionseb (folder) and Optionsec (error).
struct ExtractAnswer {
    QString name;
    QString folder;
    QString error;
    ExtractReport report; ///< what was extracted, kept, failed and refused

    static ExtractAnswer cancelled() { return {kCancelAnswer, kCancelAnswer, kCancelAnswer, {}}; }
    bool succeeded() const { return error.isEmpty(); }
};

/// The four options of the extract request and its answer: Optionse8 and Optionsea to Optionsec.
const QList<Option>& extractRequestOptions();

/// Asks for one entry (Optionse8 "-2") or all of them ("-1"): the four request keys, stored at once.
void requestExtractOne(AppState& state, const QString& name, qint64 entryIndex);
void requestExtractAll(AppState& state);
/// Asks for several entries ("-3"), named "N selected files".
void requestExtractSeveral(AppState& state, const std::vector<qint64>& entryIndices);
/// The name a request for several entries answers with.
QString severalFilesName(qsizetype count);

/// The request that the option values hold, with these settings, against the open package: the job's parameters,
/// or none when there is nothing to extract (no folder, no such entry), and the answer so far (then the whole one).
struct PreparedExtract {
    std::optional<ExtractParams> params;
    ExtractAnswer answer;
};
PreparedExtract prepareExtractRequest(const AppState& state, const ZipPackage& package,
                                      const ExtractSettings& settings);
/// The answer once the job has run: a failure clears the folder and answers the zip layer's text, a cancel
/// answers "cancel" in name and error.
ExtractAnswer extractAnswerFor(const PreparedExtract& prepared, const ExtractResult& result);

/// Runs the request that the option values hold against the open package with these settings: prepared, the
/// ExtractJob and its answer, on the calling thread, stopped by the caller's cancel.
ExtractAnswer runExtractRequest(const AppState& state, ZipPackage& package, const ExtractSettings& settings,
                                const CancelToken& cancel, const ZipProgressCallback& progress = {});

/// Leaves the answer in Optionsea, Optionseb and Optionsec: the shared values only, or also the store.
void setExtractAnswer(AppState& state, const ExtractAnswer& answer);
void storeExtractAnswer(AppState& state, const ExtractAnswer& answer);

/// The main window's status line after the extract dialog closed, from the three answer keys.
QString extractStatusText(const QString& name, const QString& folder, const QString& error);
/// The status line from the whole answer: what was extracted, and how many entries were skipped (an existing
/// file kept), could not be extracted, or were refused as unsafe. Nothing skipped or failed reads as above.
QString extractStatusText(const ExtractAnswer& answer);
/// What the status line's tooltip adds: the error and the first entries that failed or were refused.
QString extractStatusDetails(const ExtractAnswer& answer);

/// The answer's error when no extract folder is set.
inline const QString kNoFolderMessage = QStringLiteral("Please choose a folder to extract to.");
