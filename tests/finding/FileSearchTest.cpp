#include "finding/FileSearch.h"
#include "TestSupport.h"
#include "app/RegSettings.h"
#include "finding/TextFinder.h"
#include "utility/CancelToken.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace testsupport;

namespace {

SearchOptions options(std::initializer_list<std::pair<SearchKey, QString>> values) {
    SearchOptions o;
    for (const auto& [key, value] : values)
        o.setText(key, value);
    return o;
}

const QString kYes = QStringLiteral("-1");

// The files found below root, relative and sorted.
QStringList found(const SearchOptions& o, const QString& root, qsizetype blockSize = 0) {
    SearchOptions withRoot = o;
    withRoot.setText(SearchKey::Drives, root + "/");
    FileSearch search(withRoot, {});
    EXPECT_EQ(search.check(), "");
    if (blockSize) search.setTextBlockSize(blockSize);
    CancelToken cancel;
    QStringList names;
    for (const FolderRecord& row : search.run(cancel).rows)
        names << row.path.mid(root.size() + 1);
    names.sort();
    return names;
}

TEST(FileSearchCheck, NamesTheFirstFailingCriterionInOrder) {
    using K = SearchKey;
    using namespace SearchTexts;
    const std::pair<K, QString> dates[] = {
        {K::DateTicked, kYes}, {K::StartDate, "01/01/1980"}, {K::EndDate, "12/31/2107"}};
    struct Case {
        SearchOptions o;
        QString message;
    };
    const Case cases[] = {
        {options({}), kNoOptions},
        {options({{K::SizeTicked, kYes}, {K::SizeCompare, "at least"}, {K::SizeLimit, ""}}), kNoComparison},
        {options({{K::SizeTicked, kYes}, {K::SizeLimit, ""}, {K::TextTicked, kYes}}), kNoSize},
        {options({{K::TextTicked, kYes}, {K::NameTicked, kYes}, {K::NamePattern, ""}}), kNoText},
        {options({{K::NameTicked, kYes}, {K::NamePattern, ""}, {K::DateTicked, kYes}}), kNoPattern},
        {options({dates[0], {K::StartDate, "12/31/1979"}, {K::EndDate, "13/01/2000"}}), kBadStart},
        {options({dates[0], dates[1], {K::EndDate, "01/01/2108"}}), kBadEnd},
        {options({dates[0], {K::StartDate, "02/02/2020"}, {K::EndDate, "02/01/2020"}}), kEndFirst},
        {options({dates[0], dates[1], dates[2], {K::DateKind, "changed date"}}), kNoDateKind},
        {options({dates[0], dates[1], dates[2], {K::Drives, " "}}), kNoDrives},
        {options({dates[0], dates[1], dates[2], {K::DateKind, "created date"}}), ""},
        {options({{K::SizeTicked, kYes}, {K::SizeCompare, "at most"}, {K::Drives, "/a/,/b/"}}), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileSearch(c.o, {"/"}).check(), c.message) << c.message.toStdString();
}

TEST(FileSearchCheck, DatesFrom1980UpTo2107AreValid) {
    EXPECT_FALSE(CheckDateValid(QDate(1979, 12, 31)));
    EXPECT_TRUE(CheckDateValid(QDate(1980, 1, 1)));
    EXPECT_TRUE(CheckDateValid(QDate(2107, 12, 31)));
    EXPECT_FALSE(CheckDateValid(QDate(2108, 1, 1)));
    EXPECT_FALSE(CheckDateValid(QDate()));
    EXPECT_EQ(readSearchDate("1/2/2020"), QDate(2020, 1, 2));
    EXPECT_FALSE(readSearchDate("2020/01/02").isValid());
    EXPECT_FALSE(readSearchDate("02/30/2020").isValid());
}

TEST(FileSearchRun, SizeLimitsKeepTheBoundary) {
    TempDir dir;
    for (int size : {10239, 10240, 10241})
        writeFile(dir.file(QString::number(size)), QByteArray(size, 'x'));
    using K = SearchKey;
    EXPECT_EQ(found(options({{K::SizeTicked, kYes}, {K::SizeLimit, "10"}}), dir.path()),
              (QStringList{"10240", "10241"}));
    EXPECT_EQ(found(options({{K::SizeTicked, kYes}, {K::SizeCompare, "at most"}, {K::SizeLimit, "10"}}), dir.path()),
              (QStringList{"10239", "10240"}));
}

TEST(FileSearchRun, NameAndDateRangeBothHoldAndDaysAreInclusive) {
    TempDir dir;
    const QDate day(2020, 3, 11);
    writeFile(dir.file("before.txt"), "x", QDateTime(day.addDays(-1), QTime(23, 59, 59)));
    writeFile(dir.file("first.txt"), "x", QDateTime(day, QTime(0, 0)));
    writeFile(dir.file("sub/last.txt"), "x", QDateTime(day, QTime(23, 59, 59)));
    writeFile(dir.file("sub/last.dat"), "x", QDateTime(day, QTime(12, 0)));
    writeFile(dir.file("after.txt"), "x", QDateTime(day.addDays(1), QTime(0, 0)));
    using K = SearchKey;
    EXPECT_EQ(found(options({{K::NameTicked, kYes},
                             {K::NamePattern, "*.TXT"},
                             {K::DateTicked, kYes},
                             {K::StartDate, "03/11/2020"},
                             {K::EndDate, "03/11/2020"}}),
                    dir.path()),
              (QStringList{"first.txt", "sub/last.txt"}));
}

TEST(FileSearchRun, TextWithAndWithoutCaseAcrossBlockBorders) {
    TempDir dir;
    writeFile(dir.file("exact"), "....Needle in a haystack");
    writeFile(dir.file("upper"), "......NEEDLE");
    writeFile(dir.file("split"), "abcdefgnEEdle"); // with 4-byte blocks the match straddles two borders
    writeFile(dir.file("none"), "Needl e");
    writeFile(dir.file("umlaut"), "Große ÄPFEL");
    using K = SearchKey;
    const auto text = [](const QString& t, bool matchCase) {
        return options({{K::TextTicked, kYes}, {K::Text, t}, {K::MatchCase, matchCase ? kYes : "0"}});
    };
    for (qsizetype block : {0, 4, 1}) {
        EXPECT_EQ(found(text("Needle", true), dir.path(), block), (QStringList{"exact"}));
        EXPECT_EQ(found(text("needle", false), dir.path(), block), (QStringList{"exact", "split", "upper"}));
        EXPECT_EQ(found(text("äpfel", false), dir.path(), block), (QStringList{"umlaut"}));
        EXPECT_EQ(found(text("äpfel", true), dir.path(), block), QStringList{});
    }
}

TEST(FileSearchRun, FindsTextAtEverySixteenByteLane) {
    const TextFinder ignoring("aBc", false), exact("aBc", true);
    for (int at = 0; at < 40; ++at) {
        QByteArray data(48, '-');
        data.replace(at, 3, "AbC");
        EXPECT_EQ(ignoring.findIn(data.constData(), data.size()), at);
        EXPECT_EQ(exact.findIn(data.constData(), data.size()), -1);
        data.replace(at, 3, "aBc");
        EXPECT_EQ(exact.findIn(data.constData(), data.size()), at);
    }
}

TEST(FileSearchRun, UnreadableFileIsSkipped) {
    TempDir dir;
    writeFile(dir.file("open.txt"), "secret");
    writeFile(dir.file("closed.txt"), "secret");
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.file("open.txt")).constData(), 0644), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.file("closed.txt")).constData(), 0), 0);
    const QString root = dir.path();
    EXPECT_EQ(runUnprivileged([root] {
                  const QStringList names =
                      found(options({{SearchKey::TextTicked, kYes}, {SearchKey::Text, "secret"}}), root);
                  return names == QStringList{"open.txt"} ? 0 : 1;
              }),
              0);
}

TEST(FileSearchRun, CancelKeepsWhatWasFoundAndScansNoFurtherDrive) {
    TempDir one, two;
    for (int i = 0; i < 6; ++i) {
        writeFile(one.file(QString("a%1").arg(i)), "x");
        writeFile(two.file(QString("b%1").arg(i)), "x");
    }
    SearchOptions o = options({{SearchKey::NameTicked, kYes}, {SearchKey::NamePattern, "*"}});
    o.setText(SearchKey::Drives, one.path() + "/," + two.path() + "/");
    FileSearch search(o, {});
    search.setProgressStep(2);
    CancelToken cancel;
    QStringList roots;
    const SearchResult result = search.run(cancel, [&](qint64 scanned, const QString& root) {
        roots << QString("%1 %2").arg(scanned).arg(root);
        cancel.cancel();
    });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(roots, QStringList{"2 " + one.path() + "/"});
    ASSERT_EQ(result.rows.size(), 2u);
    for (const FolderRecord& row : result.rows)
        EXPECT_TRUE(row.path.startsWith(one.path() + "/a"));
}

TEST(FileSearchRun, ProgressCountsOnAcrossDrives) {
    TempDir one, two;
    for (int i = 0; i < 4; ++i) {
        writeFile(one.file(QString("a%1").arg(i)), "x");
        writeFile(two.file(QString("b%1").arg(i)), "x");
    }
    SearchOptions o = options({{SearchKey::SizeTicked, kYes}});
    o.setText(SearchKey::Drives, one.path() + "," + two.path());
    FileSearch search(o, {});
    search.setProgressStep(3);
    CancelToken cancel;
    QStringList reports;
    const SearchResult result =
        search.run(cancel, [&](qint64 scanned, const QString& root) { reports << QString::number(scanned) + root; });
    EXPECT_EQ(reports, (QStringList{"3" + one.path() + "/", "7" + two.path() + "/"})); // 4 on the first, 3 more
    EXPECT_EQ(result.scanned, 8);
    EXPECT_EQ(result.rows.size(), 8u);
}

TEST(FolderScanOptions, OneFileSystemListsAMountPointButDoesNotEnterIt) {
    struct stat dev, pts;
    if (stat("/dev", &dev) != 0 || stat("/dev/pts", &pts) != 0 || dev.st_dev == pts.st_dev)
        GTEST_SKIP() << "/dev/pts is no mount point here";
    CancelToken cancel;
    FolderScanOptions scanOptions;
    scanOptions.oneFileSystem = true;
    std::vector<FolderRecord> out;
    listFolderTree("/dev", out, cancel, scanOptions);
    bool sawPts = false;
    for (const FolderRecord& r : out) {
        sawPts |= r.path == "/dev/pts/";
        EXPECT_FALSE(r.path.startsWith("/dev/pts/") && r.path != "/dev/pts/") << r.path.toStdString();
    }
    EXPECT_TRUE(sawPts);
}

TEST(SearchOptionsStore, FirstUseDefaultsAndOneWriteThatReadsBack) {
    CRegSettings store("Brindlecot", "VarnholdSearchTest");
    const SearchOptions first = SearchOptions::load(store);
    const QStringList expected{"All", "0", "0", "0", "0", "0", "at lease", "0", "*.*", "", "modified date", "", ""};
    for (int i = 0; i < kSearchKeyCount; ++i)
        EXPECT_EQ(first.text(SearchKey(i)), expected[i]) << OptionKeys::key(SearchKey(i)).toStdString();

    SearchOptions changed = first;
    changed.setTicked(SearchKey::DateTicked, true);
    changed.setText(SearchKey::SizeCompare, "at most");
    changed.setText(SearchKey::StartDate, "01/02/2003");
    changed.setText(SearchKey::Drives, "");
    const int writes = store.writeCount();
    ASSERT_TRUE(changed.store(store));
    EXPECT_EQ(store.writeCount(), writes + 1);
    ASSERT_TRUE(SearchOptions::storeTick(store, SearchKey::MatchCase, true));
    EXPECT_EQ(store.writeCount(), writes + 2);

    CRegSettings again("Brindlecot", "VarnholdSearchTest");
    const SearchOptions loaded = SearchOptions::load(again);
    EXPECT_EQ(again.GetSetting("Settings", "SSOption4"), "-1");
    EXPECT_EQ(again.GetSetting("Settings", "so1"), "at most");
    EXPECT_EQ(again.GetSetting("Settings", "so6"), "01/02/2003");
    EXPECT_EQ(again.GetSetting("Settings", "Drives", "missing"), "");
    EXPECT_TRUE(loaded.ticked(SearchKey::MatchCase));
}

} // namespace
