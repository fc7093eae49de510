// The build as a whole: the checks that stop it before anything changes, packages other programs accept, the
// update codes, locked, vanished and unreadable files, cancels, and the check that keeps a bad package from
// replacing a good one.
#include "backup/BuildJob.h"
#include "BuildTestSupport.h"
#include "utility/LockTest.h"
#include "utility/NativePath.h"
#include "utility/PackageLock.h"
#include "utility/TextUtil.h"

#include <QDir>
#include <QRegularExpression>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace testsupport;

namespace {

const CancelToken never;

const QDateTime kOld(QDate(2020, 1, 1), QTime(10, 0, 0));
const QDateTime kNew(QDate(2024, 6, 1), QTime(12, 0, 0));

// Data/ holds a.txt, b.txt and sub/c.doc (taken by the default patterns) and skip.tmp (left out).
class BuildJobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(data + "a.txt", sampleText(5000, 1), kOld);
        writeFile(data + "b.txt", sampleText(3000, 2), kOld);
        writeFile(data + "sub/c.doc", sampleText(2000, 3), kOld);
        writeFile(data + "skip.tmp", "scratch", kOld);
    }
    // Parameters as the wizard hands them over, with the totals counted the wizard's way.
    BuildParams paramsFor(const BuildList& list, const QString& name = "Backup.zip") {
        BuildParams p = BuildParams::fromState(*program.state, BuildMode::Build);
        p.targetFolder = zips;
        p.targetFileName = name;
        p.comment = "*Comment*";
        p.list = list;
        for (const BuildEntry& e : list) {
            CurrentPatterns patterns;
            patterns.loadRowPatterns(e.include, e.exclude);
            const FolderCount c =
                e.isFolder() ? countFolder(e.path, patterns, never) : FolderCount{1, QFileInfo(e.path).size(), {}};
            p.selectedFiles += c.files;
            p.selectedBytes += c.bytes;
        }
        return p;
    }
    BuildParams updateParams(const BuildList& list, UpdateCode code = UpdateCode::Update) {
        BuildParams p = paramsFor(list);
        p.mode = BuildMode::Update;
        p.packagePath = target;
        p.zip.updateCode = code;
        return p;
    }
    static BuildCallbacks answer(bool replace) {
        BuildCallbacks callbacks;
        callbacks.askReplace = [replace](const ReplaceQuestion&) { return replace; };
        return callbacks;
    }
    static BuildResult build(const BuildParams& params, const BuildCallbacks& callbacks = answer(true)) {
        return BuildJob(params, callbacks).execute(never);
    }
    // A build that must complete.
    static BuildResult built(const BuildParams& params, const BuildCallbacks& callbacks = answer(true)) {
        const BuildResult r = build(params, callbacks);
        EXPECT_TRUE(r.ok()) << qPrintable(r.message);
        return r;
    }
    // An older package at the target and a stale locked list: the bytes a failed build must leave alone.
    QByteArray makeOldPackage() {
        writeFile(program.app() + "/Old/old.txt", "the old package's only file");
        built(paramsFor({{program.app() + "/Old/old.txt", "", ""}}));
        writeFile(lockedTxt, "stale list\n");
        return readFile(target);
    }
    // The old package (and the old list, when given) as they were, and no leftover of an unfinished build.
    void expectKept(const QByteArray& old, const QByteArray& list = "stale list\n") {
        EXPECT_EQ(readFile(target), old);
        EXPECT_EQ(list.isNull() ? list : readFile(lockedTxt), list);
        EXPECT_EQ(strays(), QStringList());
    }
    // Files in Zips/ other than the package and the list: leftovers of an unfinished build.
    QStringList strays() const {
        QStringList out = QDir(zips).entryList(QDir::Files | QDir::Hidden);
        out.removeAll("Backup.zip");
        out.removeAll("Locked.Txt");
        return out;
    }
    QString stored(const QString& file) const { return (data + file).mid(1); }
    QStringList stored(std::initializer_list<const char*> files) const {
        QStringList out;
        for (const char* f : files)
            out << stored(f);
        return out;
    }
    QString entry(const QString& file) const { return runTool("unzip", {"-p", target, stored(file)}).out; }
    BuildEntry file(const QString& name) const { return {data + name, "", ""}; }
    QStringList zipsFiles() const { return QDir(zips).entryList(QDir::Files | QDir::Hidden); }

    Program program;
    QString data = program.app() + "/Data/";
    QString zips = program.app() + "/Zips/";
    QString target = zips + "Backup.zip";
    QString lockedTxt = zips + "Locked.Txt";
    BuildEntry dataFolder{data, "*.*", "*.tmp  *.swp  system.dat"};
};

TEST_F(BuildJobTest, ChecksBeforeTheBuildChangeNothing) {
    const BuildList one{file("a.txt")};
    const auto stopped = [&](const BuildParams& p, const QString& message) {
        const BuildResult r = build(p);
        EXPECT_EQ(std::pair(r.outcome, r.message), std::pair(BuildOutcome::Stopped, message));
    };
    stopped(paramsFor({}), "Please select files to zip");
    BuildParams tooBig = paramsFor(one);
    tooBig.selectedBytes = kMaxSelectedBytes + 1;
    stopped(tooBig, BuildTexts::kTooBig);
    for (const QString name : {"Backup", "Backup.zip.txt"})
        stopped(paramsFor(one, name), "Output zip package must have a file extension of .zip");
    BuildParams missing = paramsFor(one);
    missing.targetFolder = program.app() + "/NoSuchFolder/";
    stopped(missing, "The target folder " + program.app() + "/NoSuchFolder/ does not exist.");
    QDir().mkpath(zips + "Taken.zip");
    stopped(paramsFor(one, "Taken.zip"), zips + "Taken.zip is a folder, not a zip package.");
    BuildParams unwritable = paramsFor(one); // not even the superuser creates files in /proc
    unwritable.targetFolder = "/proc/";
    EXPECT_TRUE(build(unwritable).message.startsWith("Cannot write into the folder /proc/"));
    // A build that counts its folders as it scans them stops at the limit itself (sparse files: no disk taken).
    for (const QString big : {"big/1.bin", "big/2.bin"}) {
        writeFile(program.app() + "/" + big, "x");
        ASSERT_TRUE(QFile::resize(program.app() + "/" + big, kMaxSelectedBytes / 2 + 1));
    }
    BuildParams scanned = paramsFor({{program.app() + "/big/", "*.*", ""}});
    scanned.scanCountsFolders = true;
    scanned.selectedFiles = scanned.selectedBytes = 0;
    stopped(scanned, BuildTexts::kTooBig);
    EXPECT_EQ(listTree(zips), QStringList());

    // Exactly 2 GB is allowed, and updating makes no such check.
    tooBig.selectedBytes = kMaxSelectedBytes;
    built(tooBig);
    BuildParams update = updateParams(one);
    update.selectedBytes = 3 * kMaxSelectedBytes;
    built(update);
}

// Two writers of one package at once would each put their own copy in place, and the work of one would be lost:
// the second stops at once, whichever path it takes to the package.
TEST_F(BuildJobTest, ASecondWriterOfThePackageStopsAtOnceAndChangesNothing) {
    const QByteArray old = makeOldPackage();
    ASSERT_TRUE(QFile::link(program.app() + "/Zips", program.app() + "/ZipsLink"));
    {
        const Result<PackageLock> held = PackageLock::take(program.app() + "/ZipsLink/Backup.zip");
        ASSERT_TRUE(held.ok()) << qPrintable(held.message());
        for (const BuildParams& p : {paramsFor({dataFolder}), updateParams({dataFolder})}) {
            const BuildResult r = build(p);
            EXPECT_EQ(r.outcome, BuildOutcome::Stopped);
            EXPECT_TRUE(r.message.contains("is being built or updated by another run")) << qPrintable(r.message);
            EXPECT_EQ(readFile(target), old);
        }
    }
    built(updateParams({dataFolder}));
}

TEST_F(BuildJobTest, TheReplaceQuestionShowsTheOldPackageAndNoKeepsIt) {
    const QByteArray old = makeOldPackage();
    ReplaceQuestion asked;
    BuildCallbacks callbacks;
    callbacks.askReplace = [&](const ReplaceQuestion& q) { return asked = q, false; };
    EXPECT_EQ(build(paramsFor({dataFolder}), callbacks).outcome, BuildOutcome::Declined);
    EXPECT_EQ(std::tuple(asked.path, asked.sizeText, asked.dateText.isEmpty()),
              std::tuple(target, TextUtil::formatGrouped(old.size()) + " Bytes", false));
    EXPECT_EQ(build(paramsFor({dataFolder}), BuildCallbacks{}).outcome, BuildOutcome::Declined) << "nobody to ask";
    expectKept(old);
}

TEST_F(BuildJobTest, BuildsAPackageThatOtherProgramsAccept) {
    makeOldPackage();
    std::vector<int> selecting, compressing, checking;
    BuildCallbacks callbacks = answer(true);
    callbacks.selecting = [&](int p) { selecting.push_back(p); };
    callbacks.compressing = [&](int p) { compressing.push_back(p); };
    // Reading the package back is a stage after the compression (-1 would be a report before it ended).
    callbacks.checking = [&](int p) { checking.push_back(compressing.back() == 100 ? p : -1); };
    BuildParams p = paramsFor({dataFolder, file("skip.tmp")});
    p.comment = "Weekly docs";
    const BuildResult r = built(p, callbacks);

    EXPECT_EQ(storedNames(target), stored({"a.txt", "b.txt", "skip.tmp", "sub/c.doc"}));
    buildtest::expectPeersAccept(target);
    EXPECT_EQ(entry("sub/c.doc").toUtf8(), sampleText(2000, 3));
    EXPECT_EQ(runTool("unzip", {"-z", target}).out.split('\n').value(1), "Weekly docs");
    EXPECT_EQ(std::tuple(r.selectedFiles, r.selectedBytes, r.entriesOrdered, r.notTaken, r.locked, r.heading),
              std::tuple(4LL, 10007LL, 4LL, 0LL, 0LL, QString(" Build Completed!")));
    EXPECT_EQ(std::tuple(r.resultPackagePath, r.lockedLine, r.packageBytes),
              std::tuple(target, QString("Number of locked files bypassed = 0"), QFileInfo(target).size()));
    EXPECT_EQ(readFile(lockedTxt), "") << "written even when no file was locked";
    EXPECT_EQ(strays(), QStringList());
    EXPECT_EQ(std::tuple(selecting, compressing.back(), checking.front(), checking.back()),
              std::tuple(std::vector<int>({25, 50, 75, 100}), 100, 0, 100));

    p.zip.password.text = "PW";
    built(p);
    buildtest::expectPeersAccept(target, "PW");
    EXPECT_NE(runTool("7z", {"t", target, "-pwrong"}).exitCode, 0) << "the entries are encrypted";
}

TEST_F(BuildJobTest, ASpannedBuildPutsEveryVolumeUnderTheTargetsName) {
    makeOldPackage();
    writeFile(data + "big.bin", randomBytes(300000, 9), kOld);
    BuildParams p = paramsFor({dataFolder});
    p.zip.spanSize = 100000;
    built(p);
    EXPECT_EQ(zipsFiles(), QStringList({"Backup.z01", "Backup.z02", "Backup.z03", "Backup.zip", "Locked.Txt"}))
        << "no hidden work file or volume is left";
    EXPECT_EQ(runTool("7z", {"t", target}).exitCode, 0);
    ZipPackage reopened;
    ASSERT_EQ(reopened.zOpenZipFile(target), kZipOk) << reopened.zGetLastErrorAsText().toStdString();
    EXPECT_EQ(std::tuple(reopened.zIsSpanned(), reopened.zGetTotalFiles()), std::tuple(true, 4));

    // A smaller spanned package takes the whole set's place: the old set's last volumes do not stay behind.
    writeFile(data + "big.bin", randomBytes(120000, 9), kOld);
    built(p);
    EXPECT_EQ(zipsFiles(), QStringList({"Backup.z01", "Backup.zip", "Locked.Txt"}));
    EXPECT_EQ(runTool("7z", {"t", target}).exitCode, 0);

    p.zip.spanSize = 0; // automatic: this small package fits, so it is one ordinary file again
    built(p);
    ASSERT_EQ(reopened.zOpenZipFile(target), kZipOk);
    EXPECT_FALSE(reopened.zIsSpanned());
    EXPECT_EQ(zipsFiles(), QStringList({"Backup.zip", "Locked.Txt"}))
        << "the earlier volumes went with the old package";
}

TEST_F(BuildJobTest, StoredNamesFollowTheOptionAndThePackageNeverGoesIntoItself) {
    BuildParams p = paramsFor({dataFolder});
    p.targetFolder = data;
    built(p);
    built(p); // the second build walks past the first package
    EXPECT_EQ(storedNames(data + "Backup.zip"), stored({"a.txt", "b.txt", "sub/c.doc"}));

    // Without full paths the first of two files of one name is kept and the other listed.
    QFile::remove(data + "Backup.zip");
    writeFile(data + "sub/a.txt", "the second a.txt", kOld);
    program.state->setText(Option::StoredNames, "1");
    const BuildResult r = built(paramsFor({dataFolder}));
    EXPECT_EQ(storedNames(target), QStringList({"a.txt", "b.txt", "c.doc"}));
    EXPECT_EQ(runTool("unzip", {"-p", target, "a.txt"}).out.toUtf8(), sampleText(5000, 1));
    EXPECT_EQ(r.leftOutFiles,
              QVector<LeftOutFile>(
                  {{data + "sub/a.txt", "another file of this name is already stored (" + data + "a.txt)"}}));
    EXPECT_EQ(std::pair(r.leftOutLine, r.filesLeftOut()), std::pair(QString("Number of files left out = 1"), true));

    const BuildResult none = build(paramsFor({{data, "*.none", ""}}));
    EXPECT_EQ(std::pair(none.outcome, none.message),
              std::pair(BuildOutcome::Failed,
                        "None of the selected files could be added, so " + target + " was not written."));
}

// A package of a.txt and b.txt as they were; then a.txt changes and d.txt appears.
class UpdateCodes : public BuildJobTest {
  protected:
    void SetUp() override {
        BuildJobTest::SetUp();
        built(paramsFor({file("a.txt"), file("b.txt")}));
        writeFile(data + "a.txt", "a is newer now", kNew);
        writeFile(data + "d.txt", "d is new", kNew);
    }
    const BuildList all{file("a.txt"), file("b.txt"), file("d.txt")};
};

TEST_F(BuildJobTest, AFileHeldLockedIsSkippedCountedAndListed) {
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    LockHolder holder(data + "b.txt");
    ASSERT_TRUE(eventually([&] { return isFileLocked(data + "b.txt"); }));
    QStringList reported;
    BuildCallbacks callbacks = answer(true);
    callbacks.fileLocked = [&](const QString& path, qint64 n) { reported << path + "#" + QString::number(n); };
    const BuildResult r = built(paramsFor({dataFolder}), callbacks);
    EXPECT_EQ(storedNames(target), stored({"a.txt", "sub/c.doc"}));
    EXPECT_EQ(readFile(lockedTxt), (data + "b.txt\n").toUtf8());
    EXPECT_EQ(std::tuple(r.lockedLine, r.entriesOrdered, reported),
              std::tuple(QString("Number of locked files bypassed = 1"), 3LL, QStringList({data + "b.txt#1"})))
        << "a locked file still moves the first bar";
}

TEST_F(BuildJobTest, AFileThatVanishesAfterTheScanIsListedNotFatal) {
    BuildCallbacks callbacks = answer(true);
    callbacks.beforeOpen = [&](const QString& path) {
        if (path == data + "a.txt") QFile::remove(path);
    };
    built(paramsFor({dataFolder}), callbacks);
    EXPECT_EQ(storedNames(target), stored({"b.txt", "sub/c.doc"}));
    EXPECT_EQ(readFile(lockedTxt), (data + "a.txt\n").toUtf8());
}

// Mended: a file picked twice (its folder and itself) was stored once but counted twice in the result.
TEST_F(BuildJobTest, AFilePickedTwiceIsStoredAndCountedOnce) {
    const BuildParams once = paramsFor({dataFolder});
    const BuildResult r = built(paramsFor({dataFolder, file("a.txt")}));
    EXPECT_EQ(std::pair(r.selectedFiles, r.selectedBytes), std::pair(once.selectedFiles, once.selectedBytes));
    EXPECT_EQ(storedNames(target).size(), once.selectedFiles);
}

TEST_F(BuildJobTest, AFullDiskKeepsTheOldPackageAndLeavesNoPartialFile) {
    const QByteArray old = makeOldPackage();
    // The disk fills at the end of the package, and in the middle of it, while the rest is still being read.
    for (const int size : {400000, 6 << 20}) {
        writeFile(data + "big.bin", randomBytes(size, 5), kOld);
        const BuildParams p = paramsFor({dataFolder});
        // A file-size limit makes every write past 200,000 bytes fail, as a full disk does.
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 200000;
        setrlimit(RLIMIT_FSIZE, &small);
        const BuildResult r = build(p);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(r.outcome, BuildOutcome::Failed);
        // The message names the package, not the work file.
        EXPECT_TRUE(r.message.contains(target) && !r.message.contains(".vhw-")) << qPrintable(r.message);
        expectKept(old, {});
    }
}

TEST_F(BuildJobTest, EveryNameLinuxAllowsIsStoredAndRestoredByteForByte) {
    // "café.txt" written by a Latin-1 system, and names holding control characters (libzip refuses those in a name
    // flagged UTF-8): the bytes go into the package as they are, without the UTF-8 flag, as Info-ZIP stores them;
    // messages show the odd byte as \xE9. The update adds one more such file to the package.
    const QList<QByteArray> odd{"caf\xe9.txt", "odd\x01name.txt", "bell\x07.txt",
                                "esc\x1b.txt", "us\x1f.txt",      "caf\xc3\xa9\x0bvt.txt"};
    const auto make = [&](const QByteArray& name) {
        writeNativeFile(NativePath::decode(QFile::encodeName(data) + name), name);
    };
    for (const QByteArray& name : odd.mid(0, 5))
        make(name);
    built(paramsFor({dataFolder}));
    make(odd.last());
    const BuildResult r = built(updateParams({dataFolder}));
    EXPECT_EQ(r.locked + r.leftOut, 0);
    const ToolRun names = runTool("python3", {"-c",
                                              "import zipfile,sys\n"
                                              "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                                              "  raw = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
                                              "  print(raw.hex(), i.flag_bits & 0x800)",
                                              target});
    ASSERT_EQ(names.exitCode, 0) << names.err.toStdString();
    EXPECT_EQ(names.out.count('\n'), 3 + odd.size()) << "the update met the unchanged files' entries by their bytes";
    buildtest::expectPeersAccept(target);
    EXPECT_EQ(std::pair(runTool("unzip", {"-l", target}).exitCode, runTool("7z", {"l", target}).exitCode),
              std::pair(0, 0));
    ZipPackage package;
    ASSERT_EQ(package.zOpenZipFile(target), kZipOk);
    TempDir out;
    ASSERT_EQ(package.zExtractAll(out.path(), {}, {true, false, false}, never), kZipOk)
        << qPrintable(package.zGetLastErrorAsText());
    for (const QByteArray& name : odd) {
        EXPECT_TRUE(names.out.contains(QFile::encodeName(data).mid(1).toHex() + name.toHex() + " 0\n"))
            << name.toHex().constData();
        const QByteArray restored = QFile::encodeName(out.path()) + '/' + name;
        char buffer[64] = {};
        const int fd = ::open(restored.constData(), O_RDONLY);
        EXPECT_EQ(QByteArray(buffer, fd < 0 ? 0 : int(::read(fd, buffer, sizeof buffer))), name)
            << name.toHex().constData();
        if (fd >= 0) ::close(fd);
        ::unlink((QFile::encodeName(data) + name).constData()); // names the temporary folder's clean-up cannot spell
        ::unlink(restored.constData());
    }
}

TEST_F(BuildJobTest, LinksAreStoredAsLinksAndSpecialFilesAreListed) {
    ASSERT_TRUE(QFile::link("a.txt", data + "to-file.txt"));
    ASSERT_TRUE(QFile::link("sub", data + "to-folder.txt"));
    ASSERT_TRUE(QFile::link("nowhere", data + "dangling.txt"));
    ASSERT_TRUE(QFile::link("..", data + "sub/up.txt")); // a loop, were it followed
    ASSERT_EQ(::mkfifo(QFile::encodeName(data + "pipe.txt").constData(), 0644), 0);
    const BuildParams p = paramsFor({dataFolder});
    EXPECT_EQ(p.selectedFiles, 7) << "the pipe has nothing to back up and is not counted";
    const BuildResult r = built(p);
    EXPECT_EQ(storedNames(target),
              stored({"a.txt", "b.txt", "dangling.txt", "sub/c.doc", "sub/up.txt", "to-file.txt", "to-folder.txt"}));
    EXPECT_EQ(r.locked, 0) << "a dangling link is not locked";
    EXPECT_EQ(r.leftOutFiles,
              QVector<LeftOutFile>({{data + "pipe.txt", "a named pipe, which has no contents to store"}}));
    EXPECT_TRUE(readFile(lockedTxt).contains((data + "pipe.txt\ta named pipe").toUtf8()));

    const ToolRun info = runTool("unzip", {"-Z", target});
    for (const char* link : {"to-file.txt", "to-folder.txt", "dangling.txt", "sub/up.txt"}) {
        const QRegularExpression line("^lrwxrwxrwx .* unx .*" + QRegularExpression::escape(stored(link)) + "$",
                                      QRegularExpression::MultilineOption);
        EXPECT_TRUE(line.match(info.out).hasMatch()) << link << "\n" << info.out.toStdString();
    }
    EXPECT_EQ(std::pair(entry("to-folder.txt"), entry("dangling.txt")), std::pair(QString("sub"), QString("nowhere")));
    buildtest::expectPeersAccept(target);
}

TEST_F(BuildJobTest, AFileThatChangesDuringTheBackupIsStoredAndListed) {
    BuildCallbacks callbacks = answer(true);
    callbacks.beforeOpen = [&](const QString& path) {
        if (path == data + "b.txt") writeFile(path, "b was rewritten meanwhile", kOld);
    };
    const BuildResult r = built(paramsFor({dataFolder}), callbacks);
    EXPECT_EQ(storedNames(target), stored({"a.txt", "b.txt", "sub/c.doc"}));
    EXPECT_EQ(
        std::tuple(r.changedPaths, r.changedLine, r.filesLeftOut()),
        std::tuple(QStringList({data + "b.txt"}), QString("Number of files changed during the backup = 1"), false))
        << "it is stored";
    EXPECT_EQ(readFile(lockedTxt), (data + "b.txt\tchanged during the backup\n").toUtf8());
}

TEST_F(BuildJobTest, APackageInsideItsTreeLeavesOutItselfItsVolumesAndWorkFiles) {
    writeFile(data + "big.bin", randomBytes(150000, 4), kOld);
    writeFile(data + ".a.txt.vhw-99999-1", "a work file of a killed run", kOld);
    BuildParams p = paramsFor({dataFolder});
    // The target folder is reached through a link: the package is still known by its device and inode.
    ASSERT_TRUE(QFile::link(data, program.app() + "/via"));
    p.targetFolder = program.app() + "/via/";
    p.zip.spanSize = 65536;
    built(p);
    ASSERT_TRUE(QFileInfo::exists(data + "Backup.z01"));
    const QStringList expected = stored({"a.txt", "b.txt", "big.bin", "sub/c.doc"});
    EXPECT_EQ(storedNames(data + "Backup.zip"), expected);

    // The second build's totals were counted over the first one's volumes; they are left out of both.
    const BuildParams again = paramsFor({dataFolder});
    p.selectedFiles = again.selectedFiles;
    p.selectedBytes = again.selectedBytes;
    const BuildResult r = built(p);
    EXPECT_EQ(storedNames(data + "Backup.zip"), expected);
    EXPECT_EQ(std::tuple(r.selectedFiles, r.selectedBytes, r.filesLeftOut()),
              std::tuple(4LL, 5000LL + 3000 + 2000 + 150000, false));
}

TEST_F(BuildJobTest, CancelDuringTheScanKeepsTheOldPackageAndWritesTheLockedList) {
    for (int i = 0; i < 450; ++i)
        writeFile(QString("%1many/f%2.txt").arg(data).arg(i), "x");
    const QByteArray old = makeOldPackage();
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    LockHolder holder(data + "b.txt");
    ASSERT_TRUE(eventually([&] { return isFileLocked(data + "b.txt"); }));
    BuildCallbacks callbacks = answer(true);
    CancelToken cancel;
    callbacks.scanning = [&](qint64) { cancel.cancel(); };
    const BuildResult r = BuildJob(paramsFor({file("b.txt"), {data + "many/", "*.*", ""}}), callbacks).execute(cancel);
    EXPECT_EQ(std::tuple(r.outcome, r.message), std::tuple(BuildOutcome::Cancelled, QString()));
    // The list holds what was found locked before the cancel: the files are read while the scan goes on, so the
    // locked one may or may not have been reached.
    EXPECT_EQ(std::tuple(readFile(target), strays()), std::tuple(old, QStringList()));
    EXPECT_TRUE(QList<QByteArray>({"", (data + "b.txt\n").toUtf8()}).contains(readFile(lockedTxt)));
}

TEST_F(BuildJobTest, CancelDuringCompressionKeepsTheOldPackageAndTheOldList) {
    writeFile(data + "big.bin", randomBytes(8 << 20, 9), kOld);
    const QByteArray old = makeOldPackage();
    BuildCallbacks callbacks = answer(true);
    CancelToken cancel;
    std::vector<int> reported;
    // Files are compressed while the scan goes on; once it is over, only the compression is left to cancel.
    bool walked = false;
    callbacks.afterWalk = [&] { walked = true; };
    callbacks.compressing = [&](int percent) {
        if (walked) reported.push_back(percent), cancel.cancel();
    };
    EXPECT_EQ(BuildJob(paramsFor({dataFolder}), callbacks).execute(cancel).outcome, BuildOutcome::Cancelled);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_LT(reported[0], 100) << "stopped at the first report, before the end";
    expectKept(old);

    // So does a cancel while the new package is read back for its check.
    BuildCallbacks whileChecking = answer(true);
    whileChecking.checking = [&](int) { cancel.cancel(); };
    cancel.clear();
    EXPECT_EQ(BuildJob(paramsFor({dataFolder}), whileChecking).execute(cancel).outcome, BuildOutcome::Cancelled);
    expectKept(old, {});

    // The token is the caller's: one already set stops the build before it starts, and stays set.
    BuildJob again(paramsFor({dataFolder}), answer(true));
    EXPECT_EQ(again.execute(cancel).outcome, BuildOutcome::Cancelled);
    EXPECT_TRUE(cancel.cancelled());
    expectKept(old);
    cancel.clear();
    EXPECT_TRUE(again.execute(cancel).ok());
}

TEST_F(BuildJobTest, APackageThatFailsItsCheckDoesNotReplaceTheOldOne) {
    const QByteArray old = makeOldPackage();
    BuildCallbacks callbacks = answer(true);
    callbacks.beforeCheck = [&](const QString& newPackage) {
        EXPECT_EQ(QFileInfo(newPackage).absolutePath() + "/", zips);
        EXPECT_NE(newPackage, target);
        damage(newPackage, sampleText(3000, 2));
    };
    BuildParams p = paramsFor({dataFolder});
    p.zip.level = CompressionLevel::None;
    const BuildResult r = build(p, callbacks);
    EXPECT_TRUE(r.outcome == BuildOutcome::Failed && r.message.contains(stored("b.txt"))) << qPrintable(r.message);
    expectKept(old);

    // An update works on a copy; damage to an entry carried over from the original keeps the original.
    p.list = {file("a.txt")};
    built(p);
    const QByteArray original = readFile(target);
    callbacks.beforeCheck = [&](const QString& copy) { damage(copy, sampleText(5000, 1)); };
    BuildParams update = updateParams({file("b.txt")});
    update.zip.level = CompressionLevel::None;
    const BuildResult u = build(update, callbacks);
    EXPECT_TRUE(u.outcome == BuildOutcome::Failed && u.message.contains(stored("a.txt"))) << qPrintable(u.message);
    expectKept(original, {});
}

TEST_F(BuildJobTest, AnUpdateUnderANewPasswordAcceptsTheOldEncryptedEntries) {
    BuildParams first = paramsFor({file("a.txt")});
    first.zip.password.text = "first";
    built(first);
    BuildParams p = updateParams({file("b.txt")});
    p.zip.password.text = "second";
    built(p);
    EXPECT_EQ(storedNames(target), stored({"a.txt", "b.txt"}));
    EXPECT_EQ(runTool("7z", {"t", target, "-psecond", stored("b.txt")}).exitCode, 0);
}

// An update copies what it keeps as it is: other programs' entries (with their own extra fields and data
// descriptors) keep every byte, only the newer file is written anew, and the result passes the peers' tests.
TEST_F(BuildJobTest, AnUpdateKeepsOtherProgramsEntriesByteForByte) {
    QDir().mkpath(zips);
    const QString relative = data.mid(1);
    ASSERT_EQ(runTool("zip", {"-r", "-q", target, relative}, "/").exitCode, 0);
    ASSERT_EQ(runTool("zip", {"-q", target, "-"}, "/", "read from a pipe, so it has a data descriptor\n").exitCode, 0);
    const QString before = zips + "before.zip";
    ASSERT_TRUE(QFile::copy(target, before));
    writeFile(data + "b.txt", "b is newer now", kNew);
    built(updateParams({dataFolder}));
    // Each entry's local header and data, as the package holds them, by name.
    const char* rawEntries = R"(
import sys, zipfile, struct
def raw(path):
    z, f, out = zipfile.ZipFile(path), open(path, "rb"), {}
    for i in z.infolist():
        f.seek(i.header_offset)
        head = f.read(30)
        n, m = struct.unpack("<HH", head[26:30])
        out[i.filename] = head + f.read(n + m + i.compress_size)
    return out
old, new = raw(sys.argv[1]), raw(sys.argv[2])
print(sorted(name for name in old if old[name] == new.get(name)), sorted(set(new) - set(old)))
)";
    const QString stay = QString("['-', '%1', '%2', '%3', '%4', '%5']")
                             .arg(relative, stored("a.txt"), stored("skip.tmp"), stored("sub/"), stored("sub/c.doc"));
    EXPECT_EQ(runTool("python3", {"-c", rawEntries, before, target}).out.trimmed(), stay + " []");
    EXPECT_EQ(entry("b.txt"), "b is newer now");
    buildtest::expectPeersAccept(target);
}

} // namespace

// A spanned package of three volumes, then a rebuild into two that a kill stops at one of its steps. Whatever
// the step, the next writer finds either the old set or the new set complete, and nothing else.
class SpannedRebuild : public BuildJobTest, public ::testing::WithParamInterface<const char*> {
  protected:
    BuildParams spanned(int bytes, int seed) {
        writeFile(data + "big.bin", randomBytes(bytes, seed), kOld);
        BuildParams p = paramsFor({dataFolder});
        p.zip.level = CompressionLevel::None;
        p.zip.spanSize = 100000;
        return p;
    }
    // The package's files as a user sees them (hidden work files apart), with their bytes.
    QMap<QString, QByteArray> visibleSet() const {
        QMap<QString, QByteArray> set;
        for (const QString& name : QDir(zips).entryList(QDir::Files))
            if (name != "Locked.Txt") set.insert(name, readFile(zips + name));
        return set;
    }
    qint64 bigSize() const {
        ZipPackage package;
        if (package.zOpenZipFile(target) != kZipOk) return -1;
        for (const ZipEntry& e : package.entries())
            if (e.name == "big.bin") return e.size;
        return -1;
    }
};

TEST_P(SpannedRebuild, AKillLeavesTheOldSetOrTheNewOne) {
    const char* point = GetParam();
    built(spanned(350000, 1));
    const QMap<QString, QByteArray> oldSet = visibleSet();
    ASSERT_EQ(oldSet.keys(), QStringList({"Backup.z01", "Backup.z02", "Backup.z03", "Backup.zip"}));
    const BuildParams rebuild = spanned(150000, 2);

    const pid_t child = fork();
    if (child == 0) {
        setSpannedRebuildSeam([&](const char* at) {
            if (qstrcmp(at, point) == 0) ::raise(SIGKILL); // at the first time the build reaches the point
        });
        build(rebuild);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the kill came at " << point;

    // A reader only reports the interrupted rebuild; the next writer of the package completes or drops it.
    {
        ZipPackage opened;
        opened.zOpenZipFile(target);
        EXPECT_EQ(opened.zOpenNotice().isEmpty(), qstrcmp(point, "volumes-written") == 0) << point;
    }
    ASSERT_TRUE(recoverSpannedRebuild(target));
    const bool committed = qstrcmp(point, "volumes-written") != 0 && qstrcmp(point, "journal-partly-written") != 0;
    const ToolRun test = runTool("7z", {"t", target});
    EXPECT_EQ(test.exitCode, 0) << test.out.toStdString();
    if (committed) {
        EXPECT_EQ(std::pair(visibleSet().keys(), bigSize()),
                  std::pair(QStringList({"Backup.z01", "Backup.zip"}), 150000LL))
            << "the new set, no old volume";
    } else {
        EXPECT_EQ(std::pair(visibleSet(), bigSize()), std::pair(oldSet, 350000LL));
    }
    // The next build sweeps the killed run's work files.
    built(paramsFor({file("a.txt")}));
    EXPECT_EQ(strays(), QStringList()) << "no work file of the killed run is left";
}

INSTANTIATE_TEST_SUITE_P(Steps, SpannedRebuild,
                         ::testing::Values("volumes-written", "journal-partly-written", "journal-committed",
                                           "volume-renamed", "old-volumes-removed"));
