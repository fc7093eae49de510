// The find dialog offscreen over a temporary tree given as its drive, and the main window's Find button.
#include "finding/ui/PackageTableModel.h"
#include "finding/ui/fFind.h"
#include "sets/BackupSetFile.h"
#include "utility/FileCipher.h"
#include "utility/TextUtil.h"

#include "DialogTestUtil.h"
#include "FindTestUtil.h"
#include "ProgramFixture.h"
#include "shell/MainTestUtil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTextDocument>

using namespace testsupport;

namespace {

class FindDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString old = elsewhere.file("old.zip"), gone = elsewhere.file("vanished.zip");
        findtest::makePackages({{tree.file("b.zip"), {"docs/ReadMe.txt"}},
                                {tree.file("sub/A.ZIP"), {"notes.txt", "more.txt", "and more.txt"}},
                                {old, {"x"}}});
        writeFile(gone, "v");
        ASSERT_TRUE(PackageIndex::save(program.app(), {{old, 0}, {gone, 1}}).ok());
        QFile::remove(gone);
        dialog = std::make_unique<fFind>(*program.state, nullptr, QStringList{tree.path() + "/"});
    }
    template <class T = QPushButton> T* control(const char* name) const { return child<T>(*dialog, name); }
    QStringList paths() const {
        QStringList out;
        for (const PackageRow& row : dialog->model().rows())
            out << row.path;
        return out;
    }
    void findAndWait() {
        QSignalSpy finished(dialog.get(), &fFind::findFinished);
        control("btnFind")->click();
        ASSERT_TRUE(finished.wait(30000));
    }

    Program program;
    TempDir tree, elsewhere;
    std::unique_ptr<fFind> dialog;
};

TEST_F(FindDialog, LoadsTheIndexFindsSortsOpensAndWritesTheIndexAtClose) {
    dialogtest::expectTexts(*dialog, {{"lblTitle", "Find Zip Packages"},
                                      {"SSOption6", "Search for file name in zip package:"},
                                      {"btnFind", "  &Find", "Find the zip packages on the selected drives"},
                                      {"btnOpen", "  &Open", "Open the zip package"},
                                      {"btnClear", "  C&lear", "Clear zip packages"},
                                      {"btnHelp", "  &Help", "Find zip packages help contents"},
                                      {"btnExit", " &Cancel", "Cancel"}});
    auto* grid = control<QTableView>("vbalGrid1");
    auto* drives = control<QListWidget>("List1");
    auto* pattern = control<QLineEdit>("txtFindFPZipFiles");
    // Of the index's packages only those that still exist; "All" selects every drive on the first run.
    EXPECT_EQ(std::make_tuple(dialog->windowTitle(), grid->model()->headerData(1, Qt::Horizontal).toString(),
                              grid->model()->headerData(2, Qt::Horizontal).toString(), paths(), drives->count(),
                              drives->item(0)->isSelected(), pattern->text()),
              std::make_tuple(QString("Varnhold"), QString("File Name"), QString("Size(Bytes)"),
                              QStringList{elsewhere.file("old.zip")}, 1, true, QString("*.*")));

    findAndWait();
    EXPECT_EQ(std::make_tuple(paths(), dialog->statusText(), program.stored("DrivesF")),
              std::make_tuple(QStringList({tree.file("b.zip"), tree.file("sub/A.ZIP")}),
                              QString("Find zip packages completed"), tree.path() + "/"));

    // The size column: ascending first, a second click reverses; the grid shows the sizes grouped.
    grid->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(paths(), QStringList({tree.file("b.zip"), tree.file("sub/A.ZIP")}));
    grid->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(std::make_tuple(paths(), grid->model()->index(0, 2).data().toString()),
              std::make_tuple(QStringList({tree.file("sub/A.ZIP"), tree.file("b.zip")}),
                              TextUtil::formatGrouped(QFileInfo(tree.file("sub/A.ZIP")).size())));

    // The search inside packages needs a real pattern, and every find needs a drive; the check answers at once.
    control<QCheckBox>("SSOption6")->setChecked(true);
    control("btnFind")->click();
    EXPECT_EQ(dialog->statusText(), "Please enter file name pattern, example: 'read*.txt'");
    drives->item(0)->setSelected(false);
    control("btnFind")->click();
    EXPECT_EQ(std::make_tuple(dialog->statusText(), program.stored("DrivesF")),
              std::make_tuple(QString("Please select hard drive(s)."), QString()))
        << "an empty selection is stored as an empty text";
    drives->item(0)->setSelected(true);
    pattern->setText("read*.TXT");
    findAndWait();
    EXPECT_EQ(paths(), QStringList{tree.file("b.zip")});

    grid->selectRow(0);
    EXPECT_EQ(dialog->statusText(), tree.file("b.zip"));
    control("btnOpen")->click();
    EXPECT_EQ(
        std::make_tuple(dialog->findResult(), dialog->pickedPackage(), dialog->result(), program.stored("FindPattern")),
        std::make_tuple(QString("y"), tree.file("b.zip"), int(QDialog::Accepted), QString("read*.TXT")));
    QByteArray index = readFile(program.app() + "/Varnhold.dat");
    cipherBytes(index, kSetCipherKey);
    EXPECT_EQ(index, (tree.file("b.zip") + "\r\n").toUtf8());
}

// Cancel during a find only stops it; markup and long paths show as text and sizes whole; Clear and Cancel close.
TEST_F(FindDialog, CancelStopsARunningFindRowsShowAsTextAndClearLeavesNoIndex) {
    QSignalSpy finished(dialog.get(), &fFind::findFinished);
    QSignalSpy closed(dialog.get(), &QDialog::finished);
    control("btnFind")->click();
    ASSERT_TRUE(dialog->isFinding());
    control("btnExit")->click(); // answered at once: the find sees the token at its next check
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(std::make_tuple(dialog->statusText(), closed.count()), std::make_tuple("Find zip packages completed", 0));

    const QString markup = "/home/ann/<b>bold</b>&amp;.zip";
    auto* grid = control<QTableView>("vbalGrid1");
    auto& model = *qobject_cast<PackageTableModel*>(grid->model());
    model.setRows({{markup, 1}, {"/home/ann/" + QString(2000, 'd') + "/end.zip", 999'999'999'999}});
    dialog->show();
    grid->selectRow(0);
    EXPECT_EQ(dialog->statusText(), markup);
    for (const QString& tipText :
         {model.index(0, 1).data(Qt::ToolTipRole).toString(), control<QWidget>("vsElastic2")->toolTip()}) {
        QTextDocument tip;
        tip.setHtml(tipText);
        EXPECT_EQ(tip.toPlainText(), markup) << "a tooltip shows the path as text";
    }
    EXPECT_LT(grid->fontMetrics().horizontalAdvance(model.index(1, 2).data().toString()), grid->columnWidth(2))
        << "a size is never shortened";
    EXPECT_GT(grid->columnWidth(1), 208) << "the path takes the room the grid has";

    control("btnClear")->click();
    EXPECT_EQ(dialog->model().rowCount(), 0);
    control("btnExit")->click();
    EXPECT_EQ(std::make_tuple(closed.count(), dialog->findResult(), readFile(program.app() + "/Varnhold.dat")),
              std::make_tuple(1, "n", QByteArray()))
        << "closing after Clear leaves no lines";
}

using FindButton = maintest::MainWindowTest;

TEST_F(FindButton, OpensThePackagePickedInTheFindDialog) {
    const QString zip = package("picked.zip");
    fMain& w = makeWindow();
    QPushButton* find = button("btnFind");
    EXPECT_TRUE(find->isEnabled() && find->toolTip() == "Find zip packages");
    DialogHook::setNextAnswer("cancel");
    find->click();
    EXPECT_EQ(w.currentPackage(), "") << "nothing picked, nothing opened";
    DialogHook::setNextAnswer(zip); // the dialog's Open with this package's row selected
    find->click();
    // Opened through the window's open routine, which stores the recent list.
    EXPECT_EQ(std::make_tuple(w.currentPackage(), w.entryModel().rowCount(), stored("1File")),
              std::make_tuple(zip, 5, zip));
}

} // namespace
