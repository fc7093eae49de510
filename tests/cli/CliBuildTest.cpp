// varnhold-cli build and count as a script sees them, and a build or extraction stopped halfway (Ctrl-C, SIGTERM, a
// kill, a file-size limit) that leaves the old package as it was and no work file for good.
#include "CliTestUtil.h"
#include "sets/BackupSetFile.h"
#include "utility/NativePath.h"
#include "utility/WorkFile.h"

#include <climits>
#include <fstream>

using namespace clitest;

namespace {

const QDateTime kOld(QDate(2021, 2, 3), QTime(4, 5, 6));
const QDateTime kNew(QDate(2024, 7, 8), QTime(9, 10, 12));

void data(CliFixture& t) {
    writeFile(t.file("data/a.txt"), "alpha", kOld);
    writeFile(t.file("data/sub/b.txt"), "bravo!!", kOld);
    writeFile(t.file("data/scratch.tmp"), "left out", kOld);
    writeFile(t.file("note.md"), "a note", kOld);
}

/// data(), then a build run before the case's own; kept holds the file it left (the package unless named).
Step after(const QString& args, const QString& keep = "{dir}/out.zip") {
    return [=](CliFixture& t) {
        data(t);
        ASSERT_EQ(t.run(QProcess::splitCommand(args)).exitCode, 0);
        t.kept = readFile(t.expand(keep));
    };
}

const QString kNoneLocked = "Number of locked files bypassed = 0\n";
/// The lines of a completed build, up to the count of locked files (tail).
QString built(int files, int bytes, const QString& zip = "out.zip", const QString& tail = kNoneLocked) {
    return QString("Build Completed!\nZip Package: {dir}/%1\nTotal number of files selected: %2\n"
                   "Total number of bytes selected: %3\nTotal compressed bytes: {size:%1}\n%4")
        .arg(zip, QString::number(files), QString::number(bytes), tail);
}
/// The lines of an update of out.zip from the three files of data/ that the standard patterns take.
QString updated(int files) {
    return built(3, 26, "out.zip", QString("Number of files updated: %1\n").arg(files) + kNoneLocked)
        .replace("Build Completed!\nZip Package:", "Update Completed!\nZip Package Updated:");
}

// A chain of folders whose path is longer than the system takes (PATH_MAX), made by mkdir -p one step at a time; it is
// listed by the folder holding it, but cannot be opened by its path. kept holds its path.
Step tooDeep(const QString& base, const Step& more) {
    return [=](CliFixture& t) {
        more(t);
        QString path = t.file(base);
        while (path.size() < PATH_MAX)
            path += '/' + QString(200, 'd');
        ASSERT_EQ(runTool("mkdir", {"-p", path}).exitCode, 0);
        t.kept = (path + '/').toUtf8();
    };
}

// The tree is too deep for TempDir to remove.
Step removeTree(const QString& folder) {
    return [=](CliFixture& t) { runTool("rm", {"-rf", t.file(folder)}); };
}

Case storedPassword(const char* name, const char* setBy, const char* says) {
    const Given stored{{"Optionse4", "stored pw"}, {"PasswordSetBy", setBy}};
    const QString err = QString("using the stored password, %1\n").arg(says);
    return {name, "build out.zip data/ --level none", built(2, 12), err, 0, data, nullptr, stored};
}

/// Checks that zip (in {dir}) stores the files named (blank-separated, below {dir}) and holds comment, if one is given.
Step holds(const QString& zip, const QString& names, const QString& comment = {}) {
    return [=](CliFixture& t) {
        QStringList expected;
        for (const QString& name : names.split(' '))
            expected << t.stored(name);
        expected.sort();
        EXPECT_EQ(storedNames(t.file(zip)), expected);
        EXPECT_TRUE(comment.isEmpty() || runTool("unzip", {"-z", t.file(zip)}).out.contains(comment)) << "comment";
    };
}

const Step kPeersAccept = [](CliFixture& t) { expectPeersAccept(t.file("out.zip")); };
const Step kSevenZipSecret = [](CliFixture& t) {
    EXPECT_EQ(runTool("7z", {"t", t.file("out.zip"), "-psecret"}).exitCode, 0);
};
const Step kChanged = all({after("build out.zip data/"), [](CliFixture& t) {
                               writeFile(t.file("data/a.txt"), "alpha, newer", kNew);
                               writeFile(t.file("data/c.txt"), "charlie", kNew);
                           }});
// Nothing was written: only note.md is in {dir}.
const Step kOnlyNote = [](CliFixture& t) {
    EXPECT_EQ(QDir(t.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"note.md"}));
};
const QString kSaveWeekly = "build first.zip data/ note.md --include *.txt --save-set Weekly --comment weekly";
const Step kWeeklySaved = [](CliFixture& t) {
    const Result<QString> copy = makeWorkingCopy(t.app.file("Sets/Weekly.set"), t.app.path());
    ASSERT_TRUE(copy.ok()) << copy.message().toStdString();
    const SetContents set = readRows(copy.value());
    EXPECT_EQ(set.comments, QStringList({"weekly"}));
    EXPECT_EQ(set.rows, QVector<SelectionRow>({{t.file("data/"), "2", "12", "*.txt", "*.tmp  *.swp  system.dat"},
                                               {t.file("note.md"), "1", "6", "", ""}}));
};
const Step kSetSaved = after("build first.zip note.md --save-set Weekly --comment kept", "{app}/Sets/Weekly.set");
const Step kSetKept = all({disk({{"{dir}/out.zip", {}}, {"{app}/Sets/Daily.set", {}}}), [](CliFixture& t) {
                               EXPECT_EQ(readFile(t.app.file("Sets/Weekly.set")), t.kept) << "byte for byte";
                           }});
const QString kNoFolder = says("The target folder {dir}/nowhere/ does not exist.");
const QString kNothingAdded = says("None of the selected files could be added, so {dir}/out.zip was not written.");
const QString kSetRefused =
    "varnhold-cli: Backup set {app}/Sets/Weekly.set exists and was not replaced (give --replace-set to replace it).\n"
    "Try 'varnhold-cli --help'.\n";
const QString kSavedAs = "Backup set saved as {app}/Sets/Weekly.set\n";
const Step kInDefaultSets = [](CliFixture& t) {
    EXPECT_TRUE(QFileInfo::exists(t.app.file("Sets/Weekly.set")));
    EXPECT_EQ(QDir(t.dir.path()).entryList(QDir::Files), QStringList({"note.md", "out.zip", "second.zip"}));
};
const Step kPipeAndTooDeep = tooDeep("data/deep", [](CliFixture& t) {
    data(t);
    ASSERT_EQ(::mkfifo(QFile::encodeName(t.file("data/pipe.txt")).constData(), 0644), 0);
});
const Step kLockA = [](CliFixture& t) {
    data(t);
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    // flock(1) takes its lock before it starts the command, which holds it on.
    ASSERT_TRUE(QProcess::startDetached("flock", {t.file("data/a.txt"), "sleep", "30"}));
    ASSERT_TRUE(eventually([&] { return runTool("flock", {"-n", "-s", t.file("data/a.txt"), "true"}).exitCode; }));
};
const Step kOddSet = [](CliFixture& t) {
    QStringList args{"build", "first.zip", "--save-set", "Odd"};
    for (const QString name : {"tab\there.txt", "line\nbreak.txt", "cr\rhere.txt", "blank ", "two  ", "50% off.txt"}) {
        writeFile(t.file("odd/" + name), name.toUtf8());
        args << t.file("odd/" + name);
    }
    ASSERT_EQ(t.run(args).exitCode, 0);
};
const Step kSameNames = [](CliFixture& t) {
    EXPECT_EQ(storedNames(t.file("second.zip")), storedNames(t.file("first.zip")));
};
const Step kDamagedSets =
    all({after("build first.zip data/ data/a.txt --save-set Weekly", "{app}/Sets/Weekly.set"), [](CliFixture& t) {
             writeFile(t.app.file("Sets/Cut.set"), t.kept.chopped(6)); // into the last row
             writeFile(t.app.file("Sets/Junk.set"), randomBytes(2000, 11));
         }});
// No plain copy of the set is left.
const Step kNoPackageNoCopy = disk({{"{dir}/out.zip", {}}, {"{app}/Work/Temp.set", {}}});

const Given kNoSetsFolder = {{"Options08", ""}};

const Case kBuild[] = {
    // The password is shared with extraction: a build says where the stored one was last set before it encrypts.
    storedPassword("PasswordStoredByExtraction", "extract", "last set by an extraction"),
    storedPassword("PasswordStoredByBuild", "build", "last confirmed in the build settings"),
    {"Small", "build out.zip data/ note.md --level none", built(3, 18), "", 0, data,
     all({holds("out.zip", "note.md data/a.txt data/sub/b.txt", "*Comment*"), kPeersAccept,
          disk({{"{app}/Zips/Locked.Txt", ""}})})},
    {"PatternsPasswordComment",
     "build out.zip data --include *.tmp --include */sub/* --exclude *.none "
     "--password secret --comment \"Weekly docs\"",
     built(2, 15), "", 0, data,
     all({holds("out.zip", "data/scratch.tmp data/sub/b.txt", "Weekly docs"), kSevenZipSecret})},
    {"Update", "build out.zip data/ --mode update", updated(2), "", 0, kChanged,
     holds("out.zip", "data/a.txt data/c.txt data/sub/b.txt", "*Comment*")},
    {"UpdateMissing", "build other.zip data/ --mode update", "",
     says("{dir}/other.zip does not exist; --mode update works on an existing zip package."), 1, data},
    {"MissingPath", "build out.zip missing.txt", "", says("{dir}/missing.txt does not exist."), 1, data, kOnlyNote},
    {"MissingTargetFolder", "build nowhere/out.zip data/", "", kNoFolder, 1, data, kOnlyNote},
    {"MissingSet", "build out.zip --set Weekly", "", says("Backup set {app}/Sets/Weekly.set not found."), 1, data,
     kOnlyNote},
    {"NothingToStore", "build out.zip data/ --include *.none", "", kNothingAdded, 1, data, kOnlyNote},
    usage("NoPath", "build a.zip", "build takes a zip package and at least one PATH or --set NAME"),
    usage("BadLevel", "build a.zip x --level best", "--level takes none, fast, normal or maximum"),
    usage("SmallSpan", "build a.zip x --span 1000", "--span takes at least 65536 bytes per volume"),
    usage("BlankPattern", "build a.zip x --include \"a b\"", "--include takes one pattern without blanks"),
    usage("ReplaceSetAlone", "build a.zip x --replace-set", "--replace-set goes with --save-set"),
    usage("BadSetName", "build a.zip x --save-set a/b",
          "The backup set name \"a/b.set\" cannot be used: a name cannot hold \"/\"."),
    usage("SixExcludes", "build a.zip x --exclude 1 --exclude 2 --exclude 3 --exclude 4 --exclude 5 --exclude 6",
          "at most 5 --exclude patterns"),
    {"SaveSet", kSaveWeekly, built(3, 18, "first.zip") + kSavedAs, "", 0, data, kWeeklySaved},
    // Folders of a set are counted again when it is built from.
    {"FromSet", "build second.zip --set Weekly", built(4, 47, "second.zip"), "", 0,
     all({after(kSaveWeekly),
          [](CliFixture& t) { writeFile(t.file("data/later.txt"), "added after the set was saved"); }}),
     holds("second.zip", "note.md data/a.txt data/later.txt data/sub/b.txt", "weekly")},
    // A set is saved only by a build that completed, and an existing set only with --replace-set.
    {"SetKeptWhenTargetFolderMissing", "build nowhere/out.zip data/ --save-set Weekly --replace-set", "", kNoFolder, 1,
     kSetSaved, kSetKept},
    {"NewSetNotSavedWhenTargetFolderMissing", "build nowhere/out.zip data/ --save-set Daily", "", kNoFolder, 1,
     kSetSaved, kSetKept},
    {"SetKeptWhenNothingStored", "build out.zip data/ --include *.none --save-set Weekly --replace-set", "",
     kNothingAdded, 1, kSetSaved, kSetKept},
    {"SetKeptWhenPackageNotReplaced", "build first.zip data/ --no-replace --save-set Weekly --replace-set", "",
     says("{dir}/first.zip exists and was not replaced (--no-replace)."), 1, kSetSaved, kSetKept},
    {"SetNotReplacedUnasked", "build out.zip data/ --save-set Weekly", "", kSetRefused, 2, kSetSaved, kSetKept},
    {"SetNotReplacedUnaskedBeforeTheTargetIsChecked", "build nowhere/out.zip data/ --save-set Weekly", "", kSetRefused,
     2, kSetSaved, kSetKept},
    {"SetReplaced", "build out.zip data/ --save-set Weekly --replace-set", built(2, 12) + kSavedAs, "", 0, kSetSaved,
     [](CliFixture& t) { EXPECT_NE(readFile(t.app.file("Sets/Weekly.set")), t.kept); }},
    // With the sets folder option empty, sets live in Sets/ below the application folder, as in the set dialogs,
    // not in the folder the program was started in.
    {"EmptySetsFolderOption", "build second.zip --set Weekly", built(2, 12, "second.zip"), "", 0,
     after("build out.zip data/ --save-set Weekly"), kInDefaultSets, kNoSetsFolder},
    // Pipes and folders that cannot be opened are named: a scheduled backup must tell a complete one from another.
    {"FilesLeftOut", "build out.zip data/ --level none",
     built(2, 12) + "Number of files left out = 2\nList of files left out or changed saved as {app}/Zips/Locked.Txt\n",
     "left out  {dir}/data/pipe.txt: a named pipe, which has no contents to store\n"
     "left out  {kept}: the folder could not be opened: File name too long\n",
     4, kPipeAndTooDeep,
     all({removeTree("data/deep"),
          disk({{"{app}/Zips/Locked.Txt", "{dir}/data/pipe.txt\ta named pipe, which has no contents to store\n"
                                          "{kept}\tthe folder could not be opened: File name too long\n"}}),
          holds("out.zip", "data/a.txt data/sub/b.txt")})},
    {"LockedFile", "build out.zip data/",
     built(2, 12, "out.zip",
           "Number of locked files bypassed = 1\nList of locked files saved as {app}/Zips/Locked.Txt\n"),
     "locked  {dir}/data/a.txt\n", 4, kLockA,
     all({disk({{"{app}/Zips/Locked.Txt", "{dir}/data/a.txt\n"}}), holds("out.zip", "data/sub/b.txt")})},
    // Paths holding TAB, CR, LF or ending in blanks survive a save and a build from the set.
    {"OddPathsThroughASet", "build second.zip --set Odd", built(6, 59, "second.zip"), "", 0, kOddSet, kSameNames},
    // A set cut short or one that deciphers to nonsense is not built from.
    {"CutSet", "build out.zip --set Cut", "",
     "varnhold-cli: Backup set Cut.set is damaged (line 3 is cut short; line 3 has 2 fields instead of 5); it was not "
     "used.\n",
     1, kDamagedSets, kNoPackageNoCopy},
    {"JunkSet", "build out.zip --set Junk", "",
     "varnhold-cli: Backup set Junk.set is damaged (it does not begin with its comment line; line 22 is cut short; "
     "line 1 has 1 fields instead of 5; 21 more); it was not used.\n",
     1, kDamagedSets, kNoPackageNoCopy},
};
INSTANTIATE_TEST_SUITE_P(build, CliRun, ::testing::ValuesIn(kBuild), caseName);

// count shows what a tick in the wizard's tree shows: the files the stored patterns take and their bytes.
void countTree(CliFixture& t) {
    writeFile(t.file("tree/a.txt"), "12345");
    writeFile(t.file("tree/sub/b.txt"), QByteArray(2000, 'b'));
    writeFile(t.file("tree/sub/skip.tmp"), "x");
}
const QString kTreeRow = "{dir}/tree/\t2\t2,005\n";
const Given kSkipTmp = {{"Pattern06", "*.tmp"}};

const Case kCount[] = {
    {"Folder", "count tree", kTreeRow, "", 0, countTree, nullptr, kSkipTmp},
    {"MissingFolder", "count tree missing", kTreeRow, says("{dir}/missing is not a folder."), 1, countTree, nullptr,
     kSkipTmp},
    {"File", "count tree/a.txt", "", says("{dir}/tree/a.txt is not a folder."), 1, countTree},
    // What a count cannot read is named and makes exit 4, as files a build leaves out do.
    {"Unreadable", "count closed tree", "{dir}/closed/\t0\t0\n" + kTreeRow,
     "left out  {kept}: the folder could not be opened: File name too long\n", 4, tooDeep("closed/deep", countTree),
     removeTree("closed/deep"), kSkipTmp},
};
INSTANTIATE_TEST_SUITE_P(count, CliRun, ::testing::ValuesIn(kCount), caseName);

struct CliBuild : CliFixture {
    void SetUp() override { CliFixture::SetUp(), data(*this); }
    /// The package a build stopped halfway must leave as it was.
    QByteArray oldPackage() {
        EXPECT_EQ(run({"build", "out.zip", "note.md"}).exitCode, 0);
        return readFile(file("out.zip"));
    }
};

// A name is bytes: one that is not UTF-8 is stored and extracted as those bytes.
TEST_F(CliBuild, ANameThatIsNotTextSurvivesBuildAndExtractByteForByte) {
    const QByteArray name = QFile::encodeName(file("data/")) + "caf\xe9.txt";
    writeNativeFile(NativePath::decode(name), "latin-1 name");
    const ToolRun built = run({"build", "out.zip", "data/"});
    EXPECT_EQ(built.exitCode, 0);
    EXPECT_EQ(built.err, "");
    expectPeersAccept(file("out.zip"));
    EXPECT_EQ(run({"extract", "out.zip", "--to", "restored"}).err, "");
    std::ifstream restored(QFile::encodeName(file("restored")) + name); // under its own bytes
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(restored), {}), "latin-1 name");
}

// Ctrl-C or SIGTERM while the selection is counted (the first scan to open the tree), and Ctrl-C once the new
// package is being written into its work file beside the old one.
TEST_F(CliBuild, AnInterruptExitsThreeAndLeavesTheOldPackageAsItWas) {
    const QByteArray old = oldPackage();
    writeFile(file("data/big.bin"), randomBytes(48 << 20, 5));
    manyFiles(file("data/tree"), "txt");
    for (const auto& [signal, compressing] : {std::pair{SIGINT, false}, {SIGTERM, false}, {SIGINT, true}}) {
        SCOPED_TRACE(compressing ? "compressing" : signal == SIGINT ? "scanning, SIGINT" : "scanning, SIGTERM");
        QProcess build;
        ASSERT_TRUE(start(build, {"build", "out.zip", "data/", "--level", "maximum"}, file("data/tree")));
        ASSERT_TRUE(!compressing || eventually([&] { return !hiddenFiles(dir.path()).isEmpty(); }, 60000));
        expectInterrupted(build, signal, "Build interrupted; {dir}/out.zip was left as it was.");
        EXPECT_EQ(readFile(file("out.zip")), old);
        EXPECT_EQ(hiddenFiles(dir.path()), QStringList());
    }
}

// A file-size limit once killed the build (SIGXFSZ) and left its work file.
TEST_F(CliBuild, AFileSizeLimitFailsTheBuildWithAMessageInsteadOfKillingIt) {
    if (!haveTool("prlimit")) GTEST_SKIP() << "prlimit is not installed";
    const QByteArray old = oldPackage();
    writeFile(file("data/big.bin"), randomBytes(1 << 20, 3));
    const ToolRun limited = run({"build", "out.zip", "data/", "--level", "none"}, {}, {"prlimit", "--fsize=400000"});
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_TRUE(limited.err.contains("File too large")) << limited.err.toStdString();
    EXPECT_EQ(readFile(file("out.zip")), old);
    EXPECT_EQ(hiddenFiles(dir.path()), QStringList());
}

// The work files a killed build leaves are swept by the next build there.
TEST_F(CliBuild, WorkFilesOfKilledBuildsAreSweptByTheNextBuild) {
    oldPackage();
    writeFile(file("data/big.bin"), randomBytes(24 << 20, 7));
    // Killed once its work file is there, and once that has grown.
    for (const qint64 grown : {0, 4 << 20}) {
        QProcess build;
        ASSERT_TRUE(start(build, {"build", "out.zip", "data/", "--level", "none"}));
        const auto grownFile = [&](const QString& name) { return QFileInfo(file(name)).size() >= grown; };
        ASSERT_TRUE(eventually([&] { return std::ranges::any_of(hiddenFiles(dir.path()), grownFile); }, 60000));
        build.kill();
        ASSERT_TRUE(build.waitForFinished(60000));
    }
    EXPECT_FALSE(hiddenFiles(dir.path()).isEmpty()) << "the kills left work files";
    const ToolRun next = run({"build", "out.zip", "note.md", "--level", "none"});
    EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_EQ(hiddenFiles(dir.path()), QStringList());
    holds("out.zip", "note.md")(*this);
    EXPECT_EQ(runTool("unzip", {"-t", file("out.zip")}).exitCode, 0);
}

// An interrupt leaves no partly written file; a kill leaves a work file that the next extraction there sweeps.
TEST_F(CliBuild, AnInterruptedExtractionLeavesNoPartialFileAndAKilledOneIsSweptLater) {
    // One entry of 512 MiB of zeros: a small package, but it takes a while to write out.
    writeFile(file("zeros/zeros.bin"), {});
    ASSERT_TRUE(QFile::resize(file("zeros/zeros.bin"), qint64(512) << 20));
    ASSERT_EQ(run({"build", "zeros.zip", "zeros/", "--level", "fast"}).exitCode, 0);
    QFile::remove(file("zeros/zeros.bin"));
    ASSERT_EQ(run({"build", "note.zip", "note.md"}).exitCode, 0);
    const QString out = file("out");
    QDir().mkpath(out);
    const QStringList args{"extract", "zeros.zip", "--entry", "0", "--to", out, "--no-folder-names"};
    const auto writing = [&] { return eventually([&] { return !hiddenFiles(out).isEmpty(); }, 60000); };
    QProcess interrupted, killed;
    ASSERT_TRUE(start(interrupted, args) && writing()) << "the entry is being written";
    expectInterrupted(interrupted, SIGINT, "Extraction interrupted; no partly written file was left behind.");
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    ASSERT_TRUE(start(killed, args) && writing()) << "the entry is being written";
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(60000));
    const QStringList left = hiddenFiles(out);
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(WorkFiles::isWorkFileName(left[0])) << left[0].toStdString();
    const ToolRun next = run({"extract", "note.zip", "--to", out, "--no-folder-names"});
    EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"note.md"});
}

} // namespace
