// The grids as data: where the summary row sits, what it sums (in 64 bits), and the table model over a grid.
#include "BuildTestSupport.h"
#include "backup/SelectionTableModel.h"

using buildtest::row;

namespace {

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
