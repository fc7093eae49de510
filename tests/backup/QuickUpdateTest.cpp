// The quick update: the set found by the package's name, its rows as the dialog shows them, what Freshen and
// Update hand over and do, locked files, and a cancel that leaves the package as it was.
#include "backup/QuickUpdate.h"
#include "BuildTestSupport.h"
#include "sets/SetSaving.h"
#include "utility/LockTest.h"

#include <QDir>

using namespace testsupport;

namespace {

const CancelToken never;
const QDateTime kOld(QDate(2020, 1, 1), QTime(10, 0, 0));
const QDateTime kNew(QDate(2024, 6, 1), QTime(12, 0, 0));

// Backup.zip holds Data/a.doc as it was; since then a.doc changed, and Data/ and Extra/ hold more. The set has the
// folder Data/ (*.doc but not *.bak) and the file Extra/f.txt.
class QuickUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(data + "a.doc", "old a", kOld);
        BuildParams first = BuildParams::fromState(*program.state, BuildMode::Build);
        first.targetFolder = zips;
        first.targetFileName = "Backup.zip";
        first.list = {{data + "a.doc", "", ""}};
        ASSERT_TRUE(BuildJob(first).run(never).ok());
        writeFile(data + "a.doc", "new a", kNew);
        writeFile(data + "sub/c.doc", "c", kNew);
        writeFile(data + "b.doc.bak", "b", kNew);
        writeFile(data + "t.txt", "t", kNew);
        writeFile(program.app() + "/Extra/f.txt", "f", kNew);
        set.rows = {{data, "3", "7", "*.doc", "*.bak"}, {program.app() + "/Extra/f.txt", "1", "1", "", ""}};
        ASSERT_TRUE(writeSetFile(setsFolderOf(*program.state) + "Backup.set", set).ok());
    }
    QuickUpdateParams params(UpdateCode code) const {
        QuickUpdateParams p = QuickUpdateParams::fromState(*program.state);
        p.packagePath = target;
        p.rows = set.rows;
        p.code = code;
        return p;
    }
    QString stored(const QString& path) const { return path.mid(1); }

    Program program;
    QString data = program.app() + "/Data/";
    QString zips = program.app() + "/Zips/";
    QString target = zips + "Backup.zip";
    BackupSet set;
};

TEST_F(QuickUpdateTest, FindsTheSetByThePackagesNameAndShowsItsLivingRows) {
    const QString sets = setsFolderOf(*program.state);
    writeFile(sets + "Other.set", "");
    QFile::remove(program.app() + "/Extra/f.txt");
    EXPECT_EQ(findQuickSet(sets, program.app() + "/Elsewhere/BACKUP.ZIP"), sets + "Backup.set");
    EXPECT_EQ(findQuickSet(sets, target + ".old"), QString());
    EXPECT_EQ(QuickTexts::setNotFound(quickSetName("Weekly.ZIP")), "( Weekly.set ) Backup set not found.");

    const Result<QuickSet> read = readQuickSet(sets + "Backup.set", program.app());
    ASSERT_TRUE(read.ok()) << qPrintable(read.message());
    EXPECT_EQ(read->rows, QVector<SelectionRow>({set.rows[0]})) << "the row of a deleted file is dropped";
    EXPECT_EQ(QDir(program.app() + "/Work").entryList(QDir::Files), QStringList()) << "no plain copy stays";
}

struct CodeCase {
    const char* name;
    UpdateCode code;
    QStringList entries; ///< below Data/, and Extra/f.txt as "f.txt"
    qint64 written;
};
void PrintTo(const CodeCase& c, std::ostream* os) {
    *os << c.name;
}

class QuickUpdateCodes : public QuickUpdateTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(QuickUpdateCodes, HandOnlyWhatThePatternsTake) {
    const CodeCase& c = GetParam();
    const BuildResult r = QuickUpdate(params(c.code)).run(never);
    ASSERT_TRUE(r.ok()) << qPrintable(r.message);
    QStringList expected;
    for (const QString& e : c.entries)
        expected << (e == "f.txt" ? stored(program.app() + "/Extra/f.txt") : stored(data + e));
    expected.sort();
    EXPECT_EQ(storedNames(target), expected);
    EXPECT_EQ(runTool("unzip", {"-p", target, stored(data + "a.doc")}).out, "new a");
    EXPECT_EQ(std::tuple(r.entriesWritten, r.selectedFiles, r.locked), std::tuple(c.written, 4LL, 0LL));
    buildtest::expectPeersAccept(target);
}

const CodeCase kCodes[] = {
    {"Freshen", UpdateCode::Freshen, {"a.doc"}, 1},
    {"Update", UpdateCode::Update, {"a.doc", "sub/c.doc", "f.txt"}, 3},
};
INSTANTIATE_TEST_SUITE_P(Codes, QuickUpdateCodes, ::testing::ValuesIn(kCodes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuickUpdateTest, ALockedFileIsCountedListedAndLeftOut) {
    if (!haveTool("flock")) GTEST_SKIP() << "flock is not installed";
    LockHolder holder(data + "sub/c.doc");
    ASSERT_TRUE(eventually([&] { return isFileLocked(data + "sub/c.doc"); }));
    const BuildResult r = QuickUpdate(params(UpdateCode::Update)).run(never);
    ASSERT_TRUE(r.ok()) << qPrintable(r.message);
    EXPECT_EQ(std::tuple(r.locked, r.lockedLine), std::tuple(1LL, QString("Number of locked files bypassed = 1")));
    EXPECT_EQ(readFile(zips + "Locked.Txt"), (data + "sub/c.doc\n").toUtf8());
    EXPECT_FALSE(storedNames(target).contains(stored(data + "sub/c.doc")));
}

TEST_F(QuickUpdateTest, CancelDuringTheScanLeavesThePackageByteForByte) {
    for (int i = 0; i < 450; ++i)
        writeFile(QString("%1many/f%2.doc").arg(data).arg(i), "x", kNew);
    const QByteArray old = readFile(target);
    CancelToken cancel;
    BuildCallbacks callbacks;
    callbacks.scanning = [&](qint64) { cancel.cancel(); };
    const BuildResult r = QuickUpdate(params(UpdateCode::Update), callbacks).run(cancel);
    EXPECT_EQ(r.outcome, BuildOutcome::Cancelled);
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(QDir(zips).entryList(QDir::Files | QDir::Hidden), QStringList({"Backup.zip", "Locked.Txt"}));
}

} // namespace
