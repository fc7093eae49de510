// The build wizard as the user meets it: the two modes' layouts, ticking folders in the tree, the target folder
// picked with a trailing "/", closing with the stored size, and the whole backup from the main window's Build
// button to a package that unzip accepts, then an update of that package.
#include "BuildUiTestUtil.h"
#include "app/ui/HelpViewer.h"
#include "backup/FolderTreeModel.h"
#include "backup/SelectionTableModel.h"
#include "backup/ui/fKovra.h"
#include "finding/ui/SearchRunner.h"
#include "shell/fMain.h"
#include "tools/ui/fCount.h"
#include "viewer/EntryTableModel.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTreeView>

using namespace buildui;
using namespace testsupport;

namespace {

void expectUnzipAccepts(const QString& zip) {
    const ToolRun unzip = runTool("unzip", {"-t", zip});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.out.toStdString() << unzip.err.toStdString();
}

class WizardTest : public HookedTest {
  protected:
    void SetUp() override {
        HookedTest::SetUp();
        unexpected.allow("fKovra");
        writeFile(data + "A/one.txt", "12345");
        writeFile(data + "A/skip.tmp", "x");
        writeFile(data + "B/two.txt", "1234567");
        writeFile(data + "B/sub/three.doc", "123");
    }

    std::unique_ptr<fKovra> open(BuildMode mode, const QString& package = {}, const QString& comment = {}) {
        auto wizard = std::make_unique<fKovra>(state, mode, package, comment, nullptr, QStringList{data});
        wizard->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wizard.get()));
        return wizard;
    }
    // What a keyboard user does: go to the folder in the tree and press Space on it.
    static void toggle(fKovra& wizard, const QString& folder) {
        const QModelIndex index = wizard.folderTree().indexOf(folder);
        ASSERT_TRUE(index.isValid()) << folder.toStdString();
        QTreeView* tree = wizard.folderTreeView();
        tree->scrollTo(index);
        tree->setCurrentIndex(index);
        QTest::keyClick(tree, Qt::Key_Space);
    }
    static void waitForCounts(fKovra& wizard) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !wizard.counting(); }));
    }
    static void showTab(fKovra& wizard, int tab) {
        QTabBar* bar = wizard.tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        ASSERT_EQ(wizard.tabs()->currentIndex(), tab);
    }
    // Path, count and size of every row of a grid as its view shows them, and whether the row is bold.
    static QStringList shown(const fKovra& wizard, const char* grid) {
        const QAbstractItemModel* model = child<QTableView>(wizard, grid)->model();
        QStringList rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString bold = model->index(r, 1).data(SelectionTableModel::SummaryRole).toBool() ? " bold" : "";
            rows << model->index(r, 1).data().toString() + " " + model->index(r, 2).data().toString() + " " +
                        model->index(r, 3).data().toString() + bold;
        }
        return rows;
    }

    Program program;
    AppState& state = *program.state;
    TempDir dataDir;
    QString data = dataDir.path() + "/Data/";
    UnexpectedDialogs unexpected;
};

TEST_F(WizardTest, TheModesDifferInTheLastTabTheTargetFieldsAndThePlaceOfTheBuildGrid) {
    struct Case {
        BuildMode mode;
        QString lastTab, button;
        bool targets;
        int gridTop, gridHeight; // pixels
    };
    for (const Case& c : {Case{BuildMode::Build, "Build Zip", " Build", true, 58, 207},
                          Case{BuildMode::Update, "Update Zip", " Update", false, 7, 260}}) {
        SCOPED_TRACE(c.lastTab.toStdString());
        auto wizard = open(c.mode, program.app() + "/Zips/Old.zip", "handed comment");
        QStringList tabs;
        for (int i = 0; i < wizard->tabs()->count(); ++i)
            tabs << wizard->tabs()->tabText(i);
        EXPECT_EQ(tabs, QStringList({"Select Folders", "Select Files", "Select Sets", "Search", c.lastTab}));
        EXPECT_EQ(wizard->size(), QSize(569, 396)) << "the designed size, 8535 x 5940 twips";
        showTab(*wizard, fKovra::BuildTab);
        EXPECT_EQ(child<QPushButton>(*wizard, "btnBuild")->text(), c.button);
        for (const char* name : {"Text1", "Text2", "lblText1", "lblText2", "btnBrowse"})
            EXPECT_EQ(wizard->findChild<QWidget*>(name)->isVisible(), c.targets) << name;
        QTableView* grid = child<QTableView>(*wizard, "vbalGrid4");
        EXPECT_EQ(grid->y(), c.gridTop);
        EXPECT_GE(grid->height(), c.gridHeight);
        // Turning to the last tab refreshes the build grid and selects the comment for typing over.
        QLineEdit* comment = child<QLineEdit>(*wizard, "Text3");
        EXPECT_EQ(comment->text(), "handed comment");
        EXPECT_EQ(comment->selectedText(), "handed comment");
        EXPECT_EQ(shown(*wizard, "vbalGrid4"), QStringList({"**Total** 0 0 bold"}));
    }
}

TEST_F(WizardTest, EveryButtonHasItsCaptionTipAndHelpTopic) {
    auto wizard = open(BuildMode::Build);
    const QList<QStringList> buttons = {// clang-format off
        {"btnPatterns", "  &Patterns", "Select include/exclude file pattern(s)"},
        {"btnHelp", "  &Help", "Build/Update zip packages help content"},
        {"btnClear", "  Clear", "Clear selections"}, {"btnExit", "  Ex&it", "Exit"},
        {"btnFiles", "Select &files", "Select file(s) for zip package"},
        {"btnRemove", "Rem&ove", "Remove selected entry"},
        {"btnClear1", "  Clear", "Clear selections"}, {"btnExit1", "  Exit", "Exit"},
        {"btnSelectSet", "Sele&ct backup set", "Select backup set for zip package"},
        {"btnRemoveSet", "Remo&ve", "Remove selected entry"},
        {"btnClear4", "  Clear", "Clear selections"}, {"btnExit4", "  Exit", "Exit"},
        {"btnRemoveSea", "Re&move", "Remove selected entry"},
        {"btnClear3", "  Clear", "Clear selections"}, {"btnExit3", "  Exit", "Exit"},
        {"btnBrowse", "  Se&lect", ""}, {"btnBuild", " Build", "Start Build/Update"},
        {"btnSave", "&Save backup set", "Save selected backup set for later use"},
        {"btnClear2", "  Cl&ear", "Clear selections"}, {"btnExit2", "  E&xit", "Exit"}};
    // clang-format on
    for (const QStringList& b : buttons) {
        const QPushButton* control = child<QPushButton>(*wizard, b[0].toLatin1().constData());
        EXPECT_EQ(QStringList({control->text(), control->toolTip()}), b.mid(1)) << b[0].toStdString();
    }
    for (const auto& [label, box] :
         {std::pair{"lblText1", "Text1"}, {"lblText2", "Text2"}, {"lblText3", "Text3"}, {"lblText4", "Text4"}})
        EXPECT_EQ(child<QLabel>(*wizard, label)->buddy(), child<QLineEdit>(*wizard, box)) << label;
    EXPECT_EQ(child<QLabel>(*wizard, "lblText3")->text(), "Zip package comments:   ");
    EXPECT_EQ(child<QLabel>(*wizard, "Label0")->text(), "Refreshing folder totals");
    EXPECT_EQ(wizard->folderTree().data(wizard->folderTree().index(0, 0)).toString(), "Desktop");

    QTest::mouseClick(child<QPushButton>(*wizard, "btnHelp"), Qt::LeftButton);
    ASSERT_TRUE(currentHelpBrowser());
    EXPECT_EQ(currentHelpBrowser()->source().fragment(), "143");
    currentHelpBrowser()->window()->close();
}

TEST_F(WizardTest, TickingAddsAFolderRowAndUntickingRemovesOnlyThatRow) {
    auto wizard = open(BuildMode::Build);
    toggle(*wizard, data + "A");
    toggle(*wizard, data + "B"); // ticked while A may still be counted: B's row comes after A's
    waitForCounts(*wizard);
    EXPECT_EQ(shown(*wizard, "vbalGrid2"), QStringList({data + "A/ 1 5", "**Total** 3 15 bold", data + "B/ 2 10"}));

    toggle(*wizard, data + "A");
    waitForCounts(*wizard);
    EXPECT_EQ(shown(*wizard, "vbalGrid2"), QStringList({"**Total** 2 10 bold", data + "B/ 2 10"}));

    QTest::mouseClick(child<QPushButton>(*wizard, "btnClear"), Qt::LeftButton);
    EXPECT_TRUE(shown(*wizard, "vbalGrid2").isEmpty());
    EXPECT_TRUE(wizard->folderTree().tickedFolders().isEmpty());
    toggle(*wizard, data + "B"); // ticking again after Clear adds the folder again
    waitForCounts(*wizard);
    EXPECT_EQ(shown(*wizard, "vbalGrid2"), QStringList({data + "B/ 2 10", "**Total** 2 10 bold"}));
}

TEST_F(WizardTest, GridsAndTheTreeTakeTheRoomOfTheWindowAndTheButtonsStandApart) {
    auto wizard = open(BuildMode::Build);
    for (int tab = fKovra::BuildTab; tab >= fKovra::FoldersTab; --tab) {
        showTab(*wizard, tab);
        const QHeaderView* header = wizard->tabs()->currentWidget()->findChild<QTableView*>()->horizontalHeader();
        EXPECT_TRUE(header->stretchLastSection()) << tab;
        // At the opening size the size column (the fourth) is in sight with its whole heading.
        EXPECT_LE(header->sectionViewportPosition(3) + header->sectionSize(3), header->viewport()->width()) << tab;
        EXPECT_GT(header->sectionSize(3), header->fontMetrics().horizontalAdvance("Size(Bytes)") + 8) << tab;
        const QList<QPushButton*> buttons = wizard->tabs()->currentWidget()->findChildren<QPushButton*>();
        for (const QPushButton* a : buttons)
            for (const QPushButton* b : buttons)
                EXPECT_FALSE(a != b && a->parent() == b->parent() &&
                             a->geometry().adjusted(-2, 0, 2, 0).intersects(b->geometry()))
                    << a->objectName().toStdString() << " touches " << b->objectName().toStdString();
    }
    const QSize tree = wizard->folderTreeView()->size();
    wizard->resize(wizard->size() + QSize(300, 200));
    EXPECT_TRUE(QTest::qWaitFor([&] { return wizard->folderTreeView()->height() > tree.height(); }));
    EXPECT_GT(wizard->folderTreeView()->width(), tree.width());
}

TEST_F(WizardTest, PickedFilesGetRowsAndRemoveTakesOutTheSelectedRowButNeverTheTotal) {
    auto wizard = open(BuildMode::Build);
    showTab(*wizard, fKovra::FilesTab);
    DialogHook::setNextAnswer(data + "A/one.txt\n" + data + "B/two.txt"); // the file dialog's choice
    QTest::mouseClick(child<QPushButton>(*wizard, "btnFiles"), Qt::LeftButton);
    EXPECT_EQ(shown(*wizard, "vbalGrid3"),
              QStringList({data + "A/one.txt 1 5", data + "B/two.txt 1 7", "**Total** 2 12 bold"}));
    EXPECT_EQ(program.stored("Options00"), data + "B");

    QTableView* grid = child<QTableView>(*wizard, "vbalGrid3");
    QPushButton* remove = child<QPushButton>(*wizard, "btnRemove");
    grid->selectRow(2);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(shown(*wizard, "vbalGrid3").size(), 3) << "the total stays";
    grid->selectRow(0);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(shown(*wizard, "vbalGrid3"), QStringList({data + "B/two.txt 1 7", "**Total** 1 7 bold"}));
    QTest::mouseClick(child<QPushButton>(*wizard, "btnClear1"), Qt::LeftButton);
    EXPECT_TRUE(shown(*wizard, "vbalGrid3").isEmpty());
}

TEST_F(WizardTest, ASearchRefusedByItsCheckRunsOnceTheReopenedDialogPassesItAndFillsTheGrid) {
    unexpected.allow("fCount");  // the search's progress window, open while the search runs
    unexpected.allow("fSearch"); // answered below by the mouse; the guard must not close it first
    state.settings.SaveSettings(kSettingsSection, {{"SSOption3", "0"}, {"so4", "1234567"}, {"Drives", data}});
    auto wizard = open(BuildMode::Build);
    wizard->searchRunner().setDrives({data});
    DialogHook::setNextAnswer("search"); // fSearch, left with Search and no criterion ticked
    DialogHook::setNextAnswer("ok");     // fError: "Please enter search options."
    QTimer fix;                          // fSearch again: the user ticks the text criterion and presses Search
    QObject::connect(&fix, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->objectName() == "fSearch") {
            child<QAbstractButton>(*modal, "SSOption3")->click();
            QTest::mouseClick(child<QPushButton>(*modal, "btnStart"), Qt::LeftButton);
        }
    });
    fix.start(10);
    QTest::mouseClick(child<QPushButton>(*wizard, "btnSearch"), Qt::LeftButton);
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({"Please enter search options."}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(*wizard, "vbalGrid6").size() == 2; }));
    EXPECT_EQ(shown(*wizard, "vbalGrid6"), QStringList({data + "B/two.txt 1 7", "**Total** 1 7 bold"}));
    const QAbstractItemModel* grid = child<QTableView>(*wizard, "vbalGrid6")->model();
    EXPECT_EQ(grid->index(0, 4).data().toString(),
              QFileInfo(data + "B/two.txt").lastModified().toString("yyyy/MM/dd hh:mm:ss"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wizard->searchRunner().progressWindow(); })) << "fCount goes at the end";
}

TEST_F(WizardTest, TheTargetFolderPickedGetsATrailingSlashAndIsStored) {
    auto wizard = open(BuildMode::Build);
    showTab(*wizard, fKovra::BuildTab);
    DialogHook::setNextAnswer(data + "A");
    QTest::mouseClick(child<QPushButton>(*wizard, "btnBrowse"), Qt::LeftButton);
    EXPECT_EQ(child<QLineEdit>(*wizard, "Text1")->text(), data + "A/");
    EXPECT_EQ(program.stored("Options09"), data + "A/");
    EXPECT_TRUE(leftAnswers().isEmpty());
}

TEST_F(WizardTest, ClosingStoresTheFileNameAndThePlacementAtTheDesignedSize) {
    auto wizard = open(BuildMode::Build);
    wizard->resize(900, 700);
    QLineEdit* name = child<QLineEdit>(*wizard, "Text2");
    name->setText("Weekly.zip");
    QSignalSpy closed(wizard.get(), &fKovra::closed);
    showTab(*wizard, fKovra::FilesTab);
    QTest::mouseClick(child<QPushButton>(*wizard, "btnExit1"), Qt::LeftButton);
    EXPECT_EQ(closed.size(), 1);
    EXPECT_FALSE(wizard->isVisible());
    EXPECT_EQ(program.stored("Options10"), "Weekly.zip");
    const QStringList placement = program.stored("fKovra").split(',');
    ASSERT_EQ(placement.size(), 4);
    EXPECT_EQ(placement.mid(2), QStringList({"569", "396"}));
}

TEST_F(WizardTest, TheBuildGridSavedAsASetLoadsBackIntoTheSetsTab) {
    auto wizard = open(BuildMode::Build);
    toggle(*wizard, data + "B");
    waitForCounts(*wizard);
    child<QLineEdit>(*wizard, "Text2")->setText("Weekly.zip");
    showTab(*wizard, fKovra::BuildTab);
    QLineEdit* comment = child<QLineEdit>(*wizard, "Text3");
    comment->clear();
    QTest::mouseClick(child<QPushButton>(*wizard, "btnSave"), Qt::LeftButton);
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({"Please enter backup set comments first"}));
    EXPECT_EQ(wizard->focusWidget(), comment);

    QTest::keyClicks(comment, "Weekly things");
    DialogHook::setNextAnswer("ok"); // fBkSetSave: the offered name, Weekly.set
    QTest::mouseClick(child<QPushButton>(*wizard, "btnSave"), Qt::LeftButton);
    ASSERT_TRUE(QFileInfo::exists(program.app() + "/Sets/Weekly.set"));

    auto second = open(BuildMode::Build);
    showTab(*second, fKovra::SetsTab);
    DialogHook::setNextAnswer("Weekly.set"); // fBkSet picks it
    QTest::mouseClick(child<QPushButton>(*second, "btnSelectSet"), Qt::LeftButton);
    EXPECT_EQ(child<QLineEdit>(*second, "Text4")->text(), "Weekly things");
    // The folder is still being counted: Build and Save refuse rather than use a count of 0, and the build grid
    // takes the count when it comes, without another visit of the tab.
    showTab(*second, fKovra::BuildTab);
    for (const char* pressed : {"btnBuild", "btnSave"}) {
        DialogHook::setNextAnswer("ok");
        QTest::mouseClick(child<QPushButton>(*second, pressed), Qt::LeftButton);
    }
    EXPECT_EQ(DialogHook::shownMessages().mid(1), QStringList(2, kCountsPendingMessage));
    EXPECT_EQ(shown(*second, "vbalGrid4").value(0), data + "B/ " + kCountingText + " " + kCountingText);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !second->selection().isScanning(); }));
    EXPECT_EQ(shown(*second, "vbalGrid4"), QStringList({data + "B/ 2 10", "**Total** 2 10 bold"}));
    EXPECT_EQ(shown(*second, "vbalGrid5"), QStringList({data + "B/ 2 10", "**Total** 2 10 bold"}));
    EXPECT_FALSE(child<QLabel>(*second, "Label0")->isVisible());
    EXPECT_TRUE(leftAnswers().isEmpty());
}

// The backup as a user makes it: Build in the main window, a folder ticked, the Build Zip tab, Build, the zip
// settings confirmed, the result dialog; then Update, "Update Zip Package" and the same on the built package.
class WizardFlowTest : public WizardTest {
  protected:
    void SetUp() override {
        WizardTest::SetUp();
        // The tree shows the home folder; the main window starts up in the test's application folder.
        m_home = qgetenv("HOME");
        m_varnholdHome = qgetenv("VARNHOLD_HOME");
        qputenv("HOME", dataDir.path().toUtf8());
        qputenv("VARNHOLD_HOME", program.app().toUtf8());
    }
    void TearDown() override {
        qputenv("HOME", m_home);
        qputenv("VARNHOLD_HOME", m_varnholdHome);
        WizardTest::TearDown();
    }
    fKovra* wizardOf(fMain& main) {
        fKovra* wizard = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (wizard = main.findChild<fKovra*>()) && wizard->isVisible(); }));
        return wizard;
    }
    // Build on the last tab with the zip settings and the result dialog answered; waits for the result.
    BuildResult buildOn(fKovra& wizard) {
        showTab(wizard, fKovra::BuildTab);
        QSignalSpy ended(&wizard, &fKovra::buildEnded);
        DialogHook::setNextAnswer("ok"); // fZipSet
        DialogHook::setNextAnswer("ok"); // fZipOK
        QTest::mouseClick(child<QPushButton>(wizard, "btnBuild"), Qt::LeftButton);
        EXPECT_TRUE(ended.size() == 1 || ended.wait(20000));
        EXPECT_TRUE(wizard.isVisible()) << "the wizard is back after the build";
        return ended.isEmpty() ? BuildResult{} : ended.first().first().value<BuildResult>();
    }

  private:
    QByteArray m_home;
    QByteArray m_varnholdHome;
};

TEST_F(WizardFlowTest, BuildFromTheMainWindowThenUpdateTheBuiltPackage) {
    fMain main(state);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const QString target = program.app() + "/Zips/Backup.zip";

    QTest::mouseClick(child<QPushButton>(main, "btnBuild"), Qt::LeftButton);
    fKovra* wizard = wizardOf(main);
    ASSERT_TRUE(wizard);
    EXPECT_EQ(wizard->mode(), BuildMode::Build);
    toggle(*wizard, data + "B");
    waitForCounts(*wizard);
    showTab(*wizard, fKovra::BuildTab);
    QLineEdit* name = child<QLineEdit>(*wizard, "Text2");
    name->clear();
    QTest::keyClicks(name, "Backup.zip");
    EXPECT_EQ(child<QLineEdit>(*wizard, "Text1")->text(), program.app() + "/Zips/");

    const BuildResult built = buildOn(*wizard);
    ASSERT_TRUE(built.ok()) << built.message.toStdString();
    EXPECT_EQ(built.heading, " Build Completed!");
    expectUnzipAccepts(target);
    EXPECT_EQ(storedNames(target), QStringList({(data + "B/sub/three.doc").mid(1), (data + "B/two.txt").mid(1)}));
    EXPECT_TRUE(leftAnswers().isEmpty());

    // Closing the wizard leaves the main window showing the new package.
    QSignalSpy closed(&main, &fMain::wizardClosed);
    QTest::mouseClick(child<QPushButton>(*wizard, "btnExit2"), Qt::LeftButton);
    ASSERT_TRUE(closed.size() == 1 || closed.wait());
    EXPECT_EQ(main.currentPackage(), target);
    EXPECT_EQ(main.entryModel().rowCount(), 2);

    // Update: the checks pass, the "Quick" menu offers "Update Zip Package".
    writeFile(data + "A/new.txt", "new file");
    QTest::mouseClick(child<QPushButton>(main, "btnUpdate"), Qt::LeftButton);
    QMenu* quick = child<QMenu>(main, "mnuQuicks");
    ASSERT_TRUE(QTest::qWaitFor([&] { return quick->isVisible(); }));
    child<QAction>(main, "mnuQuick1")->trigger();
    quick->hide();
    wizard = wizardOf(main);
    ASSERT_TRUE(wizard);
    EXPECT_EQ(wizard->mode(), BuildMode::Update);
    EXPECT_EQ(main.entryModel().rowCount(), 0) << "the grid is cleared while the wizard updates the package";
    toggle(*wizard, data + "A");
    waitForCounts(*wizard);
    const BuildResult updated = buildOn(*wizard);
    ASSERT_TRUE(updated.ok()) << updated.message.toStdString();
    EXPECT_EQ(updated.heading, " Update Completed!");
    QTest::mouseClick(child<QPushButton>(*wizard, "btnExit2"), Qt::LeftButton);
    ASSERT_TRUE(closed.size() == 2 || closed.wait());

    expectUnzipAccepts(target);
    EXPECT_TRUE(storedNames(target).contains((data + "A/new.txt").mid(1)));
    EXPECT_EQ(main.currentPackage(), target);
    EXPECT_EQ(main.entryModel().rowCount(), 4) << "the main window shows the updated package";

    // Build, then Escape without building: the package shown before comes back.
    QTest::mouseClick(child<QPushButton>(main, "btnBuild"), Qt::LeftButton);
    ASSERT_TRUE((wizard = wizardOf(main)));
    QTest::keyClick(wizard->folderTreeView(), Qt::Key_Escape);
    ASSERT_TRUE(closed.size() == 3 || closed.wait());
    EXPECT_EQ(main.currentPackage(), target);
    EXPECT_EQ(main.entryModel().rowCount(), 4);
    EXPECT_TRUE(unexpected.seen().isEmpty()) << unexpected.seen().join(", ").toStdString();
}

} // namespace
