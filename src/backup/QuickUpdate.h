#pragma once
// The quick update: a package brought up to date from the backup set that carries its name (Backup.zip from
// Backup.set), without the wizard. Every file of the set's file rows, and every file below its folder rows that
// passes the row's patterns, goes to BuildJob's update with the Freshen or the Update code; which of them replace
// or join entries is the update's business. Nothing is left out for the size of a folder: each one is walked to
// its end.

#include "BuildJob.h"
#include "sets/BackupSetFile.h"
#include "utility/Result.h"

namespace QuickTexts {
inline const QString kHeading = QStringLiteral("Quick Zip Package Update");
inline const QString kSpanned = QStringLiteral("Can not update spanned zip package");
inline const QString kCancelled = QStringLiteral("Update cancelled.");
/// "( Backup.set ) Backup set not found."
QString setNotFound(const QString& setName);
} // namespace QuickTexts

/// The name of the set a package is updated from: its file name with ".zip" (any case) as ".set".
QString quickSetName(const QString& packageFileName);
/// The set of the sets folder that belongs to the package: the first "*.set", by name, whose name with ".zip" for
/// ".set" is the package's file name (blanks trimmed, case ignored); "" when there is none.
QString findQuickSet(const QString& setsFolder, const QString& packagePath);

/// What the quick update shows and runs from.
struct QuickSet {
    QString path;
    QString comment;
    QVector<SelectionRow> rows;
};
/// Reads a set through its working copy in Work/, which is emptied again once the rows are read. Rows whose path
/// is gone are dropped; a file row counts 1 with the file's length now, a folder row keeps its stored counts; the
/// rows come sorted by path (case ignored). A damaged set is refused.
Result<QuickSet> readQuickSet(const QString& setPath, const QString& appFolder);

/// The quick update's own choices, kept beside the zip settings.
struct QuickSettings {
    UpdateCode code = UpdateCode::Update; ///< Key::QuickUpdateCode: Freshen or Update
    /// Key::QuickResetArchive: kept for the dialog only; Linux files have no archive flag to reset.
    bool resetArchive = false;
    PasswordOptions password;

    /// From the store, which another window may have changed.
    static QuickSettings load(AppState& state);
    /// Writes all of them with one write of the store; the password keeps where it was set unless it changed.
    void store(AppState& state) const;
};

struct QuickUpdateParams {
    QString packagePath;
    QString comment; ///< what the package's comment becomes
    QVector<SelectionRow> rows;
    UpdateCode code = UpdateCode::Update;
    QString password;
    CompressionLevel level = CompressionLevel::Normal;
    QString appFolder; ///< where Zips/Locked.Txt goes

    /// The stored level and the application folder; the rest is the caller's.
    static QuickUpdateParams fromState(const AppState& state);
};

class QuickUpdate {
  public:
    explicit QuickUpdate(QuickUpdateParams params, BuildCallbacks callbacks = {});
    /// The rows as the build takes them, with the totals of their counts; files stored under their full path.
    BuildParams buildParams() const;
    /// Refuses a spanned package, then runs the update. cancel is the caller's token, only read: a cancel before
    /// the new package is in place leaves the old one byte for byte.
    BuildResult run(const CancelToken& cancel);

  private:
    QuickUpdateParams m_params;
    BuildCallbacks m_callbacks;
};
