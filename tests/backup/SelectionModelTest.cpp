// The wizard's selection: folders counted under the patterns, files, backup set rows in two passes, and the
// build grid merged from the four source grids.
#include "backup/SelectionModel.h"
#include "BuildTestSupport.h"

using namespace testsupport;
using buildtest::row;

namespace {

const CancelToken never;

// Data/ has one file of each kind the default patterns decide about: report.txt 100, system.dat 40 and
// sub/deep.doc 200 are taken (340 bytes); notes (no dot anywhere in its path), scratch.tmp, sub/edit.swp are not.
class SelectionModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(program.app().contains(u'.')) << "the fixture needs a temporary path without dots";
        const std::pair<const char*, int> files[] = {{"report.txt", 100}, {"notes", 50},         {"scratch.tmp", 30},
                                                     {"system.dat", 40},  {"sub/deep.doc", 200}, {"sub/edit.swp", 10}};
        for (const auto& [name, size] : files)
            writeFile(data + name, QByteArray(size, 'x'));
    }
    Program program;
    QString data = program.app() + "/Data/";
    SelectionModel model{*program.state};
};

TEST_F(SelectionModelTest, LoadBackupSetMeasuresAgainAndCountsFoldersWithTheirOwnPatterns) {
    const QString setPath = program.app() + "/Sets/Weekly.set";
    ASSERT_TRUE(
        writeSetFile(setPath, {"Weekly docs",
                               {row(data, "999", "999", "*.doc", ""), row(data + "report.txt", "7", "7,777"),
                                row(program.app() + "/Gone/", "1", "1", "*.*", ""), row(data + "gone.txt", "1", "1"),
                                row(data + "sub/", "5", "5", "*.*", "*.doc")}})
            .ok());
    QStringList captions;
    QObject::connect(&model, &SelectionModel::statusCaption, [&](const QString& c) { captions << c; });
    ASSERT_TRUE(model.loadBackupSet(setPath).ok());
    const QVector<SelectionRow> expected{row(data, "1", "200", "*.doc", ""), row(data + "report.txt", "1", "100"),
                                         row(data + "sub/", "1", "10", "*.*", "*.doc"), row("**Total**", "3", "310")};
    EXPECT_EQ(model.sets.allRows(), expected);
    EXPECT_EQ(std::pair(model.setComment, captions),
              std::pair(QString("Weekly docs"), QStringList({"Refreshing folder totals", ""})));
    EXPECT_FALSE(model.loadBackupSet(program.app() + "/Sets/Missing.set").ok());

    // The same with the folder counts run one at a time by the caller, as the wizard does off its thread.
    model.sets.clear();
    ASSERT_TRUE(model.startLoadBackupSet(setPath).ok());
    EXPECT_EQ(model.sets.row(0).files, "0");
    model.refreshBuildGrid(); // the Build Zip tab shown before the counts end: its grid and totals follow them
    while (const std::optional<SelectionModel::SetRowCount> next = model.startNextSetRow())
        model.setRowFinished(countFolder(next->folder, next->patterns, never));
    EXPECT_EQ(std::tuple(model.sets.allRows(), model.build.allRows(), model.selectedFiles, model.selectedBytes),
              std::tuple(expected, expected, qint64(3), qint64(310)));
}

} // namespace
