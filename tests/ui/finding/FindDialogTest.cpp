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
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableView>
#include <QTextDocument>

using namespace testsupport;

namespace {

QStringList paths(const fFind& dialog) {
    QStringList out;
    for (const PackageRow& row : dialog.model().rows())
        out << row.path;
    return out;
}

class FindDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        findtest::makePackages({{tree.file("b.zip"), {"docs/ReadMe.txt"}},
                                {tree.file("sub/A.ZIP"), {"notes.txt", "more.txt", "and more.txt"}},
                                {elsewhere.file("old.zip"), {"x"}}});
        writeFile(elsewhere.file("vanished.zip"), "v");
        ASSERT_TRUE(
            PackageIndex::save(program.app(), {{elsewhere.file("old.zip"), 0}, {elsewhere.file("vanished.zip"), 1}})
                .ok());
        QFile::remove(elsewhere.file("vanished.zip"));
        dialog = std::make_unique<fFind>(*program.state, nullptr, QStringList{tree.path() + "/"});
    }
    template <class T> T* control(const char* name) const { return dialogtest::child<T>(*dialog, name); }
    void findAndWait() {
        QSignalSpy finished(dialog.get(), &fFind::findFinished);
        control<QPushButton>("btnFind")->click();
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
    EXPECT_EQ(dialog->windowTitle(), "Varnhold");
    auto* grid = control<QTableView>("vbalGrid1");
    EXPECT_EQ(QStringList({grid->model()->headerData(1, Qt::Horizontal).toString(),
                           grid->model()->headerData(2, Qt::Horizontal).toString()}),
              QStringList({"File Name", "Size(Bytes)"}));
    EXPECT_EQ(paths(*dialog), QStringList{elsewhere.file("old.zip")}) << "the index's packages that still exist";
    auto* drives = control<QListWidget>("List1");
    auto* pattern = control<QLineEdit>("txtFindFPZipFiles");
    ASSERT_EQ(drives->count(), 1);
    EXPECT_TRUE(drives->item(0)->isSelected()) << "\"All\" selects every drive on the first run";
    EXPECT_EQ(pattern->text(), "*.*");

    findAndWait();
    EXPECT_EQ(paths(*dialog), QStringList({tree.file("b.zip"), tree.file("sub/A.ZIP")}));
    EXPECT_EQ(QStringList({dialog->statusText(), program.stored("DrivesF")}),
              QStringList({"Find zip packages completed", tree.path() + "/"}));

    // The size column: ascending first, a second click reverses; the grid shows the sizes grouped.
    grid->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(paths(*dialog), QStringList({tree.file("b.zip"), tree.file("sub/A.ZIP")}));
    grid->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(paths(*dialog), QStringList({tree.file("sub/A.ZIP"), tree.file("b.zip")}));
    EXPECT_EQ(grid->model()->index(0, 2).data().toString(),
              TextUtil::formatGrouped(QFileInfo(tree.file("sub/A.ZIP")).size()));

    // The search inside packages needs a real pattern, and every find needs a drive.
    control<QCheckBox>("SSOption6")->setChecked(true);
    control<QPushButton>("btnFind")->click(); // not started: the check answers at once
    EXPECT_EQ(dialog->statusText(), "Please enter file name pattern, example: 'read*.txt'");
    drives->item(0)->setSelected(false);
    control<QPushButton>("btnFind")->click();
    EXPECT_EQ(dialog->statusText(), "Please select hard drive(s).");
    EXPECT_EQ(program.stored("DrivesF"), "") << "an empty selection is stored as an empty text";
    drives->item(0)->setSelected(true);
    pattern->setText("read*.TXT");
    findAndWait();
    EXPECT_EQ(paths(*dialog), QStringList{tree.file("b.zip")});

    grid->selectRow(0);
    EXPECT_EQ(dialog->statusText(), tree.file("b.zip"));
    control<QPushButton>("btnOpen")->click();
    EXPECT_EQ(std::make_tuple(dialog->findResult(), dialog->pickedPackage(), dialog->result()),
              std::make_tuple(QString("y"), tree.file("b.zip"), int(QDialog::Accepted)));
    QByteArray index = readFile(program.app() + "/Varnhold.dat");
    cipherBytes(index, kSetCipherKey);
    EXPECT_EQ(index, (tree.file("b.zip") + "\r\n").toUtf8());
    EXPECT_EQ(program.stored("FindPattern"), "read*.TXT");
}

TEST_F(FindDialog, CancelStopsARunningFindAndKeepsTheDialogOpenThenCloses) {
    QSignalSpy finished(dialog.get(), &fFind::findFinished);
    QSignalSpy closed(dialog.get(), &QDialog::finished);
    control<QPushButton>("btnFind")->click();
    ASSERT_TRUE(dialog->isFinding());
    control<QPushButton>("btnExit")->click(); // answered at once: the find sees the token at its next check
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(std::make_tuple(dialog->statusText(), closed.count()), std::make_tuple("Find zip packages completed", 0))
        << "Cancel during a find only stops it";

    control<QPushButton>("btnClear")->click();
    EXPECT_EQ(dialog->model().rowCount(), 0);
    control<QPushButton>("btnExit")->click();
    EXPECT_EQ(std::make_tuple(closed.count(), dialog->findResult()), std::make_tuple(1, "n"));
    EXPECT_EQ(readFile(program.app() + "/Varnhold.dat"), QByteArray()) << "closing after Clear leaves no lines";
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
    EXPECT_EQ(std::make_tuple(w.currentPackage(), w.entryModel().rowCount()), std::make_tuple(zip, 5));
    EXPECT_EQ(stored("1File"), zip) << "opened through the window's open routine";
}

TEST_F(FindDialog, MarkupAndLongPathsShowAsTextAndSizesWhole) {
    const QString markup = "/home/ann/<b>bold</b>&amp;.zip";
    const QString longPath = "/home/ann/" + QString(2000, 'd') + "/end.zip";
    auto* grid = control<QTableView>("vbalGrid1");
    auto& model = *qobject_cast<PackageTableModel*>(grid->model());
    model.setRows({{markup, 1}, {longPath, 999'999'999'999}});
    dialog->show();
    grid->selectRow(0);
    EXPECT_EQ(dialog->statusText(), markup);
    for (const QString& tipText :
         {model.index(0, 1).data(Qt::ToolTipRole).toString(), dialog->findChild<QWidget*>("vsElastic2")->toolTip()}) {
        QTextDocument tip;
        tip.setHtml(tipText);
        EXPECT_EQ(tip.toPlainText(), markup) << "a tooltip shows the path as text";
    }
    const QString size = model.index(1, 2).data().toString();
    EXPECT_LT(grid->fontMetrics().horizontalAdvance(size), grid->columnWidth(2)) << "a size is never shortened";
    EXPECT_GT(grid->columnWidth(1), 208) << "the path takes the room the grid has";
}

} // namespace
