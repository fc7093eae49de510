// The grids as data: where the summary row sits, what it sums (in 64 bits), and the table model over a grid.
#include "BuildTestSupport.h"
#include "backup/SelectionTableModel.h"

using buildtest::row;

namespace {

TEST(SummaryRow, StaysWhereItWasFirstAddedAndSumsTheOtherRows) {
    SelectionGrid grid(GridKind::Folders);
    grid.appendRow(row("/a/", "1,000", "2,147,483,647"));
    const quint64 b = grid.appendRow(row("/b/", "5", "1"));
    grid.refreshSummary();
    EXPECT_EQ(grid.row(2), row("**Total**", "1,005", "2,147,483,648"));
    EXPECT_TRUE(grid.isSummary(2));

    // Later rows follow the summary row, which keeps its place; unreadable cells count 0.
    grid.appendRow(row("/c/", "3,000,000,000", "9,000,000,000,000"));
    grid.appendRow(row("/odd/", "n/a", ""));
    grid.refreshSummary();
    EXPECT_EQ(grid.summaryIndex(), 2);
    EXPECT_EQ(grid.row(2), row("**Total**", "3,000,001,005", "9,002,147,483,648"));
    EXPECT_EQ(grid.entries().size(), 4);

    grid.removeRow(grid.indexOfId(b));
    grid.clear();
    grid.refreshSummary();
    EXPECT_EQ(grid.allRows(), QVector<SelectionRow>({row("**Total**", "0", "0")}));

    // A summary row in other letters is still the one summary row.
    SelectionGrid set(GridKind::Sets);
    set.appendRow(row("/x", "1", "7"));
    set.appendRow(row("**TOTAL**", "99", "99"));
    set.refreshSummary();
    EXPECT_EQ(set.allRows(), QVector<SelectionRow>({row("/x", "1", "7"), row("**TOTAL**", "1", "7")}));
}

TEST(SelectionTableModel, ShowsTheWizardsColumnsAndMarksTheSummaryRow) {
    SelectionGrid grid(GridKind::Build);
    grid.appendRow(row("/data/", "12", "1,024", "*.*", "*.tmp  *.swp"));
    grid.appendRow(row("/notes/Plan.TXT", "1", "5"));
    grid.refreshSummary();
    SelectionTableModel model(grid);
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 6);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Files/Folders to Zip");
    EXPECT_EQ(model.headerData(4, Qt::Horizontal, SelectionTableModel::ColumnKeyRole).toString(), "zinclude");
    EXPECT_EQ(model.data(model.index(0, 5)).toString(), "*.tmp  *.swp");
    EXPECT_EQ(model.data(model.index(0, 1), SelectionTableModel::EntryTypeRole).toString(), "folder");
    EXPECT_EQ(model.data(model.index(1, 1), SelectionTableModel::EntryTypeRole).toString(), "txt");
    EXPECT_FALSE(model.data(model.index(1, 1), SelectionTableModel::SummaryRole).toBool());
    EXPECT_TRUE(model.data(model.index(2, 1), SelectionTableModel::SummaryRole).toBool());
    EXPECT_EQ(model.data(model.index(2, 2)).toString(), "13");
    EXPECT_TRUE(model.data(model.index(0, 3), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    grid.appendRow(row("/more", "1", "1"));
    model.reload();
    EXPECT_EQ(model.rowCount(), 4);
}

} // namespace
