#pragma once
// The build of a zip package from the build list: parameters in, a result out, progress through callbacks and the
// caller's CancelToken, which may be set from any thread.
//
// The job never leaves a half-made package where the user's package was: a new package is written to a hidden
// file beside the target, an update works on a copy of the package, every entry of the result is read back and
// its CRC checked, and only then does the result take the old package's place with one rename. A cancel or a
// failure at any point leaves the old package byte for byte.
//
// A package is written while the list is walked: each file goes to the zip layer's PackageBuilder as the scan
// finds it, so compression starts with the first file and no file is looked at twice. An update hands over only
// the files that are to replace or join entries, and the entries it keeps are copied over as they are; a package
// the builder does not copy (a split one, a damaged one) is updated through libzip after the whole walk.

#include "SelectionModel.h"
#include "ZipSettings.h"
#include "utility/CancelToken.h"
#include "zip/PackageBuilder.h"
#include "zip/ZipPackage.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class AppState;
class WorkFile;

enum class BuildMode {
    Build,  ///< make a new package at the target path
    Update, ///< add to the package that is open in the main window
};

/// The largest selection a new package may hold: exactly this many bytes are allowed.
constexpr qint64 kMaxSelectedBytes = 2147483648LL;

namespace BuildTexts {
inline const QString kSelectFiles = QStringLiteral("Please select files to zip");
inline const QString kTooBig = QStringLiteral("Total bytes selected for zip package build can not exceed "
                                              "2,147,483,648 bytes (2GB) the max size for .ZIP files.");
inline const QString kNotZip = QStringLiteral("Output zip package must have a file extension of .zip");
inline const QString kFilesUpdated = QStringLiteral("Number of files updated: ");
inline const QString kLockedBypassed = QStringLiteral("Number of locked files bypassed = ");
inline const QString kCompleted = QStringLiteral(" Completed!");
inline const QString kPackageUpdated = QStringLiteral("Zip Package Updated: ");
inline const QString kLeftOut = QStringLiteral("Number of files left out = ");
inline const QString kChanged = QStringLiteral("Number of files changed during the backup = ");
inline const QString kChangedReason = QStringLiteral("changed during the backup");
/// The caption of the wizard's build button, which the result heading starts with.
QString buildButtonCaption(BuildMode mode);
} // namespace BuildTexts

/// The name a file is stored under: with full paths, the path without its root "/"; otherwise "" (the zip
/// layer then stores the file name alone).
QString storedNameFor(const QString& path, bool fullPaths);
/// True when the text after the last "." (the whole name when there is none) is "zip" in any case.
bool hasZipExtension(const QString& fileName);
/// The first bar: files handled so far against the files selected, rounded, at most 100.
int selectingPercent(qint64 done, qint64 toGo);

/// The check's percentage from the zip layer's progress: bytes read back, else entries, at most 100.
int checkingPercent(const ZipProgress& progress);

/// The second bar's percentage from the compression position against the selected byte total. Once the
/// percentage has been above 0, a later 0 means the position wrapped and reads as 100.
class CompressPercent {
  public:
    int next(qint64 position, qint64 selectedBytes);

  private:
    bool m_wrapped = false;
};

struct BuildParams {
    BuildMode mode = BuildMode::Build;
    QString targetFolder;   ///< build mode: folder of the new package (Text1)
    QString targetFileName; ///< build mode: its file name (Text2)
    QString packagePath;    ///< update mode: the open package
    QString comment;        ///< the package comment (Text3)
    ZipSettings zip;
    bool storeFullPaths = true; ///< Options03 "2"
    QString appFolder;          ///< where Zips/Locked.Txt goes
    BuildList list;
    qint64 selectedFiles = 0; ///< the selection totals of the build grid
    qint64 selectedBytes = 0;
    /// The folder entries are not in the totals above: the build's own scan counts them as it goes (a terminal
    /// build, which has no grid, so that no folder is listed twice), and stops at the size limit itself.
    bool scanCountsFolders = false;

    /// Settings, folders and the default target (Options09, Options10) from the shared state. Options06 (the
    /// temporary folder) is not read: the new package is always written beside its target, so that putting it in
    /// place is one rename that never crosses file systems.
    static BuildParams fromState(const AppState& state, BuildMode mode);
    /// The package the build writes: target folder and name in build mode, the open package in update mode.
    QString targetPath() const;
};

/// Remembers a new build's target folder and file name (Options09, Options10) for the next build, as the wizard
/// does when its Build button is pressed. Update mode has no target of its own and stores nothing.
void storeBuildTarget(AppState& state, const BuildParams& params);

/// What the replace question shows about the package already at the target path.
struct ReplaceQuestion {
    QString path;
    QString sizeText; ///< "###,##0 Bytes"
    QString dateText; ///< long date and long time, joined by a blank
};

struct BuildCallbacks {
    /// Asked when a package already exists at the target path of a new build; true replaces it. Without an
    /// answer the package is kept.
    std::function<bool(const ReplaceQuestion&)> askReplace;
    /// Files found so far by the scan of a folder entry.
    std::function<void(qint64 filesSoFar)> scanning;
    /// The first bar, "Selecting files for zip package:".
    std::function<void(int percent)> selecting;
    /// The second bar, the compression.
    std::function<void(int percent)> compressing;
    /// The stage after the compression, "Checking the new package": every entry read back, as a percentage. A
    /// cancel here still keeps the old package.
    std::function<void(int percent)> checking;
    /// A file was skipped because another program holds it or it cannot be read.
    std::function<void(const QString& path, qint64 lockedCount)> fileLocked;
    /// Seams for tests: after the walk, and before the new package is read back for its check.
    std::function<void()> afterWalk;
    std::function<void(const QString& newPackage)> beforeCheck;
    /// A seam for tests of a new package: called on a worker thread right before a file is opened to be read.
    std::function<void(const QString& path)> beforeOpen;
};

enum class BuildOutcome {
    Completed, ///< the package is written and in place
    Stopped,   ///< a check before the build stopped it (message); nothing changed
    Declined,  ///< the replace question was answered no; nothing changed
    Cancelled, ///< the cancel token stopped it; the old package is as it was
    Failed,    ///< writing or checking the package failed (message); the old package is as it was
};

struct BuildResult {
    BuildOutcome outcome = BuildOutcome::Stopped;
    QString message; ///< for the message dialog; empty when there is nothing to show
    bool cancelled = false;
    QString packagePath;
    qint64 selectedFiles = 0;
    qint64 selectedBytes = 0;
    qint64 entriesOrdered = 0; ///< files handled by the walk, ordered or found locked
    qint64 notTaken = 0;       ///< order calls the zip layer refused
    qint64 entriesWritten = 0; ///< entries added or replaced in the package (an update that found nothing newer: 0)
    qint64 locked = 0;
    QStringList lockedPaths;
    /// Left out for another reason: a folder that could not be opened, an entry whose status could not be read,
    /// a pipe, socket or device, a second file of a name already stored. Listed in Locked.Txt after the locked
    /// files, each with its reason.
    qint64 leftOut = 0;
    QVector<LeftOutFile> leftOutFiles;
    /// Stored, but the file changed while the backup ran (size or times differ from when it was selected), so the
    /// entry holds whatever was read.
    qint64 changed = 0;
    QStringList changedPaths;
    bool lockedListWritten = false;
    qint64 packageBytes = 0; ///< length of the package file after the build
    /// What the build found beside the package and left alone (a rebuild journal it would not carry out).
    QStringList notes;

    // The result dialog's texts.
    QString heading;           ///< "<caption> Completed!"
    QString resultPackagePath; ///< the package path; "Zip Package Updated: <path>" in update mode
    QString updatedLine;       ///< update mode only: "Number of files updated: n"
    QString lockedLine;        ///< "Number of locked files bypassed = n"
    QString leftOutLine;       ///< "Number of files left out = n", empty when none was
    QString changedLine;       ///< "Number of files changed during the backup = n", empty when none did

    /// A build that did not run: outcome Stopped and no message, with the package and the selection totals.
    static BuildResult notBuilt(const BuildParams& params);

    bool ok() const { return outcome == BuildOutcome::Completed; }
    /// True when something selected did not go into the package (locked or left out).
    bool filesLeftOut() const { return locked > 0 || leftOut > 0; }
};

/// The checks before a build, on its parameters, changing nothing on disk: an empty list, the 2 GB limit (new
/// packages), the .zip extension, the target folder, the replace question (new packages, through askReplace; without
/// an answer the package is kept), the package to update. The result that stops the build (outcome Stopped or
/// Declined, with the message), or nothing when the build may go on.
std::optional<BuildResult> checkBuild(const BuildParams& params,
                                      const std::function<bool(const ReplaceQuestion&)>& askReplace);

class BuildJob {
  public:
    explicit BuildJob(BuildParams params, BuildCallbacks callbacks = {});
    ~BuildJob();
    BuildJob(const BuildJob&) = delete;
    BuildJob& operator=(const BuildJob&) = delete;

    /// The build proper, once checkBuild() has let it go on: completes or drops what killed runs left beside the
    /// package and sweeps their work files, walks the list, compresses, checks and puts the package in place,
    /// writes Zips/Locked.Txt. cancel is the caller's token (the shared one, the interrupt token): the build and
    /// the zip layer under it only read it, so a token already set stops the build at once.
    BuildResult run(const CancelToken& cancel);
    /// checkBuild() with the callbacks' replace question, then run().
    BuildResult execute(const CancelToken& cancel);

  private:
    struct Order {
        QString path;
        QString storedName;
        // The file as it was when selected, to notice one that changes while the backup runs.
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool isLink = false; ///< stored as the link it is, so whether its target can be read does not matter
    };
    bool walk(std::vector<Order>& orders);
    /// selected: the file was counted in the selection totals; record: what the scan found, else it is looked at.
    void takeFile(const QString& path, std::vector<Order>& orders, bool selected = true,
                  const FolderRecord* record = nullptr);
    /// A new package: written while the walk goes on (PackageBuilder).
    BuildResult buildWhileWalking(const QString& target);
    /// An update the same way, the entries no newer file replaces copied as they are; nothing when the package is
    /// not one the builder copies (split, damaged), which libzip then updates.
    std::optional<BuildResult> updateWhileWalking(const QString& target);
    /// The package an update works on, while updateWhileWalking runs.
    struct OldPackage {
        int fd = -1;
        std::vector<KeptEntry> entries;
        QHash<QByteArray, qsizetype> byName; ///< by the name's bytes as stored
        std::vector<char> replaced;
        QByteArray comment;
        QString commentText;
        QHash<qsizetype, QString> encrypted; ///< entryKey of each encrypted entry, by its index
    };
    /// Takes what the package builder has to tell (locked, unreadable, changed files) into the result.
    void takeBuilderNotes();
    void reportCompressing(bool force = false);
    bool isPackageFile(const QString& path, quint64 device, quint64 inode) const;
    void noteLocked(const QString& path);
    void noteLeftOut(const QString& path, const QString& reason);
    void noteChanged(const std::vector<Order>& orders);
    /// The build in its phases, in this order; a phase that ends the build gives its result.
    BuildResult build();
    /// Completes or drops what killed runs left beside the package, and sweeps their work files.
    void recoverBesideTarget(const QString& target);
    /// The target's identity, so that the walk does not put the package or its volumes into itself.
    void noteTargetIdentity(const QString& target);
    /// The end of a build that has no file left to add.
    BuildResult nothingToAdd();
    /// The encrypted entries of the package copied into the work file, which keep their own password.
    QSet<QString> encryptedEntriesOfWork();
    /// Orders the files and compresses them into the work file, leaving out files locked meanwhile.
    std::optional<BuildResult> compress(std::vector<Order>& orders);
    /// Reads every entry of the work file back.
    std::optional<BuildResult> checkWork(const QSet<QString>& carriedOver);
    /// Puts the checked work file in place of the package, or cuts it into volumes.
    BuildResult putInPlace(WorkFile& workFile);
    bool cancelRequested() const { return m_cancel && m_cancel->cancelled(); }
    void writeLockedList();
    BuildResult finish(BuildOutcome outcome, const QString& message = {});

    BuildParams m_params;
    BuildCallbacks m_callbacks;
    BuildResult m_result;
    const CancelToken* m_cancel = nullptr; ///< the caller's token while run() runs
    QString m_workPath;                    ///< the work file the new package grows in while build() runs
    ZipPackage m_package;
    // Identity of the target package, so that a walk over its folder does not put the package into itself.
    quint64 m_targetDevice = 0;
    quint64 m_targetInode = 0;
    quint64 m_targetFolderDevice = 0;
    quint64 m_targetFolderInode = 0;
    QString m_volumeStem; ///< the target's name without ".zip" and with ".z", which its volumes' names start with
    /// Without full paths: each file name stored so far and the file it came from.
    QHash<QString, QString> m_storedFrom;
    /// Every file taken so far, so that one picked twice is stored and counted once; kept only when entries of
    /// the list overlap, since otherwise no file can be met twice.
    QSet<QString> m_takenPaths;
    bool m_listOverlaps = true;
    PackageBuilder* m_builder = nullptr; ///< the builder the walk hands files to, while buildWhileWalking runs
    OldPackage* m_old = nullptr;         ///< the package being updated, while updateWhileWalking runs
    bool m_builderStopped = false;
    bool m_tooBig = false; ///< the scan's count passed the size limit of a new package
    CompressPercent m_compressPercent;
    qint64 m_lastReportMs = 0;
};
