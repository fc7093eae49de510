#include "finding/FileSearch.h"
#include "TestSupport.h"
#include "app/RegSettings.h"
#include "finding/TextFinder.h"
#include "utility/CancelToken.h"

#include <sys/stat.h>

using namespace testsupport;

namespace {

SearchOptions options(std::initializer_list<std::pair<SearchKey, QString>> values, SearchOptions o = {}) {
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

TEST(FileSearchRun, TextWithAndWithoutCaseAcrossBlockBorders) {
    TempDir dir;
    // With 4-byte blocks the match in "split" straddles two borders.
    for (const auto& [name, text] : {std::pair{"exact", "....Needle in a haystack"},
                                     {"upper", "......NEEDLE"},
                                     {"split", "abcdefgnEEdle"},
                                     {"none", "Needl e"},
                                     {"umlaut", "Große ÄPFEL"}})
        writeFile(dir.file(name), text);
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

TEST(FileSearchRun, CancelKeepsWhatWasFoundAndScansNoFurtherDrive) {
    TempDir one, two;
    for (int i = 0; i < 6; ++i) {
        writeFile(one.file(QString("a%1").arg(i)), "x");
        writeFile(two.file(QString("b%1").arg(i)), "x");
    }
    using K = SearchKey;
    FileSearch search(
        options({{K::NameTicked, kYes}, {K::NamePattern, "*"}, {K::Drives, one.path() + "/," + two.path() + "/"}}), {});
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

TEST(FolderScanOptions, OneFileSystemListsAMountPointButDoesNotEnterIt) {
    struct stat dev, pts;
    if (stat("/dev", &dev) != 0 || stat("/dev/pts", &pts) != 0 || dev.st_dev == pts.st_dev)
        GTEST_SKIP() << "/dev/pts is no mount point here";
    CancelToken cancel;
    std::vector<FolderRecord> out;
    FolderScanOptions scanOptions;
    scanOptions.oneFileSystem = true;
    listFolderTree("/dev", out, cancel, scanOptions);
    bool sawPts = false;
    for (const FolderRecord& r : out) {
        sawPts |= r.path == "/dev/pts/";
        EXPECT_FALSE(r.path.startsWith("/dev/pts/") && r.path != "/dev/pts/") << r.path.toStdString();
    }
    EXPECT_TRUE(sawPts);
}

} // namespace
