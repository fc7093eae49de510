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

using namespace buildui;

namespace {

class WizardTest : public FlowTest {
  protected:
    void SetUp() override {
        FlowTest::SetUp();
        unexpected.allowed << "fKovra";
        for (const auto& [file, text] : {std::pair{"A/one.txt", "12345"}, std::pair{"A/skip.tmp", "x"},
                                         std::pair{"B/two.txt", "1234567"}, std::pair{"B/sub/three.doc", "123"}})
            writeFile(data + file, text);
    }

    std::unique_ptr<fKovra> open(BuildMode mode, const QString& package = {}, const QString& comment = {}) {
        auto wizard = std::make_unique<fKovra>(state, mode, package, comment, nullptr, QStringList{data});
        wizard->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wizard.get()));
        return wizard;
    }
    // What a keyboard user does: go to the folder in the tree and press Space on it; then wait for the counts.
    static void toggle(fKovra& wizard, const QString& folder, bool wait = true) {
        const QModelIndex index = wizard.folderTree().indexOf(folder);
        ASSERT_TRUE(index.isValid()) << folder.toStdString();
        wizard.folderTreeView()->scrollTo(index);
        wizard.folderTreeView()->setCurrentIndex(index);
        QTest::keyClick(wizard.folderTreeView(), Qt::Key_Space);
        ASSERT_TRUE(!wait || QTest::qWaitFor([&] { return !wizard.counting(); }));
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
    // Build on the last tab with the zip settings and the result dialog answered; the wizard is back after it.
    static void buildOn(fKovra& wizard, const QString& heading) {
        showTab(wizard, fKovra::BuildTab);
        QSignalSpy ended(&wizard, &fKovra::buildEnded);
        queue({"ok", "ok"}); // fZipSet, fZipOK
        press(wizard, "btnBuild");
        ASSERT_TRUE(ended.size() == 1 || ended.wait(20000));
        const BuildResult result = ended.first().first().value<BuildResult>();
        ASSERT_TRUE(result.ok()) << result.message.toStdString();
        EXPECT_EQ(result.heading, heading);
        EXPECT_TRUE(wizard.isVisible()) << "the wizard is back after the build";
    }
};

// The grids and the tree take the room of the window, and the buttons stand apart.
TEST_F(WizardTest, TheGridsAndTheTreeTakeTheRoomOfTheWindow) {
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

TEST_F(WizardTest, TickingAddsAFolderRowAndUntickingRemovesOnlyThatRow) {
    auto wizard = open(BuildMode::Build);
    toggle(*wizard, data + "A", false);
    toggle(*wizard, data + "B"); // ticked while A may still be counted: B's row comes after A's
    EXPECT_EQ(shown(*wizard, "vbalGrid2"), QStringList({data + "A/ 1 5", "**Total** 3 15 bold", data + "B/ 2 10"}));
    toggle(*wizard, data + "A");
    EXPECT_EQ(shown(*wizard, "vbalGrid2"), QStringList({"**Total** 2 10 bold", data + "B/ 2 10"}));

    press(*wizard, "btnClear");
    EXPECT_TRUE(shown(*wizard, "vbalGrid2").isEmpty());
    EXPECT_TRUE(wizard->folderTree().tickedFolders().isEmpty());
    toggle(*wizard, data + "B"); // ticking again after Clear adds the folder again
    EXPECT_EQ(shown(*wizard, "vbalGrid2"), QStringList({data + "B/ 2 10", "**Total** 2 10 bold"}));
}

TEST_F(WizardTest, PickedFilesGetRowsAndRemoveTakesOutTheSelectedRowButNeverTheTotal) {
    auto wizard = open(BuildMode::Build);
    showTab(*wizard, fKovra::FilesTab);
    DialogHook::setNextAnswer(data + "A/one.txt\n" + data + "B/two.txt"); // the file dialog's choice
    press(*wizard, "btnFiles");
    EXPECT_EQ(shown(*wizard, "vbalGrid3"),
              QStringList({data + "A/one.txt 1 5", data + "B/two.txt 1 7", "**Total** 2 12 bold"}));
    EXPECT_EQ(program.stored("Options00"), data + "B");
    child<QTableView>(*wizard, "vbalGrid3")->selectRow(2);
    press(*wizard, "btnRemove");
    EXPECT_EQ(shown(*wizard, "vbalGrid3").size(), 3) << "the total stays";
    child<QTableView>(*wizard, "vbalGrid3")->selectRow(0);
    press(*wizard, "btnRemove");
    EXPECT_EQ(shown(*wizard, "vbalGrid3"), QStringList({data + "B/two.txt 1 7", "**Total** 1 7 bold"}));
    press(*wizard, "btnClear1");
    EXPECT_TRUE(shown(*wizard, "vbalGrid3").isEmpty());
}

TEST_F(WizardTest, ASearchRefusedByItsCheckRunsOnceTheReopenedDialogPassesItAndFillsTheGrid) {
    // The search's progress window, open while the search runs, and fSearch, answered below by the mouse.
    unexpected.allowed.append({"fCount", "fSearch"});
    state.settings.SaveSettings(kSettingsSection, {{"SSOption3", "0"}, {"so4", "1234567"}, {"Drives", data}});
    auto wizard = open(BuildMode::Build);
    wizard->searchRunner().setDrives({data});
    // fSearch, left with Search and no criterion ticked; fError: "Please enter search options."
    queue({"search", "ok"});
    QTimer fix; // fSearch again: the user ticks the text criterion and presses Search
    QObject::connect(&fix, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->objectName() == "fSearch") {
            child<QAbstractButton>(*modal, "SSOption3")->click();
            press(*modal, "btnStart");
        }
    });
    fix.start(10);
    press(*wizard, "btnSearch");
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({"Please enter search options."}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(*wizard, "vbalGrid6").size() == 2; }));
    EXPECT_EQ(shown(*wizard, "vbalGrid6"), QStringList({data + "B/two.txt 1 7", "**Total** 1 7 bold"}));
    EXPECT_EQ(child<QTableView>(*wizard, "vbalGrid6")->model()->index(0, 4).data().toString(),
              QFileInfo(data + "B/two.txt").lastModified().toString("yyyy/MM/dd hh:mm:ss"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wizard->searchRunner().progressWindow(); })) << "fCount goes at the end";
}

TEST_F(WizardTest, TheTargetFolderGetsATrailingSlashAndClosingStoresItTheNameAndTheDesignedSize) {
    auto wizard = open(BuildMode::Build);
    wizard->resize(900, 700);
    showTab(*wizard, fKovra::BuildTab);
    DialogHook::setNextAnswer(data + "A");
    press(*wizard, "btnBrowse");
    EXPECT_EQ(child<QLineEdit>(*wizard, "Text1")->text(), data + "A/");
    EXPECT_EQ(program.stored("Options09"), data + "A/");
    expectAnswered();

    child<QLineEdit>(*wizard, "Text2")->setText("Weekly.zip");
    QSignalSpy closed(wizard.get(), &fKovra::closed);
    showTab(*wizard, fKovra::FilesTab);
    press(*wizard, "btnExit1");
    EXPECT_TRUE(closed.size() == 1 && !wizard->isVisible());
    EXPECT_EQ(program.stored("Options10"), "Weekly.zip");
    EXPECT_EQ(program.stored("fKovra").section(',', 2), "569,396") << "four fields: the place, then the size";
}

TEST_F(WizardTest, TheBuildGridSavedAsASetLoadsBackIntoTheSetsTab) {
    auto wizard = open(BuildMode::Build);
    toggle(*wizard, data + "B");
    child<QLineEdit>(*wizard, "Text2")->setText("Weekly.zip");
    showTab(*wizard, fKovra::BuildTab);
    QLineEdit* comment = child<QLineEdit>(*wizard, "Text3");
    comment->clear();
    press(*wizard, "btnSave");
    EXPECT_EQ(DialogHook::shownMessages(), QStringList({"Please enter backup set comments first"}));
    EXPECT_EQ(wizard->focusWidget(), comment);

    QTest::keyClicks(comment, "Weekly things");
    DialogHook::setNextAnswer("ok"); // fBkSetSave: the offered name, Weekly.set
    press(*wizard, "btnSave");
    ASSERT_TRUE(QFileInfo::exists(program.app() + "/Sets/Weekly.set"));

    auto second = open(BuildMode::Build);
    showTab(*second, fKovra::SetsTab);
    DialogHook::setNextAnswer("Weekly.set"); // fBkSet picks it
    press(*second, "btnSelectSet");
    EXPECT_EQ(child<QLineEdit>(*second, "Text4")->text(), "Weekly things");
    // The folder is still being counted: Build and Save refuse rather than use a count of 0, and the build grid
    // takes the count when it comes, without another visit of the tab.
    showTab(*second, fKovra::BuildTab);
    for (const char* pressed : {"btnBuild", "btnSave"}) {
        DialogHook::setNextAnswer("ok");
        press(*second, pressed);
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
TEST_F(WizardTest, BuildFromTheMainWindowThenUpdateTheBuiltPackage) {
    // The tree shows the home folder; the main window starts up in the test's application folder.
    const QByteArray home = qgetenv("HOME"), varnholdHome = qgetenv("VARNHOLD_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", home);
        qputenv("VARNHOLD_HOME", varnholdHome);
    });
    qputenv("HOME", dataDir.path().toUtf8());
    qputenv("VARNHOLD_HOME", program.app().toUtf8());
    fMain main(state);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const QString target = program.app() + "/Zips/Backup.zip";
    const auto shows = [&] { return std::pair(main.currentPackage(), main.entryModel().rowCount()); };
    QSignalSpy closed(&main, &fMain::wizardClosed);
    fKovra* wizard = nullptr;
    const auto opened = [&] {
        return QTest::qWaitFor([&] { return (wizard = main.findChild<fKovra*>()) && wizard->isVisible(); });
    };

    press(main, "btnBuild");
    ASSERT_TRUE(opened());
    EXPECT_EQ(wizard->mode(), BuildMode::Build);
    toggle(*wizard, data + "B");
    showTab(*wizard, fKovra::BuildTab);
    QLineEdit* name = child<QLineEdit>(*wizard, "Text2");
    name->clear();
    QTest::keyClicks(name, "Backup.zip");
    EXPECT_EQ(child<QLineEdit>(*wizard, "Text1")->text(), program.app() + "/Zips/");
    ASSERT_NO_FATAL_FAILURE(buildOn(*wizard, " Build Completed!"));
    expectPeersAccept(target);
    EXPECT_EQ(storedNames(target), QStringList({(data + "B/sub/three.doc").mid(1), (data + "B/two.txt").mid(1)}));
    EXPECT_TRUE(leftAnswers().isEmpty());
    // Closing the wizard leaves the main window showing the new package.
    press(*wizard, "btnExit2");
    ASSERT_TRUE(closed.size() == 1 || closed.wait());
    EXPECT_EQ(shows(), std::pair(target, 2));

    // Update: the checks pass, the "Quick" menu offers "Update Zip Package".
    writeFile(data + "A/new.txt", "new file");
    press(main, "btnUpdate");
    QMenu* quick = child<QMenu>(main, "mnuQuicks");
    ASSERT_TRUE(QTest::qWaitFor([&] { return quick->isVisible(); }));
    child<QAction>(main, "mnuQuick1")->trigger();
    quick->hide();
    ASSERT_TRUE(opened());
    EXPECT_EQ(wizard->mode(), BuildMode::Update);
    EXPECT_EQ(main.entryModel().rowCount(), 0) << "the grid is cleared while the wizard updates the package";
    toggle(*wizard, data + "A");
    ASSERT_NO_FATAL_FAILURE(buildOn(*wizard, " Update Completed!"));
    press(*wizard, "btnExit2");
    ASSERT_TRUE(closed.size() == 2 || closed.wait());
    expectPeersAccept(target);
    EXPECT_TRUE(storedNames(target).contains((data + "A/new.txt").mid(1)));
    EXPECT_EQ(shows(), std::pair(target, 4)) << "the main window shows the updated package";

    // Build, then Escape without building: the package shown before comes back.
    press(main, "btnBuild");
    ASSERT_TRUE(opened());
    QTest::keyClick(wizard->folderTreeView(), Qt::Key_Escape);
    ASSERT_TRUE(closed.size() == 3 || closed.wait());
    EXPECT_EQ(shows(), std::pair(target, 4));
    EXPECT_TRUE(unexpected.seen.isEmpty()) << unexpected.seen.join(", ").toStdString();
}

} // namespace
