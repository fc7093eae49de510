// Backup set files: the plain layout byte for byte, the enciphered stored form and its safe replacement, the
// working copy every reader makes, the readers' line rules and the set names.
#include "sets/BackupSetFile.h"
#include "TestSupport.h"
#include "utility/FileCipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>

using namespace testsupport;

namespace {

const BackupSet kWeekly{"Weekly documents",
                        {{"/home/ann/Data/", "1,204", "35,118,302", "*.*", "*.tmp  *.swp  system.dat"},
                         {"/home/ann/Notes/plan.txt", "1", "2,048", "", ""},
                         {"**Total**", "1,205", "35,120,350", "", ""}}};

// ---- stored form ----

TEST(SetFileStore, FailedRenameOrMissingFolderLeaveWhatWasThereAndNoTemporaryFile) {
    TempDir dir;
    // A folder in the way of the set: the rename fails after the temporary file was written and enciphered.
    writeFile(dir.file("Weekly.set/inside.txt"), "keep");
    for (const char* path : {"Weekly.set", "no/such/Weekly.set"}) {
        const Status status = writeSetFile(dir.file(path), kWeekly);
        EXPECT_TRUE(!status.ok() && !status.message().isEmpty()) << path;
        EXPECT_EQ(listTree(dir.path()), QStringList{"Weekly.set/inside.txt"});
    }
    EXPECT_EQ(readFile(dir.file("Weekly.set/inside.txt")), "keep");
}

TEST(SetFileStore, FailedWriteLeavesTheOldSetWhole) {
    TempDir dir;
    const QString path = dir.file("Weekly.set");
    ASSERT_TRUE(writeSetFile(path, kWeekly).ok());
    const QByteArray before = readFile(path);

    // A file size limit makes the write of the (larger) new set fail even for root, as a full disk would.
    BackupSet big{"big", {}};
    for (int i = 0; i < 200; ++i)
        big.rows.append({QString("/data/folder%1/").arg(i), "1", "1", "*.*", "*.tmp"});
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1024;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status status = writeSetFile(path, big);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(!status.ok() && !status.message().isEmpty());
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(listTree(dir.path()), QStringList{"Weekly.set"});
}

// ---- working copy ----

TEST(WorkingCopy, OnlyTheNewestPlainCopyStays) {
    TempDir app, sets;
    ASSERT_TRUE(writeSetFile(sets.file("A.set"), {"first", {{"/a/", "1", "1", "*.*", ""}}}).ok());
    ASSERT_TRUE(writeSetFile(sets.file("B.set"), {"second", {{"/b/", "2", "2", "*.*", ""}}}).ok());
    // Leftovers of earlier readers go too; folders below Work are not the readers' business.
    writeFile(app.file("Work/Temp.txt"), "scratch");
    writeFile(app.file("Work/keep/inner.txt"), "inner");

    ASSERT_TRUE(makeWorkingCopy(sets.file("A.set"), app.path()).ok());
    ASSERT_TRUE(makeWorkingCopy(sets.file("B.set"), app.path() + "/").ok());
    EXPECT_EQ(listTree(app.file("Work")), (QStringList{"Temp.set", "keep/inner.txt"}));
    EXPECT_EQ(readFile(app.file("Work/Temp.set")), QByteArray("*Comment*second\r\n/b/\t2\t2\t*.*\t\r\n"));
}

// ---- readers ----

// Paths that hold the layout's own separators, or end in blanks, come back exactly; ordinary paths keep the
// plain layout.
TEST(SetFileRoundTrip, PathsWithTabsLineBreaksAndTrailingBlanksReadBack) {
    TempDir app, sets;
    BackupSet set{"odd names", {kWeekly.rows[0], kWeekly.rows[1]}};
    set.rows[0].path = "  " + set.rows[0].path; // blanks before a path are dropped, as for every field
    for (const QString path : {"/data/a\tb.txt", "/data/line\nbreak/", "/data/cr\r.txt", "/data/blank ", "/data/two  ",
                               "/data/50%.txt", "/data/%41 stays", "/data/ä ö/", "/data/\t\r\n %/"})
        set.rows.append({path, "1", "1,024", path.endsWith(u'/') ? "*.*" : "", ""});
    ASSERT_TRUE(writeSetFile(sets.file("Odd.set"), set).ok());
    const Result<QString> copy = makeWorkingCopy(sets.file("Odd.set"), app.path());
    ASSERT_TRUE(copy.ok());
    const SetContents contents = readRows(copy.value());
    EXPECT_EQ(std::make_tuple(contents.problems, contents.comments),
              std::make_tuple(QStringList(), QStringList{"odd names"}));
    set.rows[0].path = set.rows[0].path.trimmed();
    EXPECT_EQ(contents.rows, set.rows);
    EXPECT_TRUE(readFile(copy.value()).contains("\r\n/data/\xC3\xA4 \xC3\xB6/\t1\t1,024\t*.*\t\r\n"));
}

// What the writer never leaves is reported, one text per line; rows are still read as the split rule says.
TEST(ReadRows, DamageIsReportedByLine) {
    const std::pair<QByteArray, QStringList> cases[] = {
        {"*Comment*c\r\n/a/\t1\t2\t*.*\t\r\n", {}},
        {"*Comment*c\n/a/\t1\t2\t*.*\t\n", {}}, // lone line feeds are line ends as well
        {"", {"it is empty"}},
        {"*Comment*c\r\n/a/\t1\t2\t*.", {"line 2 is cut short", "line 2 has 4 fields instead of 5"}},
        {"*Comment*c\r\n/a/\t1\t2\t*.*\t", {"line 2 is cut short"}},
        {"/a/\t1\t2\t*.*\t\r\n", {"it does not begin with its comment line"}},
        {"*Comment*c\r\n/a/\t1\t2\t*.*\t\tx\r\n", {"line 2 has 6 fields instead of 5"}},
        {"*Comment*c\r\n\t1\t2\t\t\r\n", {"line 2 has no path"}},
        {"*Comment*c\r\n.\t1\t2\t\t\r\n", {"line 2 holds no full path"}},
        {"*Comment*c\r\n%/a%zz\t1\t2\t\t\r\n", {"line 2 holds a path that cannot be decoded"}},
        {"*Comment*c\r\n%/a%FF\t1\t2\t\t\r\n", {"line 2 holds a path that cannot be decoded"}},
        {"*Comment*c\r\n/a\tone\t2\t\t\r\n", {"line 2 holds counts that are not numbers"}},
    };
    TempDir dir;
    for (const auto& [bytes, problems] : cases) {
        writeFile(dir.file("Temp.set"), bytes);
        EXPECT_EQ(readRows(dir.file("Temp.set")).problems, problems) << bytes.toStdString();
    }
}

// ---- listing ----

TEST(ListSets, EverySetThatCanBeReadSortedByName) {
    TempDir app, sets;
    ASSERT_TRUE(writeSetFile(sets.file("b.set"), {"bee", {}}).ok());
    ASSERT_TRUE(writeSetFile(sets.file("A.set"), {"*COMMENT*weekly", {}}).ok());
    ASSERT_TRUE(writeSetFile(sets.file("C.SET"), {"", {{"/c/", "1", "1", "*.*", ""}}}).ok());
    writeFile(sets.file("junk.set"), randomBytes(300, 3));
    writeFile(sets.file("notes.txt"), "not a set");
    writeFile(sets.file("Weekly.set.bak"), "not a set either");
    // Entries named like sets that cannot be copied are left out.
    ASSERT_TRUE(QDir().mkdir(sets.file("folder.set")));
    ASSERT_TRUE(QFile::link(sets.file("nowhere"), sets.file("dangling.set")));
    ASSERT_TRUE(QFile::link("/proc/self/mem", sets.file("unreadable.set"))); // opens, but reading fails

    const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000);
    QFile b(sets.file("b.set"));
    ASSERT_TRUE(b.open(QIODevice::ReadWrite) && b.setFileTime(when, QFileDevice::FileModificationTime));
    b.close();

    const QVector<SetListing> listed = listSets(sets.path() + "/", app.path());
    QStringList names;
    for (const SetListing& s : listed)
        names << s.name;
    ASSERT_EQ(names, (QStringList{"A.set", "b.set", "C.SET", "junk.set"}));
    // The lists test the marker with case; a cleared comment lists as the marker.
    EXPECT_EQ(QStringList({listed[0].comment, listed[1].comment, listed[2].comment}),
              QStringList({"*COMMENT*weekly", "bee", "*Comment*"}));
    EXPECT_EQ(std::make_tuple(listed[1].modified, listed[2].modified),
              std::make_tuple(when, QFileInfo(sets.file("C.SET")).lastModified()));
    // No plain copy is left behind by a listing.
    EXPECT_TRUE(listTree(app.file("Work")).isEmpty());
}

TEST(ListSets, NothingWhenNoWorkingCopyCanBeMade) {
    TempDir app, sets;
    ASSERT_TRUE(writeSetFile(sets.file("A.set"), kWeekly).ok());
    writeFile(app.file("Work"), "in the way");
    EXPECT_TRUE(listSets(sets.path(), app.path()).isEmpty());
    EXPECT_TRUE(listSets(sets.file("missing/"), app.path()).isEmpty());
}

} // namespace
