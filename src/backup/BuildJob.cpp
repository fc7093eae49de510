#include "BuildJob.h"

#include "BuildResultText.h"

#include "app/AppState.h"
#include "utility/FileOps.h"
#include "utility/LockTest.h"
#include "utility/NativePath.h"
#include "utility/PackageLock.h"
#include "utility/SystemError.h"
#include "utility/TextUtil.h"
#include "utility/WorkFile.h"
#include "zip/PackageCheck.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Scan progress is reported after this many files, often enough for a bar and a prompt cancel.
constexpr int kScanProgressStep = 200;

// Whether we may create files in a folder: tried, not guessed from mode bits, since the superuser, read-only
// mounts and access lists all answer differently.
// The probe is a work file, so even a kill at this moment leaves nothing the next build does not sweep.
Status probeFolder(const QString& folder) {
    const Result<WorkFile> probe = WorkFile::beside(TextUtil::withSlash(folder) + QStringLiteral("varnhold-probe"));
    if (probe.ok()) return Status::success();
    // The reason is the last part of the message; the folder is named as the user gave it.
    const QString why = probe.message().mid(probe.message().lastIndexOf(QStringLiteral(": ")) + 2);
    return Status::failure(QStringLiteral("Cannot write into the folder %1: %2").arg(folder, why));
}

Status copyFileInto(const QString& source, const QString& target) {
    QFile in(source);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Status::failure(QStringLiteral("Cannot write %1: %2").arg(target, out.errorString()));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0) return Status::failure(QStringLiteral("Cannot read %1: %2").arg(source, in.errorString()));
        if (n == 0) break;
        if (out.write(buffer.constData(), n) != n)
            return Status::failure(QStringLiteral("Cannot write %1: %2").arg(target, out.errorString()));
    }
    if (!out.flush()) return Status::failure(QStringLiteral("Cannot write %1: %2").arg(target, out.errorString()));
    return Status::success();
}

bool statOf(const QString& path, struct stat& st) {
    return ::stat(NativePath::encode(path).constData(), &st) == 0;
}

// The entry itself: a link is described, not followed.
bool lstatOf(const QString& path, struct stat& st) {
    return ::lstat(NativePath::encode(path).constData(), &st) == 0;
}

qint64 nanoseconds(const struct timespec& t) {
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// Why a file that exists cannot be read: "" when it can be opened for reading (it may still be locked).
QString unreadableReason(const QString& path) {
    const int fd = ::open(NativePath::encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    const int err = errno;
    return err == ENOENT ? QString() : SystemError::errorText(err);
}

QString specialKind(mode_t mode) {
    if (S_ISFIFO(mode)) return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode)) return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("a device");
    return QStringLiteral("not a file");
}

// An entry copied unchanged from the old package: same name, CRC, sizes and time.
QString entryKey(const ZipEntry& e) {
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(e.storedName())
        .arg(e.crc)
        .arg(e.size)
        .arg(e.compressedSize)
        .arg(e.dosDate)
        .arg(e.dosTime);
}

// True when one entry of the list lies within another (or is the same), so that a file may be met twice.
bool listOverlaps(const BuildList& list) {
    for (qsizetype i = 0; i < list.size(); ++i)
        for (qsizetype j = 0; j < list.size(); ++j) {
            if (i == j) continue;
            const QString& outer = list[i].path;
            if (list[j].path == outer || (list[i].isFolder() && list[j].path.startsWith(outer))) return true;
        }
    return false;
}

} // namespace

QString storedNameFor(const QString& path, bool fullPaths) {
    return fullPaths ? path.mid(1) : QString();
}

bool hasZipExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString extension = dot < 0 ? fileName : fileName.mid(dot + 1);
    return extension.compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0;
}

int selectingPercent(qint64 done, qint64 toGo) {
    if (toGo <= 0) return 100;
    const qint64 percent = std::llround(double(done) * 100.0 / double(toGo));
    return int(std::clamp<qint64>(percent, 0, 100));
}

int checkingPercent(const ZipProgress& p) {
    if (p.bytesTotal > 0) return selectingPercent(p.bytesDone, p.bytesTotal);
    return selectingPercent(p.filesDone, p.filesTotal);
}

int CompressPercent::next(qint64 position, qint64 selectedBytes) {
    qint64 percent = selectedBytes > 0 ? std::llround(double(position) * 100.0 / double(selectedBytes)) : 100;
    if (m_wrapped && percent == 0) percent = 100;
    if (percent > 0) m_wrapped = true;
    if (percent < 0 || percent > 100) percent = 100;
    return int(percent);
}

BuildParams BuildParams::fromState(const AppState& state, BuildMode mode) {
    BuildParams p;
    p.mode = mode;
    p.targetFolder = state.text(Option::ZipFolder);
    p.targetFileName = state.text(Option::ZipFileName);
    p.zip = ZipSettings::fromState(state);
    p.storeFullPaths = state.text(Option::StoredNames) == QLatin1String("2");
    p.appFolder = state.folders.app;
    return p;
}

QString BuildParams::targetPath() const {
    return mode == BuildMode::Build ? TextUtil::withSlash(targetFolder) + targetFileName : packagePath;
}

void storeBuildTarget(AppState& state, const BuildParams& params) {
    if (params.mode != BuildMode::Build) return;
    state.setText(Option::ZipFolder, params.targetFolder);
    state.setText(Option::ZipFileName, params.targetFileName);
    state.save({Option::ZipFolder, Option::ZipFileName});
}

BuildResult BuildResult::notBuilt(const BuildParams& params) {
    BuildResult result;
    result.packagePath = params.targetPath();
    result.selectedFiles = params.selectedFiles;
    result.selectedBytes = params.selectedBytes;
    return result;
}

std::optional<BuildResult> checkBuild(const BuildParams& params,
                                      const std::function<bool(const ReplaceQuestion&)>& askReplace) {
    const auto stop = [&params](BuildOutcome outcome, const QString& message) {
        BuildResult stopped = BuildResult::notBuilt(params);
        stopped.outcome = outcome;
        stopped.message = message;
        return std::optional<BuildResult>(stopped);
    };

    if (params.list.isEmpty()) return stop(BuildOutcome::Stopped, BuildTexts::kSelectFiles);

    const QString target = params.targetPath();
    if (params.mode == BuildMode::Build) {
        if (params.selectedBytes > kMaxSelectedBytes) return stop(BuildOutcome::Stopped, BuildTexts::kTooBig);
        if (!hasZipExtension(params.targetFileName)) return stop(BuildOutcome::Stopped, BuildTexts::kNotZip);
        const QString folder = params.targetFolder;
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            return stop(BuildOutcome::Stopped, QStringLiteral("The target folder %1 does not exist.").arg(folder));
        if (const Status writable = probeFolder(folder); !writable)
            return stop(BuildOutcome::Stopped, writable.message());
        const QFileInfo existing(target);
        if (existing.isDir())
            return stop(BuildOutcome::Stopped, QStringLiteral("%1 is a folder, not a zip package.").arg(target));
        if (existing.exists()) {
            const QLocale locale;
            const QDateTime when = existing.lastModified();
            const ReplaceQuestion question{target, TextUtil::formatGrouped(existing.size()) + QStringLiteral(" Bytes"),
                                           locale.toString(when.date(), QLocale::LongFormat) + u' ' +
                                               locale.toString(when.time(), QLocale::LongFormat)};
            // The old package stays until the new one is complete and checked; only the answer is taken here.
            if (!askReplace || !askReplace(question)) return stop(BuildOutcome::Declined, QString());
        }
    } else {
        // The package is read as a whole: a rebuild of it that a kill interrupted is completed first, unless another
        // writer holds the package (the build then stops at the lock).
        if (const Result<PackageLock> lock = PackageLock::take(target); lock.ok()) recoverSpannedRebuild(target);
        ZipPackage package;
        if (package.zOpenZipFile(target) != kZipOk) return stop(BuildOutcome::Stopped, package.zGetLastErrorAsText());
        package.zCloseZipFile();
        // The update is written to a copy beside the package, so its folder must take new files.
        if (const Status writable = probeFolder(QFileInfo(target).absolutePath()); !writable)
            return stop(BuildOutcome::Stopped, writable.message());
    }
    return std::nullopt;
}

BuildJob::BuildJob(BuildParams params, BuildCallbacks callbacks)
    : m_params(std::move(params)), m_callbacks(std::move(callbacks)) {}

BuildJob::~BuildJob() = default;

BuildResult BuildJob::execute(const CancelToken& cancel) {
    if (std::optional<BuildResult> stopped = checkBuild(m_params, m_callbacks.askReplace)) return m_result = *stopped;
    return run(cancel);
}

BuildResult BuildJob::run(const CancelToken& cancel) {
    // The token is the caller's: it is only read, here and inside the zip layer, and never cleared.
    m_cancel = &cancel;
    BuildResult result = build();
    m_cancel = nullptr;
    return result;
}

void BuildJob::noteLocked(const QString& path) {
    ++m_result.locked;
    m_result.lockedPaths << path;
    if (m_callbacks.fileLocked) m_callbacks.fileLocked(path, m_result.locked);
}

void BuildJob::noteLeftOut(const QString& path, const QString& reason) {
    ++m_result.leftOut;
    m_result.leftOutFiles.append({path, reason});
}

void BuildJob::noteChanged(const std::vector<Order>& orders) {
    m_result.changed = 0;
    m_result.changedPaths.clear();
    for (const Order& order : orders) {
        struct stat st;
        if (lstatOf(order.path, st) && qint64(st.st_size) == order.size &&
            nanoseconds(st.st_mtim) == order.modifiedNs && nanoseconds(st.st_ctim) == order.changedNs)
            continue;
        ++m_result.changed;
        m_result.changedPaths << order.path;
    }
}

// The package being written, its volumes (name.z01 ... name.z99 beside it) and the program's work files are never
// backed up: a package inside the folder it backs up would otherwise swallow its own earlier self.
bool BuildJob::isPackageFile(const QString& path, quint64 device, quint64 inode) const {
    if (device == m_targetDevice && inode == m_targetInode) return true;
    const QString name = fileNameOf(path);
    if (WorkFiles::isWorkFileName(name)) return true;
    if (m_volumeStem.isEmpty() || name.size() != m_volumeStem.size() + 2 || !name.startsWith(m_volumeStem) ||
        !name.back().isDigit() || !name[name.size() - 2].isDigit() || name.endsWith(QLatin1String("00")))
        return false;
    struct stat folder;
    return statOf(path.left(path.size() - name.size()), folder) && quint64(folder.st_dev) == m_targetFolderDevice &&
           quint64(folder.st_ino) == m_targetFolderInode;
}

void BuildJob::takeFile(const QString& path, std::vector<Order>& orders, bool selected, const FolderRecord* record) {
    // What the scan found is taken as it is; a file picked on its own, and anything the scan could only call
    // special, is looked at here.
    struct stat st {};
    bool known = false;
    if (record && !record->isSpecial && !record->error) {
        known = true;
        st.st_mode = record->isSymLink ? S_IFLNK : S_IFREG;
        st.st_size = off_t(record->size);
        st.st_dev = dev_t(record->device);
        st.st_ino = ino_t(record->inode);
        st.st_mtim = {time_t(record->modifiedNs / 1000000000), long(record->modifiedNs % 1000000000)};
        st.st_ctim = {time_t(record->changedNs / 1000000000), long(record->changedNs % 1000000000)};
    } else {
        known = lstatOf(path, st);
    }
    if (known) {
        if (S_ISDIR(st.st_mode)) return;
        if (isPackageFile(path, quint64(st.st_dev), quint64(st.st_ino))) {
            // Counted in the totals by the scan, which does not know the target; the totals say what is backed up.
            if (selected) {
                --m_result.selectedFiles;
                m_result.selectedBytes -= qint64(st.st_size);
            }
            return;
        }
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            noteLeftOut(path, specialKind(st.st_mode) + QStringLiteral(", which has no contents to store"));
            return;
        }
    }
    // A file picked twice (on two tabs, or as itself and within its folder) is stored once and counted once.
    if (m_listOverlaps) {
        if (m_takenPaths.contains(path)) {
            if (selected && known) {
                --m_result.selectedFiles;
                m_result.selectedBytes -= qint64(st.st_size);
            }
            return;
        }
        m_takenPaths.insert(path);
    }
    const QString storedName = storedNameFor(path, m_params.storeFullPaths);
    ++m_result.entriesOrdered;
    if (m_callbacks.selecting && !m_params.scanCountsFolders)
        m_callbacks.selecting(selectingPercent(m_result.entriesOrdered, m_params.selectedFiles));
    if (storedName.isEmpty()) {
        // Without full paths files are stored under their names alone, and one package holds one entry per name:
        // the first file keeps it, the others are listed.
        const QString name = fileNameOf(path);
        const auto first = m_storedFrom.constFind(name);
        if (first != m_storedFrom.constEnd()) {
            noteLeftOut(
                path,
                QStringLiteral("another file of this name is already stored (%1)").arg(NativePath::display(*first)));
            return;
        }
        m_storedFrom.insert(name, path);
    }
    const bool isLink = known && S_ISLNK(st.st_mode);
    if (m_builder) {
        // The builder opens the file once, on a worker: a locked, vanished or unreadable file comes back as a note.
        if (!known) return noteLocked(path);
        const QString name = storedName.isEmpty() ? fileNameOf(path) : storedName;
        if (m_old) {
            // An update replaces an entry only with a newer file (unless told to replace), and freshening adds none.
            const auto found = m_old->byName.constFind(NativePath::encode(name));
            const qsizetype existing = found != m_old->byName.constEnd() ? *found : -1;
            const UpdateCode code = m_params.zip.updateCode;
            if (code == UpdateCode::Freshen && existing < 0) return;
            if (existing >= 0 && code != UpdateCode::AddReplace &&
                entryIsAsNew(m_old->entries[size_t(existing)], qint64(st.st_mtim.tv_sec)))
                return;
            if (existing >= 0) m_old->replaced[size_t(existing)] = 1;
        }
        if (!m_builder->add({path, name, qint64(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim), isLink}))
            m_builderStopped = true;
        if (m_result.entriesOrdered % 64 == 0) {
            takeBuilderNotes();
            reportCompressing();
        }
        return;
    }
    // A file that vanished since the scan, or that we may not read, is skipped the same way as a locked one:
    // the user finds it in the locked list instead of losing the whole build over it. A link is stored as the
    // link it is, so its target does not matter.
    if (!isLink && isFileLocked(path)) {
        // A file we may not read is not locked by anyone: it is named with its reason.
        if (const QString why = unreadableReason(path); !why.isEmpty())
            noteLeftOut(path, QStringLiteral("it could not be read: ") + why);
        else
            noteLocked(path);
        return;
    }
    orders.push_back({path, storedName, qint64(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim), isLink});
}

bool BuildJob::walk(std::vector<Order>& orders) {
    const auto stopped = [this] { return cancelRequested() || m_builderStopped || m_tooBig; };
    for (const BuildEntry& entry : m_params.list) {
        if (stopped()) return false;
        if (!entry.isFolder()) {
            takeFile(entry.path, orders);
            continue;
        }
        struct stat folderStatus;
        if (!statOf(entry.path, folderStatus)) {
            noteLeftOut(entry.path, QStringLiteral("the folder no longer exists"));
            continue;
        }
        CurrentPatterns patterns;
        patterns.loadRowPatterns(entry.include, entry.exclude);
        // Each file is taken as the scan finds it, so a new package is being written while the tree is listed;
        // only the folders stay in the listing, for those that could not be opened.
        FolderScanOptions options;
        options.progressStep = kScanProgressStep;
        options.onProgress = [this](qint64 filesSoFar) {
            if (m_callbacks.scanning) m_callbacks.scanning(filesSoFar);
        };
        options.keepFile = [&](const FolderRecord& record) {
            if (stopped()) return false;
            if (const QString why = unreadReason(record, patterns); !why.isEmpty()) {
                noteLeftOut(record.path, why);
                return false;
            }
            if (!scanSelects(record, patterns)) return false;
            const bool counted = scanTakes(record, patterns);
            if (counted && m_params.scanCountsFolders) {
                ++m_result.selectedFiles;
                m_result.selectedBytes += record.size;
                m_tooBig = m_params.mode == BuildMode::Build && m_result.selectedBytes > kMaxSelectedBytes;
                if (m_tooBig) return false;
            }
            takeFile(record.path, orders, counted, &record);
            return false;
        };
        std::vector<FolderRecord> folders;
        if (!listFolderTree(entry.path, folders, *m_cancel, options)) return false;
        // Whatever an unopened folder holds is missing from the backup; it is named, so the user knows.
        for (const FolderRecord& record : folders)
            if (const QString why = unreadReason(record, patterns); !why.isEmpty()) noteLeftOut(record.path, why);
    }
    return !stopped();
}

void BuildJob::writeLockedList() {
    const QString zips = m_params.appFolder + QStringLiteral("/Zips/");
    FileOps::createFolder(zips);
    m_result.lockedListWritten =
        FileOps::writeFileAtomically(zips + QStringLiteral("Locked.Txt"), lockedListText(m_result)).ok();
}

BuildResult BuildJob::finish(BuildOutcome outcome, const QString& message) {
    m_package.zCloseZipFile();
    m_result.outcome = outcome;
    m_result.message = message;
    // The zip layer writes into the work file; the user asked for the package and knows it by that name.
    if (!m_workPath.isEmpty()) {
        const QString target = m_params.targetPath();
        m_result.message.replace(m_workPath, target);
        m_result.message.replace(QFileInfo(m_workPath).fileName(), QFileInfo(target).fileName());
        m_workPath.clear();
    }
    m_result.cancelled = outcome == BuildOutcome::Cancelled;
    if (outcome == BuildOutcome::Completed) {
        fillResultTexts(m_result, m_params.mode, m_params.targetPath());
        m_result.packageBytes = QFileInfo(m_params.targetPath()).size();
    }
    return m_result;
}

BuildResult BuildJob::build() {
    m_result = BuildResult::notBuilt(m_params);
    const QString target = m_params.targetPath();
    m_workPath.clear();
    // One writer per package from here to the end: a second build or update of it stops at once.
    const Result<PackageLock> lock = PackageLock::take(target);
    if (!lock.ok()) return finish(BuildOutcome::Stopped, lock.message());
    m_storedFrom.clear();
    m_takenPaths.clear();
    // An interrupt that came before this point stops the build here.
    if (cancelRequested()) return finish(BuildOutcome::Cancelled);

    recoverBesideTarget(target);
    noteTargetIdentity(target);
    m_listOverlaps = listOverlaps(m_params.list);
    m_builderStopped = m_tooBig = false;
    if (m_params.mode == BuildMode::Build) return buildWhileWalking(target);
    if (std::optional<BuildResult> updated = updateWhileWalking(target)) return *updated;
    std::vector<Order> orders;
    if (!walk(orders)) {
        // A cancel during the walk still leaves the list of what was found locked up to then.
        writeLockedList();
        return finish(BuildOutcome::Cancelled);
    }
    if (m_callbacks.afterWalk) m_callbacks.afterWalk();
    if (orders.empty()) return nothingToAdd();

    // The new package grows in a work file beside the real target; the old one is not touched until the end, and
    // the work file removes itself on every return that does not put it in place.
    Result<WorkFile> reserved = WorkFile::beside(target);
    if (!reserved.ok()) return finish(BuildOutcome::Failed, reserved.message());
    WorkFile workFile = std::move(reserved.value());
    workFile.closeFd();
    m_workPath = workFile.path();
    const bool building = m_params.mode == BuildMode::Build;
    if (!building) {
        if (const Status copied = copyFileInto(target, m_workPath); !copied)
            return finish(BuildOutcome::Failed, copied.message());
    }
    const QSet<QString> carriedOver = building ? QSet<QString>() : encryptedEntriesOfWork();

    struct stat before {};
    statOf(m_workPath, before);
    if (std::optional<BuildResult> ended = compress(orders)) return *ended;
    struct stat after {};
    statOf(m_workPath, after);
    const bool unchanged = !building && before.st_ino == after.st_ino && before.st_size == after.st_size &&
                           before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
                           before.st_mtim.tv_nsec == after.st_mtim.tv_nsec;
    if (unchanged) {
        // Nothing was newer: the package keeps its bytes and its time.
        writeLockedList();
        return finish(BuildOutcome::Completed);
    }
    if (std::optional<BuildResult> ended = checkWork(carriedOver)) return *ended;
    return putInPlace(workFile);
}

BuildResult BuildJob::buildWhileWalking(const QString& target) {
    // The new package grows in a work file beside the real target; the old one is not touched until the end, and
    // the work file removes itself on every return that does not put it in place.
    Result<WorkFile> reserved = WorkFile::beside(target);
    if (!reserved.ok()) return finish(BuildOutcome::Failed, reserved.message());
    WorkFile workFile = std::move(reserved.value());
    m_workPath = workFile.path();
    // The package, its old self and the work file are known by device and inode, whatever path reaches them.
    std::vector<std::pair<dev_t, ino_t>> never;
    if (struct stat st; ::fstat(workFile.fd(), &st) == 0) never.emplace_back(st.st_dev, st.st_ino);
    if (m_targetInode) never.emplace_back(dev_t(m_targetDevice), ino_t(m_targetInode));

    PackageBuilder::Settings settings;
    settings.level = m_params.zip.level;
    settings.comment = m_params.comment;
    // An update keeps the package's comment, as stored, unless it is given another.
    const bool newComment = !m_old || (!m_params.comment.isEmpty() && m_params.comment != m_old->commentText);
    if (!newComment) settings.commentBytes = m_old->comment;
    settings.password = m_params.zip.password.text.toUtf8();
    settings.beforeOpen = m_callbacks.beforeOpen;
    PackageBuilder builder(settings, *m_cancel);
    builder.begin(workFile.fd(), target, std::move(never));
    m_builder = &builder;
    m_compressPercent = {};
    m_lastReportMs = QDateTime::currentMSecsSinceEpoch();
    std::vector<Order> unused;
    const bool walked = walk(unused);
    takeBuilderNotes();
    if (!walked && (cancelRequested() || m_tooBig)) {
        m_builder = nullptr;
        // Past the limit, the build stops as the check before it would have: nothing is written.
        if (m_tooBig) return finish(BuildOutcome::Stopped, BuildTexts::kTooBig);
        // A cancel during the walk still leaves the list of what was found locked up to then.
        writeLockedList();
        return finish(BuildOutcome::Cancelled);
    }
    if (m_callbacks.selecting && m_params.scanCountsFolders) m_callbacks.selecting(100);
    if (m_callbacks.afterWalk) m_callbacks.afterWalk();
    QSet<QString> carriedOver;
    if (m_old) {
        if (builder.progress().filesTotal == 0 && !newComment) {
            // Nothing was newer: the package keeps its bytes and its time.
            m_builder = nullptr;
            writeLockedList();
            return finish(BuildOutcome::Completed);
        }
        std::vector<KeptEntry> kept;
        for (size_t i = 0; i < m_old->entries.size(); ++i) {
            if (m_old->replaced[i]) continue;
            kept.push_back(std::move(m_old->entries[i]));
            if (const auto key = m_old->encrypted.constFind(qsizetype(i)); key != m_old->encrypted.constEnd())
                carriedOver.insert(*key);
        }
        builder.keep(m_old->fd, std::move(kept));
    }
    QString why;
    const PackageBuilder::End end = builder.finish(
        [this] {
            takeBuilderNotes();
            reportCompressing();
        },
        &why);
    takeBuilderNotes();
    m_builder = nullptr;
    if (end == PackageBuilder::End::Cancelled || cancelRequested()) return finish(BuildOutcome::Cancelled);
    if (end == PackageBuilder::End::Failed) return finish(BuildOutcome::Failed, why);
    m_result.entriesWritten = builder.entriesWritten();
    if (m_result.entriesWritten == 0 && (!m_old || !newComment)) return nothingToAdd();
    if (m_callbacks.compressing) m_callbacks.compressing(100);
    workFile.closeFd();
    if (std::optional<BuildResult> ended = checkWork(carriedOver)) return *ended;
    return putInPlace(workFile);
}

std::optional<BuildResult> BuildJob::updateWhileWalking(const QString& target) {
    OldPackage old;
    old.fd = ::open(NativePath::encode(target).constData(), O_RDONLY | O_CLOEXEC);
    if (old.fd < 0) return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{old.fd};
    struct stat st;
    if (::fstat(old.fd, &st) != 0 || !S_ISREG(st.st_mode) || m_package.zOpenZipFile(target) != kZipOk ||
        m_package.zIsSpanned())
        return std::nullopt;
    // What libzip reads of the package is taken first and let go, so that its entries and the ones kept here are
    // never all in memory at once.
    old.commentText = m_package.zGetComment();
    const std::vector<ZipEntry>& entries = m_package.entries();
    const size_t count = entries.size();
    for (size_t i = 0; i < count; ++i)
        if (entries[i].encrypted) old.encrypted.insert(qsizetype(i), entryKey(entries[i]));
    m_package.zCloseZipFile();
    if (!readKeptEntries(old.fd, qint64(st.st_size), &old.entries, &old.comment) || old.entries.size() != count)
        return std::nullopt;
    // A file meets the entry whose name has the very bytes it would be stored under.
    old.byName.reserve(qsizetype(old.entries.size()));
    for (size_t i = 0; i < old.entries.size(); ++i)
        old.byName.insert(storedNameBytes(old.entries[i]), qsizetype(i));
    old.replaced.assign(old.entries.size(), 0);
    m_old = &old;
    BuildResult result = buildWhileWalking(target);
    m_old = nullptr;
    return result;
}

void BuildJob::takeBuilderNotes() {
    if (!m_builder) return;
    for (const PackNote& note : m_builder->takeNotes()) {
        switch (note.kind) {
        case PackNote::Kind::Locked:
            noteLocked(note.path);
            break;
        case PackNote::Kind::Unreadable:
            noteLeftOut(note.path, QStringLiteral("it could not be read: ") + note.reason);
            break;
        case PackNote::Kind::NotAFile:
            noteLeftOut(note.path, specialKind(mode_t(note.mode)) + QStringLiteral(", which has no contents to store"));
            break;
        case PackNote::Kind::Changed:
            ++m_result.changed;
            m_result.changedPaths << note.path;
            break;
        }
    }
}

void BuildJob::reportCompressing(bool force) {
    if (!m_callbacks.compressing || !m_builder || cancelRequested()) return;
    // At most every 25 ms: a callback per file would cost more than the file.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!force && now - m_lastReportMs < 25) return;
    m_lastReportMs = now;
    const ZipProgress p = m_builder->progress();
    const qint64 total =
        m_params.scanCountsFolders ? std::max(p.bytesTotal, m_result.selectedBytes) : m_params.selectedBytes;
    m_callbacks.compressing(m_compressPercent.next(p.bytesDone, total));
}

void BuildJob::recoverBesideTarget(const QString& target) {
    // What killed runs left beside the package: its spanned rebuild is completed or dropped, then their work files
    // go. A journal that asks for more than a rebuild of this package leaves is reported and left, and so is
    // everything it names.
    const QString folder = QFileInfo(WorkFiles::realTarget(target)).absolutePath();
    m_result.notes.clear();
    if (recoverSpannedRebuild(target, &m_result.notes)) WorkFiles::sweepStale(folder);
}

void BuildJob::noteTargetIdentity(const QString& target) {
    struct stat targetStatus;
    m_targetDevice = m_targetInode = m_targetFolderDevice = m_targetFolderInode = 0;
    if (statOf(target, targetStatus)) {
        m_targetDevice = quint64(targetStatus.st_dev);
        m_targetInode = quint64(targetStatus.st_ino);
    }
    const QFileInfo targetInfo(target);
    if (statOf(targetInfo.absolutePath(), targetStatus)) {
        m_targetFolderDevice = quint64(targetStatus.st_dev);
        m_targetFolderInode = quint64(targetStatus.st_ino);
    }
    m_volumeStem.clear();
    if (targetInfo.fileName().endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
        m_volumeStem = targetInfo.fileName().chopped(3) + u'z';
}

BuildResult BuildJob::nothingToAdd() {
    // A new build has nothing to write and an update nothing to change; either way the walk went through, so its
    // locked list is written.
    writeLockedList();
    if (m_params.mode == BuildMode::Build)
        return finish(BuildOutcome::Failed, QStringLiteral("None of the selected files could be added, so %1 was not "
                                                           "written.")
                                                .arg(m_params.targetPath()));
    return finish(BuildOutcome::Completed);
}

QSet<QString> BuildJob::encryptedEntriesOfWork() {
    QSet<QString> carriedOver;
    if (m_package.zOpenZipFile(m_workPath) == kZipOk) {
        for (const ZipEntry& e : m_package.entries())
            if (e.encrypted) carriedOver.insert(entryKey(e));
    }
    return carriedOver;
}

std::optional<BuildResult> BuildJob::compress(std::vector<Order>& orders) {
    const bool building = m_params.mode == BuildMode::Build;
    CompressPercent percent;
    const auto onCompress = [&](const ZipProgress& p) {
        if (cancelRequested()) return;
        if (m_callbacks.compressing) m_callbacks.compressing(percent.next(p.bytesDone, m_params.selectedBytes));
    };

    // A file may vanish or become unreadable between the walk and the compression. Such files join the locked
    // list and the compression is tried again without them, at most once per ordered file.
    int result = kZipFailed;
    for (size_t attempt = 0; attempt <= orders.size(); ++attempt) {
        const int opened = building ? m_package.zCreateNewZip(m_workPath) : m_package.zOpenZipFile(m_workPath);
        if (opened != kZipOk) return finish(BuildOutcome::Failed, m_package.zGetLastErrorAsText());
        m_result.notTaken = 0;
        std::vector<Order> taken;
        taken.reserve(orders.size());
        for (Order& order : orders) {
            if (m_package.zOrderFile(order.path, order.storedName, m_params.zip.updateCode) == kZipOk) {
                taken.push_back(std::move(order));
            } else if (!order.isLink && isFileLocked(order.path)) {
                noteLocked(order.path); // gone or unreadable since the walk
            } else {
                ++m_result.notTaken;
                taken.push_back(std::move(order));
            }
        }
        orders = std::move(taken);
        if (orders.empty()) return nothingToAdd();
        // The work file is always one ordinary package, so that it can be read back whole; volumes are cut from
        // it only after it has passed its check.
        result = m_package.zCompressFiles(m_params.zip.password.text, m_params.zip.level, m_params.comment, *m_cancel,
                                          onCompress);
        if (result == kZipCancelled || (result != kZipOk && cancelRequested())) return finish(BuildOutcome::Cancelled);
        if (result == kZipOk) {
            noteChanged(orders);
            m_result.entriesWritten = m_package.zGetWrittenCount();
            break;
        }
        const QString why = m_package.zGetLastErrorAsText();
        std::vector<Order> readable;
        for (Order& order : orders) {
            if (!order.isLink && isFileLocked(order.path))
                noteLocked(order.path);
            else
                readable.push_back(std::move(order));
        }
        if (readable.size() == orders.size()) return finish(BuildOutcome::Failed, why);
        orders = std::move(readable);
        if (orders.empty()) return nothingToAdd();
    }
    if (result != kZipOk) return finish(BuildOutcome::Failed, m_package.zGetLastErrorAsText());
    if (m_callbacks.compressing) m_callbacks.compressing(100);
    m_package.zCloseZipFile();
    return std::nullopt;
}

std::optional<BuildResult> BuildJob::checkWork(const QSet<QString>& carriedOver) {
    // Read everything back before the old package goes: a package that does not pass stays out of the way.
    const QString target = m_params.targetPath();
    if (m_callbacks.beforeCheck) m_callbacks.beforeCheck(m_workPath);
    const auto failedCheck = [&](const QStringList& failures) {
        return finish(BuildOutcome::Failed, QStringLiteral("The new zip package did not pass its check, so %1 was left "
                                                           "as it was. Failed: %2")
                                                .arg(target, failures.join(QStringLiteral("; "))));
    };
    if (m_callbacks.checking) m_callbacks.checking(0);
    // A plain package (no encrypted entries) is read back by our own reader, several times libzip's speed; what
    // it leaves alone goes through libzip's test.
    const PackageCheck quick = checkWrittenPackage(m_workPath, *m_cancel, [this](const ZipProgress& p) {
        if (m_callbacks.checking) m_callbacks.checking(checkingPercent(p));
    });
    if (quick.verdict == PackageCheck::Verdict::Cancelled || cancelRequested()) return finish(BuildOutcome::Cancelled);
    if (quick.verdict == PackageCheck::Verdict::Failed)
        return failedCheck(quick.failures.isEmpty() ? QStringList{quick.message} : quick.failures);
    if (quick.verdict == PackageCheck::Verdict::Passed) return std::nullopt;
    if (m_package.zOpenZipFile(m_workPath) != kZipOk)
        return finish(BuildOutcome::Failed, QStringLiteral("The new zip package could not be read back, so %1 was left "
                                                           "as it was: %2")
                                                .arg(target, m_package.zGetLastErrorAsText()));
    QStringList failures;
    const int tested =
        m_package.zTestAll(m_params.zip.password.text, &failures, *m_cancel, [this](const ZipProgress& p) {
            if (m_callbacks.checking) m_callbacks.checking(checkingPercent(p));
        });
    if (tested == kZipCancelled || cancelRequested()) return finish(BuildOutcome::Cancelled);
    if (tested != kZipOk && failures.isEmpty()) failures << m_package.zGetLastErrorAsText();
    if (!carriedOver.isEmpty()) {
        // Entries copied unchanged from the old package may be under another password than this build's; their
        // bytes are the old package's own, so they are not held against the new one.
        QHash<QString, QString> keyOf;
        for (const ZipEntry& e : m_package.entries())
            keyOf.insert(e.storedName(), entryKey(e));
        QStringList real;
        for (const QString& failure : failures) {
            const QString name = failure.section(QStringLiteral(": "), 0, 0);
            if (!keyOf.contains(name) || !carriedOver.contains(keyOf.value(name))) real << failure;
        }
        failures = real;
    }
    if (!failures.isEmpty()) return failedCheck(failures);
    m_package.zCloseZipFile();
    return std::nullopt;
}

BuildResult BuildJob::putInPlace(WorkFile& workFile) {
    const QString target = m_params.targetPath();
    if (m_params.zip.spanSize >= 0) {
        QString why;
        const int volumes = splitIntoVolumes(m_workPath, workFile.target(), m_params.zip.spanSize, &why, *m_cancel);
        if (volumes > 0) {
            workFile.rollback();
            writeLockedList();
            return finish(BuildOutcome::Completed);
        }
        if (volumes == 0) {
            if (cancelRequested() || why.isEmpty()) return finish(BuildOutcome::Cancelled);
            return finish(BuildOutcome::Failed, why);
        }
        // The package fits in one volume: it goes in place as one ordinary package.
    }
    // A package that was spanned before leaves its earlier volumes behind once an ordinary one takes its place.
    const int oldVolumes = packageVolumeCount(workFile.target());
    if (const Status placed = workFile.commit(); !placed) {
        const QString why = placed.message().mid(placed.message().lastIndexOf(QStringLiteral(": ")) + 2);
        return finish(BuildOutcome::Failed,
                      QStringLiteral("Cannot put the new zip package in place of %1: %2").arg(target, why));
    }
    removeEarlierVolumes(workFile.target(), oldVolumes);
    writeLockedList();
    return finish(BuildOutcome::Completed);
}
