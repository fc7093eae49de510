// What the wizard decides without its window: the ticked folders counted in the order they were ticked whatever
// is unticked meanwhile, the folder tree read lazily without following links, the mode's captions and placements,
// and the sort of a grid.
#include "BuildTestSupport.h"
#include "backup/FolderTicks.h"
#include "backup/FolderTreeModel.h"
#include "backup/SelectionTableModel.h"
#include "backup/WizardForm.h"

#include <QFile>

using namespace testsupport;
using buildtest::row;

namespace {

const CancelToken never;
const QString kExcludes = "*.tmp  *.swp  system.dat";

class FolderTicksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"A/one.txt", "B/two.txt", "C/three.txt"})
            writeFile(data + name, "12345");
    }
    // Runs the count the window would run off its thread, and reports its end.
    bool finishRunning() { return ticks.finished(countFolder(running, model.patterns, never), false); }
    bool start() {
        const auto next = ticks.startNext();
        running = next ? next->folder : QString();
        return next.has_value();
    }

    Program program;
    QString data = program.app() + "/Data/";
    SelectionModel model{*program.state};
    FolderTicks ticks{model};
    QString running;
};

TEST_F(FolderTicksTest, RowsComeInTheOrderOfTheTicksAndAnUntickTakesBackOnlyItsFolder) {
    ASSERT_TRUE(ticks.tick(data + "A"));
    ASSERT_TRUE(start());
    // Ticked while A is counted: they wait, in order; no second count starts.
    ASSERT_TRUE(ticks.tick(data + "B") && ticks.tick(data + "C"));
    EXPECT_FALSE(ticks.startNext());
    EXPECT_FALSE(ticks.untick(data + "B")) << "a waiting count is dropped, nothing to cancel";
    // Until their rows come, the folders still to be counted show as rows that read "counting…".
    EXPECT_EQ(ticks.pending(), QStringList({data + "A/", data + "C/"}));
    SelectionTableModel shown(model.folders);
    shown.setPending(ticks.pending());
    ASSERT_EQ(shown.rowCount(), 2);
    EXPECT_EQ(shown.index(1, 1).data().toString(), data + "C/");
    EXPECT_EQ(shown.index(1, 2).data().toString(), kCountingText);
    EXPECT_TRUE(finishRunning());
    EXPECT_EQ(ticks.pending(), QStringList({data + "C/"}));
    ASSERT_TRUE(start());
    EXPECT_EQ(running, data + "C/");
    EXPECT_TRUE(finishRunning() && !ticks.busy());
    EXPECT_EQ(model.folders.allRows(),
              QVector<SelectionRow>({row(data + "A/", "1", "5", "*.*", kExcludes), row("**Total**", "2", "10"),
                                     row(data + "C/", "1", "5", "*.*", kExcludes)}));

    // Unticking a counted folder removes its row; the total stays, with the new sums.
    EXPECT_FALSE(ticks.untick(data + "A"));
    EXPECT_EQ(model.folders.allRows(),
              QVector<SelectionRow>({row("**Total**", "1", "5"), row(data + "C/", "1", "5", "*.*", kExcludes)}));
}

TEST_F(FolderTicksTest, UntickingOrClearingTheFolderBeingCountedAddsNoRow) {
    ticks.tick(data + "A");
    ASSERT_TRUE(start());
    EXPECT_TRUE(ticks.untick(data + "A")) << "the running count is the caller's to cancel";
    EXPECT_FALSE(finishRunning());
    EXPECT_EQ(model.folders.rowCount(), 0);

    ticks.tick(data + "B");
    ticks.tick(data + "C");
    ASSERT_TRUE(start());
    EXPECT_TRUE(ticks.clear());
    EXPECT_FALSE(finishRunning());
    EXPECT_FALSE(ticks.busy()) << "the waiting tick went with the clear";
    EXPECT_EQ(model.folders.rowCount(), 0);

    EXPECT_FALSE(ticks.tick(data + "missing")) << "a folder that is not there is not queued";
    EXPECT_FALSE(ticks.busy());
}

TEST(FolderTreeModelTest, FoldersAreReadWhenOpenedWithoutLinksAndTicksAreReported) {
    TempDir dir;
    const QString root = dir.path() + "/Home/";
    for (const char* file : {"b/file.txt", "A/deep/file.txt", ".hidden/file.txt", "plain.txt"})
        writeFile(root + file, "x");
    ASSERT_TRUE(QFile::link(root + "A", root + "linkToA"));

    FolderTreeModel model({root});
    const QModelIndex desktop = model.index(0, 0);
    EXPECT_EQ(std::pair(model.data(desktop).toString(), bool(model.flags(desktop) & Qt::ItemIsUserCheckable)),
              std::pair(QString("Desktop"), false));
    ASSERT_EQ(model.rowCount(desktop), 1);
    const QModelIndex home = model.index(0, 0, desktop);
    EXPECT_EQ(model.pathOf(home), root);
    EXPECT_EQ(model.rowCount(home), 0) << "nothing is read before the folder is opened";
    ASSERT_TRUE(model.canFetchMore(home));
    model.fetchMore(home);
    QStringList names;
    for (int i = 0; i < model.rowCount(home); ++i)
        names << model.data(model.index(i, 0, home)).toString();
    EXPECT_EQ(names, QStringList({".hidden", "A", "b"})) << "folders only, sorted ignoring case, no link";

    const QModelIndex deep = model.indexOf(root + "A/deep");
    ASSERT_TRUE(deep.isValid());
    EXPECT_EQ(model.pathOf(deep), root + "A/deep/");
    EXPECT_FALSE(model.indexOf(root + "linkToA/deep").isValid());

    QList<QVariantList> ticks;
    QObject::connect(&model, &FolderTreeModel::tickChanged, [&](const QString& folder, bool ticked) {
        ticks.append({folder, ticked});
    });
    EXPECT_TRUE(model.setData(deep, Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.setData(model.indexOf(root + "b"), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.setData(deep, Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(ticks, QList<QVariantList>({{root + "A/deep/", true}, {root + "b/", true}, {root + "A/deep/", false}}));
    EXPECT_EQ(model.tickedFolders(), QStringList({root + "b/"}));
    model.clearTicks();
    EXPECT_TRUE(model.tickedFolders().isEmpty());
    EXPECT_EQ(ticks.size(), 3) << "clearing reports nothing";
}

TEST(WizardFormTest, ModesDifferInTheirLastTabHelpAndGridPlacement) {
    EXPECT_EQ(WizardForm::tabCaptions(BuildMode::Build).join(u'|'),
              "Select Folders|Select Files|Select Sets|Search|Build Zip");
    EXPECT_EQ(WizardForm::tabCaptions(BuildMode::Update).last(), "Update Zip");
    EXPECT_EQ(std::pair(WizardForm::helpContext(BuildMode::Build), WizardForm::helpContext(BuildMode::Update)),
              std::pair(143, 142));
    EXPECT_EQ(std::tuple(WizardForm::pixels(WizardForm::buildGridPlacement(BuildMode::Build).topTwips),
                         WizardForm::pixels(WizardForm::buildGridPlacement(BuildMode::Update).heightTwips),
                         WizardForm::pixels(WizardForm::kWidthTwips)),
              std::tuple(58, 260, 569));
    EXPECT_EQ(std::pair(WizardForm::targetFolderText("/home/ann/Zips"), WizardForm::targetFolderText("/")),
              std::pair(QString("/home/ann/Zips/"), QString("/")));
}

TEST(SelectionGridSortTest, NumbersSortByValueAndTheSummaryStaysLast) {
    SelectionGrid grid(GridKind::Files);
    grid.appendRow(row("/b.txt", "1", "1,000"));
    grid.appendRow(row("/A.txt", "1", "20"));
    grid.refreshSummary();
    grid.appendRow(row("/c.txt", "1", "300"));
    grid.sortBy(GridField::Size, true);
    EXPECT_EQ(std::tuple(grid.row(0).path, grid.row(2).path, grid.isSummary(3)),
              std::tuple(QString("/A.txt"), QString("/b.txt"), true));
    grid.sortBy(GridField::Path, false);
    EXPECT_EQ(std::tuple(grid.row(0).path, grid.row(2).path, grid.isSummary(3)),
              std::tuple(QString("/c.txt"), QString("/A.txt"), true))
        << "case is ignored";
}

} // namespace
