// Opening a package into the grid, the status line on the way, sorting by header clicks, the recent list in
// "Favorites", failures, selection, the right-click menu and Close.
#include "MainTestUtil.h"

#include "shell/ViewerIcons.h"

#include <QApplication>
#include <QIcon>
#include <QItemSelectionModel>
#include <QTest>

using namespace maintest;

namespace {

/// A package listing of the given names, all of one date and size.
QString sameDay(std::initializer_list<const char*> names, int size = 1) {
    QStringList rows;
    for (const char* name : names)
        rows << QString(R"(("%1", (2020, 1, 1, 0, 0, 0), %2))").arg(name).arg(size);
    return "[" + rows.join(", ") + "]";
}

using OpenPackage = MainWindowTest;

TEST_F(OpenPackage, RowsAreTheFilesSortedByNameAndTheStatusLineWalksThroughEveryStep) {
    const QString zip = package("rows.zip", kRowsEntries, "backup of docs");
    fMain& w = makeWindow();
    QStringList texts; // every status line text, in order
    QObject::connect(&w, &fMain::statusTextChanged, &w, [&texts](const QString& text) { texts << text; });
    ASSERT_TRUE(w.openPackage(zip));
    EXPECT_EQ(texts, QStringList({"", "  Building zip package index entries for (rows.zip)",
                                  "  Sorting index entries for (rows.zip)", "  Sort for (rows.zip) completed",
                                  "  (rows.zip)  Files = 6  Bytes = 1,029  Comments = backup of docs"}));
    EXPECT_EQ(std::make_tuple(w.statusText(), QApplication::overrideCursor()), std::make_tuple(texts.last(), nullptr))
        << "the hourglass is gone";

    EXPECT_EQ(fullNames(), QStringList({"A.TXT", "b.txt", "docs/b.txt", "docs/c.dat", "noext"}))
        << "no row for the folder entry; names in order with case ignored, equal names in package order";
    EXPECT_EQ(column(EntryColumn::Name), QStringList({"A.TXT", "b.txt", "b.txt", "c.dat", "noext"}));
    EXPECT_EQ(column(EntryColumn::Size), QStringList({"10", "9", "10", "1,000", "0"}));
    EXPECT_EQ(column(EntryColumn::Modified),
              QStringList({"2019/12/31  23:59:58", "2020/01/02  03:04:06", "1999/01/01  00:00:00",
                           "2021/06/01  12:00:00", "2020/01/02  03:04:06"}));
    EXPECT_EQ(column(EntryColumn::Path), QStringList({"", "", "docs/", "docs/", ""}));
    EXPECT_EQ(column(EntryColumn::Ratio).last(), "0%") << "an empty entry";
    // The header mark shows the opening sort; the shared values of the open package.
    EXPECT_EQ(sortMark(), std::make_pair(int(EntryColumn::Name) - 1, Qt::AscendingOrder));
    EXPECT_EQ(
        std::make_tuple(w.currentPackage(), w.packageFileName(), w.packageComment(), w.totalFiles(), w.totalBytes(),
                        w.deleteConfirmation()),
        std::make_tuple(zip, QString("rows.zip"), QString("backup of docs"), qint64(6), qint64(1029), QString("0")));
    // Each row leads to its own entry, also for the two rows named "b.txt".
    const EntryList& list = w.entryModel().entries();
    EXPECT_NE(list.row(1).entryIndex, list.row(2).entryIndex);
    EXPECT_EQ(w.package().entries().at(list.row(2).entryIndex).folderPath, "docs/");
}

TEST_F(OpenPackage, IconsComeOncePerExtensionAndNamesShowTheirControlCharactersAsEscapes) {
    fMain& w = makeWindow();
    // Icons come once per extension whatever its case.
    ASSERT_TRUE(w.openPackage(package("icons.zip", sameDay({"a.txt", "b.TXT", "c.Txt", "d.png", "e", "f.png"}))));
    EXPECT_EQ(std::make_tuple(w.fileTypeIcons().systemLookups(), w.fileTypeIcons().size()), std::make_tuple(3, 3))
        << "TXT, PNG and no extension";
    const QAbstractItemModel* model = w.grid()->model();
    QList<qint64> keys;
    for (int r = 0; r < model->rowCount(); ++r) {
        const QIcon icon = model->index(r, 0).data(Qt::DecorationRole).value<QIcon>();
        ASSERT_FALSE(icon.isNull()) << r;
        keys << icon.cacheKey();
        EXPECT_FALSE(model->index(r, 1).data(Qt::DecorationRole).isValid()) << "only the icon column has one";
    }
    EXPECT_EQ(QList<qint64>({keys[1], keys[2], keys[5]}), QList<qint64>({keys[0], keys[0], keys[3]}))
        << "txt, TXT and Txt share one icon, d.png and f.png another";
    // A second package with known extensions asks the system nothing new.
    ASSERT_TRUE(w.openPackage(package("again.zip", sameDay({"x.TXT"}))));
    EXPECT_EQ(w.fileTypeIcons().systemLookups(), 3);

    // Names show their control and bidi characters as escapes.
    ASSERT_TRUE(w.openPackage(package(
        "spoof.zip",
        sameDay({"invoice\\u202etxt.exe", "two\\nlines\\tand tab.txt", "dir\\u2066x/<font color=red>x.txt"}, 3))));
    EXPECT_EQ(column(EntryColumn::Name),
              QStringList({"<font color=red>x.txt", "invoice\\u202etxt.exe", "two\\nlines\\tand tab.txt"}));
    EXPECT_EQ(column(EntryColumn::Path), QStringList({"dir\\u2066x/", "", ""}));
    EXPECT_EQ(w.grid()->model()->index(1, 1).data(Qt::ToolTipRole).toString(), "invoice\\u202etxt.exe");
    w.grid()->selectRow(1);
    EXPECT_EQ(w.statusText(), "  invoice\\u202etxt.exe selected, right-click for commands");
}

// The window shown with rows.zip open, for the tests that click and type into its grid.
class RowsShown : public OpenPackage {
  protected:
    void SetUp() override {
        OpenPackage::SetUp();
        fMain& w = makeWindow();
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        ASSERT_TRUE(w.openPackage(package("rows.zip")));
    }
    /// A real mouse click on the header of column 1 to 7.
    void click(EntryColumn c) {
        QHeaderView* header = window->grid()->horizontalHeader();
        const int section = int(c) - 1;
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    QPoint centreOf(int row) const {
        return window->grid()->visualRect(window->grid()->model()->index(row, 1)).center();
    }
};

using SortByHeader = RowsShown;

TEST_F(SortByHeader, SelectedEntriesStaySelectedWhateverColumnSortsTheGrid) {
    QTableView* grid = window->grid();
    const auto selectedNames = [&] {
        QStringList names;
        for (const QModelIndex& index : grid->selectionModel()->selectedRows())
            names << fullNames().at(index.row());
        names.sort();
        return names;
    };

    // The user's click on docs/c.dat (row 3 by name); by size it is the last row.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centreOf(rowOf("docs/c.dat")));
    ASSERT_EQ(selectedNames(), QStringList({"docs/c.dat"}));
    const QString status = window->statusText();
    click(EntryColumn::Size);
    ASSERT_EQ(rowOf("docs/c.dat"), 4);
    // The current row moves with it.
    EXPECT_EQ(std::make_tuple(selectedNames(), fullNames().value(grid->currentIndex().row()), window->statusText()),
              std::make_tuple(QStringList({"docs/c.dat"}), QString("docs/c.dat"), status));

    // Several rows at once (the grid's selection model takes them even where a click picks one).
    grid->selectionModel()->clearSelection();
    for (const QString name : {"A.TXT", "noext", "docs/b.txt"})
        grid->selectionModel()->select(grid->model()->index(rowOf(name), 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    for (EntryColumn c : {EntryColumn::Modified, EntryColumn::Name, EntryColumn::Name, EntryColumn::Ratio}) {
        const QStringList before = fullNames();
        click(c);
        EXPECT_NE(fullNames(), before) << "rows moved";
        EXPECT_EQ(selectedNames(), QStringList({"A.TXT", "docs/b.txt", "noext"})) << "after sorting by " << int(c);
    }
}

using Favorites = OpenPackage;

TEST_F(Favorites, OpenedPackagesBecomeTheItemsOpenFromThemAndAMissingOneOnlySaysSo) {
    const QString first = package("first.zip"), second = package("R&D.zip");
    fMain& w = makeWindow();
    ASSERT_TRUE(w.openPackage(first) && w.openPackage(second));
    EXPECT_EQ(QStringList({item("mnufav1")->text(), item("mnufav2")->text(), stored("1File"), stored("2File")}),
              QStringList({packages.file("R&&D.zip"), first, second, first}));
    EXPECT_TRUE(item("mnufav2")->isVisible() && !item("mnufav3")->isVisible());

    // The package opened from the list moves to the top.
    item("mnufav2")->trigger();
    EXPECT_EQ(std::make_tuple(w.currentPackage(), w.grid()->model()->rowCount(), item("mnufav1")->text(),
                              state->recent.mid(0, 2)),
              std::make_tuple(first, 5, first, QStringList({first, second})));
    // The path with "&" opens from its item too.
    item("mnufav2")->trigger();
    EXPECT_EQ(std::make_tuple(w.currentPackage(), w.statusText()),
              std::make_tuple(second, QString("  (R&D.zip)  Files = 6  Bytes = 1,029  Comments = ")));

    // A missing file only changes the status line: the list is not reordered, and no message shows.
    ASSERT_TRUE(QFile::remove(first));
    item("mnufav2")->trigger();
    EXPECT_EQ(
        std::make_tuple(w.statusText(), w.currentPackage(), w.grid()->model()->rowCount(),
                        w.package().entries().empty(), state->recent.mid(0, 2), DialogHook::shownMessages()),
        std::make_tuple(first + "  -  File not found.", second, 5, false, QStringList({second, first}), QStringList()));
    // An empty slot and "Exit" do nothing at all.
    const QString status = w.statusText();
    w.openFavorite(5);
    item("mnufav10")->trigger();
    EXPECT_EQ(std::make_tuple(w.statusText(), w.currentPackage()), std::make_tuple(status, second));

    // The next start reads the same list back from the store.
    window.reset();
    AppState again(state->settings.AppName());
    fMain next(again);
    EXPECT_EQ(
        std::make_tuple(child<QAction>(next, "mnufav1")->data().toString(), child<QAction>(next, "mnufav2")->text()),
        std::make_tuple(second, first));
}

using OpenDialog = OpenPackage;
TEST_F(OpenDialog, CancelChangesNothingANonZipLeavesEverythingEmptyAndAChoiceOpens) {
    const QString good = package("good.zip"), bad = packages.file("notes.zip");
    writeFile(bad, "this is a text file, not a zip package\n");
    fMain& w = makeWindow();
    ASSERT_TRUE(w.openPackage(good));
    const QString status = w.statusText();
    const QStringList recentBefore = state->recent;
    // The store holds another start folder than the shared value; only a real choice writes the value back.
    state->settings.SaveSetting(kSettingsSection, "Options11", "/elsewhere/");
    DialogHook::setNextAnswer("cancel");
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    EXPECT_EQ(std::make_tuple(w.statusText(), w.grid()->model()->rowCount(), stored("Options11")),
              std::make_tuple(status, 5, QString("/elsewhere/")));

    // Not a zip: the library's text, an empty grid, and the path that failed stays the current one.
    DialogHook::setNextAnswer("ok");
    EXPECT_FALSE(w.openPackage(bad));
    ZipPackage probe;
    ASSERT_NE(probe.zOpenZipFile(bad), kZipOk);
    EXPECT_FALSE(probe.zGetLastErrorAsText().isEmpty());
    EXPECT_EQ(
        std::make_tuple(DialogHook::shownMessages(), w.grid()->model()->rowCount(), w.statusText(), state->recent,
                        stored("1File"), item("mnufav1")->text(), w.currentPackage(), w.package().entries().empty()),
        std::make_tuple(QStringList{probe.zGetLastErrorAsText()}, 0, QString(), recentBefore, good, good, bad, true));

    const QString other = package("other.zip", sameDay({"z.txt"}, 3));
    DialogHook::setNextAnswer(other);
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    EXPECT_EQ(std::make_tuple(w.currentPackage(), w.grid()->model()->rowCount(), stored("Options11"),
                              state->text(Option::OpenPackageFolder)),
              std::make_tuple(other, 1, app.path() + "/Zips/", app.path() + "/Zips/"));
}

class GridCommands : public RowsShown {
  protected:
    /// Runs a menu item whose extract dialog answers `answer`; returns the status line after it.
    QString run(const char* menuItem, const char* answer = "extract") {
        DialogHook::setNextAnswer(answer);
        item(menuItem)->trigger();
        return window->statusText();
    }
};

TEST_F(GridCommands, RightClickOnARowOpensTheEntryMenuAndCloseEmptiesTheWindow) {
    QTableView* grid = window->grid();
    QMenu* popup = menu("mnuZipOptions");
    const int row = rowOf("noext");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centreOf(row));
    EXPECT_EQ(window->statusText(), "  noext selected, right-click for commands");
    emit grid->customContextMenuRequested(centreOf(row));
    EXPECT_TRUE(popup->isVisible() && grid->selectionModel()->selectedRows().value(0).row() == row);
    popup->hide();

    // Below the last row there is no entry, and no menu.
    const QPoint below(10, grid->visualRect(grid->model()->index(4, 1)).bottom() + 20);
    ASSERT_LT(below.y(), grid->viewport()->height());
    emit grid->customContextMenuRequested(below);
    EXPECT_FALSE(popup->isVisible());

    // Close empties the grid, the status line and the package.
    window->grid()->selectRow(0);
    QTest::mouseClick(button("btnClose"), Qt::LeftButton);
    // Closing keeps the recent list.
    EXPECT_EQ(std::make_tuple(window->grid()->model()->rowCount(), window->statusText(), window->currentPackage(),
                              window->package().entries().empty(), window->sortColumn(), sortMark().first,
                              state->recent.value(0)),
              std::make_tuple(0, QString(), QString(), true, 0, -1, packages.file("rows.zip")));
    // The next open starts from scratch again.
    ASSERT_TRUE(window->openPackage(packages.file("rows.zip")));
    EXPECT_EQ(window->grid()->model()->rowCount(), 5);
}

TEST_F(GridCommands, ExtractThisFileAndAllFilesReportInTheStatusLine) {
    const QString target = state->text(Option::ExtractFolder);
    writeFile(target + "docs/c.dat", "mine");
    state->saveText(Option::ExtractOverwrite, "0"); // "Overwrite existing files" off
    window->grid()->selectRow(rowOf("docs/c.dat"));
    EXPECT_EQ(run("mnuOpt3"), "c.dat was not extracted: the file already in " + target + " was kept");
    EXPECT_EQ(run("mnuOpt4"), "4 files were extracted to " + target + ", 1 skipped (existing files kept)");
    EXPECT_EQ(run("mnuOpt4"), "No files were extracted to " + target + ": 5 skipped (existing files kept)");
    EXPECT_EQ(readFile(target + "docs/c.dat"), "mine");

    state->setFlag(Option::ExtractOverwrite, true);
    QFile::remove(target + "docs/c.dat");
    EXPECT_EQ(run("mnuOpt3"), "c.dat was extracted to " + target);
    EXPECT_EQ(readFile(target + "docs/c.dat"), QByteArray(1000, 'x'));
    EXPECT_EQ(run("mnuOpt4", "cancel"), "Extract cancelled");
    EXPECT_EQ(stored("Optionse8"), "-1") << "the request asked for all entries";
    state->saveText(Option::ExtractFolder, "");
    EXPECT_EQ(run("mnuOpt4"), "Extract error: Please choose a folder to extract to.");
}

} // namespace
