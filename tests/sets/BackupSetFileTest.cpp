// Backup set files: the plain layout byte for byte, the enciphered stored form and its safe replacement, the
// working copy every reader makes, the readers' line rules and the set names.
#include "sets/BackupSetFile.h"
#include "TestSupport.h"
#include "utility/FileCipher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace testsupport;

namespace {

BackupSet weekly() {
    BackupSet set;
    set.comment = "Weekly documents";
    set.rows = {{"/home/ann/Data/", "1,204", "35,118,302", "*.*", "*.tmp  *.swp  system.dat"},
                {"/home/ann/Notes/plan.txt", "1", "2,048", "", ""},
                {"**Total**", "1,205", "35,120,350", "", ""}};
    return set;
}

const QByteArray kWeeklyPlain = "*Comment*Weekly documents\r\n"
                                "/home/ann/Data/\t1,204\t35,118,302\t*.*\t*.tmp  *.swp  system.dat\r\n"
                                "/home/ann/Notes/plan.txt\t1\t2,048\t\t\r\n";

QByteArray decipher(QByteArray bytes) {
    cipherBytes(bytes, kSetCipherKey);
    return bytes;
}

// ---- plain layout ----

// A comment line, then one line per row: fields trimmed, empty ones keeping their tabs, no summary row in any
// letters, UTF-8 text, and the comment's line breaks turned into blanks. The marker is never doubled.
TEST(SetFileLayout, CommentLineThenOneLinePerRow) {
    const std::pair<BackupSet, QByteArray> cases[] = {
        {weekly(), kWeeklyPlain},
        {{"c",
          {{"  /srv/a b/", " 12 ", " 3,000 ", "  *.* ", " "}, {"/x", "", "", "", ""}, {"**TOTAL**", "9", "9", "", ""}}},
         "*Comment*c\r\n/srv/a b/\t12\t3,000\t*.*\t\r\n/x\t\t\t\t\r\n"},
        // Paths the layout cannot carry as they are: "%" and the path with TAB, CR, LF, "%" and trailing blanks
        // percent-encoded. Blanks inside a path and any other character stay as they are.
        {{"c",
          {{"/a\tb/", "1", "2", "*.*", ""},
           {"/x/line\r\nbreak.txt", "1", "2", "", ""},
           {"/x/100% sure  ", "1", "2", "", ""},
           {"/x/ends in/ ", "1", "2", "", ""}}},
         "*Comment*c\r\n%/a%09b/\t1\t2\t*.*\t\r\n%/x/line%0D%0Abreak.txt\t1\t2\t\t\r\n"
         "%/x/100%25 sure%20%20\t1\t2\t\t\r\n%/x/ends in/%20\t1\t2\t\t\r\n"},
        {{"Bücher\r\nund\nmehr", {{"/home/ann/Bücher/", "1", "1", "*.*", ""}}},
         "*Comment*B\xC3\xBC"
         "cher und mehr\r\n/home/ann/B\xC3\xBC"
         "cher/\t1\t1\t*.*\t\r\n"},
        {{"*COMMENT*weekly", {}}, "*COMMENT*weekly\r\n"},
        {{"*Comment*", {}}, "*Comment*\r\n"},
        {{"", {}}, "*Comment*\r\n"},
        {{"*Comment", {}}, "*Comment**Comment\r\n"},
        {{" *Comment*x", {}}, "*Comment* *Comment*x\r\n"}, // the marker has to start the text
    };
    for (const auto& [set, bytes] : cases)
        EXPECT_EQ(formatSetFile(set), bytes) << set.comment.toStdString();
}

// ---- stored form ----

TEST(SetFileStore, StoredBytesAreEncipheredAndDecipherToThePlainForm) {
    TempDir dir;
    const QString path = dir.file("Weekly.set");
    ASSERT_TRUE(writeSetFile(path, weekly()).ok());
    const QByteArray stored = readFile(path);
    EXPECT_EQ(stored.size(), kWeeklyPlain.size());
    EXPECT_FALSE(stored.contains("Comment") || stored.contains("/home/ann"));
    EXPECT_EQ(decipher(stored), kWeeklyPlain);
    // Writing again replaces the set.
    ASSERT_TRUE(writeSetFile(path, {"second", {{"/b/", "2", "20", "*.*", ""}}}).ok());
    EXPECT_EQ(decipher(readFile(path)), QByteArray("*Comment*second\r\n/b/\t2\t20\t*.*\t\r\n"));
    EXPECT_EQ(listTree(dir.path()), QStringList{"Weekly.set"});
}

TEST(SetFileStore, FailedRenameOrMissingFolderLeaveWhatWasThereAndNoTemporaryFile) {
    TempDir dir;
    // A folder in the way of the set: the rename fails after the temporary file was written and enciphered.
    writeFile(dir.file("Weekly.set/inside.txt"), "keep");
    const Status status = writeSetFile(dir.file("Weekly.set"), weekly());
    EXPECT_TRUE(!status.ok() && !status.message().isEmpty());
    EXPECT_EQ(listTree(dir.path()), QStringList{"Weekly.set/inside.txt"});
    EXPECT_EQ(readFile(dir.file("Weekly.set/inside.txt")), "keep");
    const Status missing = writeSetFile(dir.file("no/such/Weekly.set"), weekly());
    EXPECT_TRUE(!missing.ok() && !missing.message().isEmpty());
    EXPECT_EQ(listTree(dir.path()), QStringList{"Weekly.set/inside.txt"});
}

TEST(SetFileStore, FailedWriteLeavesTheOldSetWhole) {
    TempDir dir;
    const QString path = dir.file("Weekly.set");
    ASSERT_TRUE(writeSetFile(path, weekly()).ok());
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

TEST(WorkingCopy, PlainCopyInWorkAndTheStoredSetUntouched) {
    TempDir app, sets;
    const QString setPath = sets.file("Weekly.set");
    ASSERT_TRUE(writeSetFile(setPath, weekly()).ok());
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile f(setPath);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const QByteArray stored = readFile(setPath);

    const Result<QString> copy = makeWorkingCopy(setPath, app.path());
    ASSERT_TRUE(copy.ok()) << copy.message().toStdString();
    EXPECT_EQ(copy.value(), app.path() + "/Work/Temp.set");
    EXPECT_EQ(readFile(copy.value()), kWeeklyPlain);
    EXPECT_EQ(readFile(setPath), stored);
    EXPECT_EQ(QFileInfo(setPath).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
}

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

TEST(WorkingCopy, FailuresGiveTheSystemsTextAndLeaveNoPlainCopy) {
    TempDir app, sets;
    ASSERT_TRUE(writeSetFile(sets.file("A.set"), weekly()).ok());
    ASSERT_TRUE(makeWorkingCopy(sets.file("A.set"), app.path()).ok());

    const Result<QString> missing = makeWorkingCopy(sets.file("gone.set"), app.path());
    EXPECT_TRUE(!missing.ok() && missing.message().contains("No such file")) << missing.message().toStdString();
    // The previous set's plain copy went anyway: the work folder is emptied first.
    EXPECT_TRUE(listTree(app.file("Work")).isEmpty());

    TempDir blocked;
    writeFile(blocked.file("Work"), "a file where the folder should be");
    const Result<QString> noFolder = makeWorkingCopy(sets.file("A.set"), blocked.path());
    EXPECT_TRUE(!noFolder.ok() && !noFolder.message().isEmpty());
    EXPECT_EQ(readFile(blocked.file("Work")), "a file where the folder should be");
}

// ---- readers ----

TEST(ReadComment, MarkerRules) {
    const std::pair<QByteArray, QString> cases[] = {
        {"*Comment*Weekly documents\r\n/a/\t1\t1\t*.*\t\r\n", "Weekly documents"},
        {"*Comment*\r\n/a/\t1\t1\t*.*\t\r\n", "*Comment*"}, // the marker alone is the comment
        {"*COMMENT*weekly\r\n", "*COMMENT*weekly"},         // case matters here
        {"/a/\t1\t1\t*.*\t\r\n", "/a/\t1\t1\t*.*\t"},       // no comment line: the first row shows
        // clang-format off
        {"*Comment*unix\nsecond\n", "unix"}, {"*Comment*no line end", "no line end"},
        {"*Comment*old mac\rsecond\r", "old mac"},
        {"", ""}};
    // clang-format on
    TempDir dir;
    for (const auto& [file, comment] : cases) {
        writeFile(dir.file("Temp.set"), file);
        EXPECT_EQ(readComment(dir.file("Temp.set")), comment) << file.toStdString();
    }
    EXPECT_EQ(readComment(dir.file("missing.set")), "");
}

TEST(ReadRows, CommentLinesAnywhereAndRowsInOrder) {
    TempDir dir;
    writeFile(dir.file("Temp.set"), "*COMMENT*weekly\r\n"
                                    "/a/\t1,204\t35,118,302\t*.*\t*.tmp  *.swp\r\n"
                                    "*comment*second\r\n"
                                    "*Comment*\r\n"
                                    "*Comment\r\n"
                                    "\r\n"
                                    "/b/plan.txt\t1\t2,048\t\t\r\n");
    const SetContents contents = readRows(dir.file("Temp.set"));
    EXPECT_EQ(contents.comments, (QStringList{"weekly", "second", "*Comment*"}));
    const QVector<SelectionRow> expected = {{"/a/", "1,204", "35,118,302", "*.*", "*.tmp  *.swp"},
                                            {"", "", "", "", "*Comment"}, // eight characters are no marker
                                            {"", "", "", "", ""}, // an empty line in the middle is a row like any other
                                            {"/b/plan.txt", "1", "2,048", "", ""}};
    EXPECT_EQ(contents.rows, expected);
    EXPECT_TRUE(contents.rows[0].isFolder());
    EXPECT_FALSE(contents.rows[3].isFolder());
    // Read all the same, but not as the writer leaves a set: the rows without a path are reported.
    EXPECT_EQ(contents.problems, (QStringList{"line 5 has 1 fields instead of 5", "line 6 has 1 fields instead of 5"}));

    const SetContents missing = readRows(dir.file("missing.set"));
    EXPECT_TRUE(missing.comments.isEmpty() && missing.rows.isEmpty());
}

TEST(SplitRowLine, FieldsAtTabs) {
    const std::pair<QString, SelectionRow> cases[] = {
        {"a\tb\tc\td\te", {"a", "b", "c", "d", "e"}},
        {"a\tb\tc\td", {"a", "b", "c", "", "d"}},        // three TABs: field 4 empty, d is field 5
        {"a\tb\tc\td\te\tf", {"a", "b", "c", "d", "e"}}, // text after a fifth TAB is dropped
        // clang-format off
        {"just text", {"", "", "", "", "just text"}}, {"", {"", "", "", "", ""}},
        {"  /a b/ \t 1 \t 2 \t *.* \t *.tmp  *.swp ", {"/a b/", "1", "2", "*.*", "*.tmp  *.swp"}},
        {"/x/\t\t\t\t*.tmp", {"/x/", "", "", "", "*.tmp"}}};
    // clang-format on
    for (const auto& [line, row] : cases)
        EXPECT_EQ(splitRowLine(line), row) << line.toStdString();
}

// Paths that hold the layout's own separators, or end in blanks, come back exactly; ordinary paths keep the
// plain layout.
TEST(SetFileRoundTrip, PathsWithTabsLineBreaksAndTrailingBlanksReadBack) {
    TempDir app, sets;
    BackupSet set{"odd names", {weekly().rows[0], weekly().rows[1]}};
    set.rows[0].path = "  " + set.rows[0].path; // blanks before a path are dropped, as for every field
    for (const QString path : {"/data/a\tb.txt", "/data/line\nbreak/", "/data/cr\r.txt", "/data/blank ", "/data/two  ",
                               "/data/50%.txt", "/data/%41 stays", "/data/ä ö/", "/data/\t\r\n %/"})
        set.rows.append({path, "1", "1,024", path.endsWith(u'/') ? "*.*" : "", ""});
    ASSERT_TRUE(writeSetFile(sets.file("Odd.set"), set).ok());
    const Result<QString> copy = makeWorkingCopy(sets.file("Odd.set"), app.path());
    ASSERT_TRUE(copy.ok());
    const SetContents contents = readRows(copy.value());
    EXPECT_EQ(contents.problems, QStringList());
    EXPECT_EQ(contents.comments, QStringList{"odd names"});
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

TEST(SetFileRoundTrip, RandomBytesAreReportedAsDamaged) {
    // A stored file that is not a set deciphers into nonsense; the readers take it line by line all the same, and
    // report it.
    TempDir app, sets;
    for (int seed = 1; seed <= 20; ++seed) {
        const QByteArray garbage = randomBytes(1 + seed * 397, seed);
        writeFile(sets.file("junk.set"), garbage);
        const Result<QString> copy = makeWorkingCopy(sets.file("junk.set"), app.path());
        ASSERT_TRUE(copy.ok());
        EXPECT_EQ(readFile(copy.value()), decipher(garbage));
        const QString comment = readComment(copy.value());
        EXPECT_FALSE(comment.contains(u'\n') || comment.contains(u'\r'));
        const SetContents contents = readRows(copy.value());
        int lineEnds = 0;
        const QByteArray plain = decipher(garbage);
        for (qsizetype i = 0; i < plain.size(); ++i)
            if (plain[i] == '\n' || (plain[i] == '\r' && (i + 1 == plain.size() || plain[i + 1] != '\n'))) ++lineEnds;
        const bool lastLineOpen = !plain.endsWith('\n') && !plain.endsWith('\r');
        EXPECT_EQ(contents.rows.size() + contents.comments.size(), lineEnds + (lastLineOpen ? 1 : 0)) << seed;
        for (const SelectionRow& row : contents.rows)
            for (const QString& field : {row.path, row.files, row.size, row.include, row.exclude})
                EXPECT_FALSE(field.contains(u'\t') || field.contains(u'\n') || field.contains(u'\r')) << seed;
        EXPECT_FALSE(contents.problems.isEmpty()) << seed;
    }
}

// ---- names ----

TEST(SetNames, SetFileNameAddsTheExtensionWhenMissing) {
    const std::pair<QString, QString> cases[] = {
        {"Weekly", "Weekly.set"}, {"Weekly.SET", "Weekly.SET"}, {"Weekly.txt", "Weekly.txt.set"}, {"set", "set.set"}};
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(setFileName(name), expected) << name.toStdString();
}

TEST(SetNames, OfferedNameFollowsTheZipPackage) {
    const std::pair<QString, QString> cases[] = {{"Backup.ZIP", "Backup.set"},
                                                 {"/home/ann/Zips/Photos 2023.zip", "Photos 2023.set"},
                                                 {"my.old.zip", "my.old.set"},
                                                 {"Backup.zip.bak", "Dummy.set"},
                                                 {"", "Dummy.set"}};
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(offeredSetName(name), expected) << name.toStdString();
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
    {
        QFile f(sets.file("b.set"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
    }

    const QVector<SetListing> listed = listSets(sets.path() + "/", app.path());
    QStringList names;
    for (const SetListing& s : listed)
        names << s.name;
    EXPECT_EQ(names, (QStringList{"A.set", "b.set", "C.SET", "junk.set"}));
    ASSERT_EQ(listed.size(), 4);
    EXPECT_EQ(listed[0].comment, "*COMMENT*weekly"); // the lists test the marker with case
    EXPECT_EQ(listed[1].comment, "bee");
    EXPECT_EQ(listed[1].modified, when);
    EXPECT_EQ(listed[2].comment, "*Comment*"); // a cleared comment
    EXPECT_EQ(listed[2].modified, QFileInfo(sets.file("C.SET")).lastModified());
    // No plain copy is left behind by a listing.
    EXPECT_TRUE(listTree(app.file("Work")).isEmpty());
}

TEST(ListSets, NothingWhenNoWorkingCopyCanBeMade) {
    TempDir app, sets;
    ASSERT_TRUE(writeSetFile(sets.file("A.set"), weekly()).ok());
    writeFile(app.file("Work"), "in the way");
    EXPECT_TRUE(listSets(sets.path(), app.path()).isEmpty());
    EXPECT_TRUE(listSets(sets.file("missing/"), app.path()).isEmpty());
}

} // namespace
