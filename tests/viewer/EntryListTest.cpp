#include "viewer/EntryList.h"
#include "zip/ZipPackage.h"

#include "TestSupport.h"

using namespace testsupport;

namespace {

// The rows package of the window tests (kRowsEntries), written once per run.
class EntryListTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_zip = s_dir->file("rows.zip");
        makeZip(s_zip, kRowsEntries);
    }
    static void TearDownTestSuite() { delete s_dir; }

    void SetUp() override {
        ASSERT_EQ(package.zOpenZipFile(s_zip), kZipOk) << package.zGetLastErrorAsText().toStdString();
        list.load(package);
    }
    QStringList column(EntryColumn c) const {
        QStringList out;
        for (const EntryRow& row : list.rows())
            out << (c == EntryColumn::Path ? row.folderPath + row.name : row.text(c));
        return out;
    }

    static TempDir* s_dir;
    static QString s_zip;
    ZipPackage package;
    EntryList list;
};
TempDir* EntryListTest::s_dir = nullptr;
QString EntryListTest::s_zip;

TEST_F(EntryListTest, FolderEntriesHaveNoRowAndColumnsSortByTheirValues) {
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(package.zGetTotalFiles(), 6) << "the count still includes the folder entry";
    list.sortAfterOpening(); // by name, case ignored, stable
    EXPECT_EQ(column(EntryColumn::Path), QStringList({"A.TXT", "b.txt", "docs/b.txt", "docs/c.dat", "noext"}));
    const EntryRow& c = list.row(3);
    EXPECT_EQ(std::tuple(c.sizeText(), c.modifiedText(), c.iconKey(), list.row(4).ratioText()),
              std::tuple(QString("1,000"), QString("2021/06/01  12:00:00"), QString("DAT"), QString("0%")))
        << "noext is an empty entry";

    list.sort(EntryColumn::Size, false);
    EXPECT_EQ(column(EntryColumn::Size), QStringList({"1,000", "10", "10", "9", "0"}));
    list.sort(EntryColumn::Modified, true);
    EXPECT_EQ(column(EntryColumn::Path), QStringList({"docs/b.txt", "A.TXT", "b.txt", "noext", "docs/c.dat"}));
    list.sort(EntryColumn::Zipped, true);
    EXPECT_EQ(list.row(0).name, "noext");
    list.sort(EntryColumn::Icon, true);
    EXPECT_EQ(std::pair(list.row(0).iconKey(), list.row(1).iconKey()), std::pair(QString(), QString("DAT")))
        << "no extension sorts first";
}

TEST_F(EntryListTest, SameNameInTwoFoldersLeadsToEachOwnEntry) {
    const qint64 top = EntryList::findEntry(package, "b.txt", "");
    const qint64 inDocs = EntryList::findEntry(package, "b.txt", "docs/");
    ASSERT_TRUE(top >= 0 && inDocs >= 0 && top != inDocs) << top << " " << inDocs;
    EXPECT_EQ(std::pair(package.entries().at(top).size, package.entries().at(inDocs).size), std::pair(9LL, 10LL));
    EXPECT_EQ(EntryList::findEntry(package, "B.TXT", ""), -1) << "names match exactly";
}

// Names in package order and sorted as file managers do; "a007" and "a7" tie, so package order decides.
TEST(NaturalOrderTest, NamesSortAsAFileManagerSortsThem) {
    constexpr EntryColumn N = EntryColumn::Name;
    const struct {
        QStringList packageOrder;
        EntryColumn column;
        QStringList expected;
    } cases[] = {
        {{"file10.txt", "file2.txt", "file1.txt"}, N, {"file1.txt", "file2.txt", "file10.txt"}},
        {{"10 b", "9 b", "100", "b"}, N, {"9 b", "10 b", "100", "b"}},
        {{"Track 3", "track 20", "TRACK 1"}, N, {"TRACK 1", "Track 3", "track 20"}},
        {{"a007", "a7", "a06", "a0"}, N, {"a0", "a06", "a007", "a7"}},
        {{"v1.10", "v1.9", "v1", "v1.9.1"}, N, {"v1", "v1.9", "v1.9.1", "v1.10"}},
        {{"100000000000000000000", "99999999999999999999"}, N, {"99999999999999999999", "100000000000000000000"}},
        {{"Ö10", "ö9", "a", "Ä2"}, N, {"a", "Ä2", "ö9", "Ö10"}},
        {{"d10/f", "d9/f", "D9/g", "d9a/f"}, EntryColumn::Path, {"d9/f", "D9/g", "d9a/f", "d10/f"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        QString entries = "[";
        for (const QString& name : c.packageOrder)
            entries += "(\"" + name + "\", (2020, 1, 1, 0, 0, 0), 1),";
        makeZip(dir.file("n.zip"), entries + "]");
        ZipPackage package;
        EntryList list;
        ASSERT_EQ(package.zOpenZipFile(dir.file("n.zip")), kZipOk);
        list.load(package);
        list.sort(c.column, true);
        QStringList got;
        for (const EntryRow& row : list.rows())
            got << row.folderPath + row.name;
        EXPECT_EQ(got, c.expected) << c.packageOrder.join(' ').toStdString();
    }
}

} // namespace
