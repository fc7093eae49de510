#include "fKovra.h"

#include "BuildRunner.h"
#include "SelectionGridDelegate.h"
#include "app/AppState.h"
#include "app/ui/DialogHook.h"
#include "app/ui/FormControls.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "app/ui/PlaceWindow.h"
#include "backup/FolderTreeModel.h"
#include "backup/SelectionTableModel.h"
#include "backup/WizardForm.h"
#include "fLoad.h"
#include "finding/ui/SearchRunner.h"
#include "sets/SetSaving.h"
#include "sets/ui/fBkSet.h"
#include "sets/ui/fBkSetSave.h"
#include "sets/ui/fPatterns.h"
#include "tools/ui/fCount.h"
#include "utility/TextUtil.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString kFilesDialogTitle = QStringLiteral("Varnhold - Browse for files");
const QString kFolderDialogTitle = QStringLiteral("Please select the target folder for the zip package");
const QString kClearTip = QStringLiteral("Clear selections");
const QString kRemoveTip = QStringLiteral("Remove selected entry");

QPushButton* button(const QString& caption, const QString& tip, const char* name, QWidget* parent) {
    QPushButton* b = FormControls::makeButton(caption, tip, name, parent);
    b->setAutoDefault(false);
    return b;
}

/// Keeps the path column of a wizard grid as wide as leaves the count and size columns beside it in sight,
/// between the width of its heading and the designed width, until the user sizes a column; the last column takes
/// whatever room is left.
class PathColumnFit : public QObject {
  public:
    PathColumnFit(QTableView* view, int narrowest, int widest)
        : QObject(view), m_view(view), m_narrowest(narrowest), m_widest(widest) {
        view->viewport()->installEventFilter(this);
        QHeaderView* header = view->horizontalHeader();
        // As set now: the size column may be the last, which stretches.
        m_beside = header->sectionSize(kIcon) + header->sectionSize(kFiles) + header->sectionSize(kSize);
        connect(header, &QHeaderView::sectionResized, this, [this, header](int section) {
            // The stretched last section follows the window; any other change not made here is the user's.
            if (!m_fitting && section != header->count() - 1) m_userSized = true;
        });
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize && !m_userSized) fit();
        return false;
    }

  private:
    void fit() {
        const int width = qMax(m_narrowest, qMin(m_widest, m_view->viewport()->width() - m_beside));
        m_fitting = true;
        m_view->horizontalHeader()->resizeSection(kPath, width);
        m_fitting = false;
    }

    static constexpr int kIcon = 0, kPath = 1, kFiles = 2, kSize = 3;
    QTableView* m_view;
    int m_narrowest;
    int m_widest;
    int m_beside = 0;
    bool m_fitting = false;
    bool m_userSized = false;
};

/// The row of buttons under a tab's grid: the tab's own on the left, Clear and Exit on the right, apart from each
/// other whatever spacing the page's layout has.
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> left, std::initializer_list<QPushButton*> right) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (QPushButton* b : left)
        row->addWidget(b);
    row->addStretch();
    for (QPushButton* b : right)
        row->addWidget(b);
    return row;
}

} // namespace

fKovra::fKovra(AppState& state, BuildMode mode, const QString& packagePath, const QString& comment, QWidget* parent,
               const QStringList& folderRoots)
    : QWidget(parent, Qt::Window), m_state(state), m_mode(mode), m_packagePath(packagePath), m_selection(state) {
    setObjectName("fKovra");
    setWindowTitle("Varnhold");
    // Over the main window, which waits for it; not a QDialog, so the build may hide it while it runs.
    setWindowModality(Qt::ApplicationModal);
    m_selection.handedComment = comment;
    // Until a build succeeds the main window shows again what it showed before.
    m_resultPackage = m_packagePath;
    m_search = std::make_unique<SearchRunner>(state.settings, state.cancel, this);
    m_treeModel = new FolderTreeModel(folderRoots.isEmpty() ? FolderTreeModel::desktopFolders() : folderRoots, this);
    buildForm();
    load();
}

fKovra::~fKovra() {
    // A count still running stops at its next file; the runner then waits for it.
    m_countCancel.cancel();
    m_ticks.clear();
    // A search still running stops; its runner waits for it and reports nothing more.
    if (m_search->isRunning()) m_state.cancel.cancel();
    m_search.reset();
    // The grid models read the selection, a member that goes before the base class deletes its children.
    delete m_tabs;
}

// ---------------------------------------------------------------------------------------------------------
// The form as designed.

QTableView* fKovra::makeGrid(GridKind kind, SelectionGrid& grid, const char* name, QWidget* parent) {
    auto* model = new SelectionTableModel(grid, parent);
    QTableView* view = FormControls::makeGrid(name, model, parent);
    model->setParent(view);
    view->setItemDelegate(new SelectionGridDelegate(view));
    view->setIconSize(QSize(16, 16));
    view->verticalHeader()->setDefaultSectionSize(qMax(18, view->fontMetrics().height() + 4));
    QHeaderView* header = view->horizontalHeader();
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setHighlightSections(false);
    header->setMinimumSectionSize(20);
    // The designed widths, widened where this font needs more room for a heading (with its sort mark) or for a
    // bold total of many files and bytes.
    const QFontMetrics metrics = view->fontMetrics();
    QFont bold = view->font();
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    // A heading needs its margins and room for the sort mark; a cell its margins.
    const QStyle* style = header->style();
    const int headingPad = 3 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) +
                           style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
    const int cellPad = metrics.horizontalAdvance(u'M');
    const QVector<GridColumn>& columns = gridColumns(kind);
    int pathNarrowest = 0;
    int pathWidest = 0;
    for (int i = 0; i < columns.size(); ++i) {
        int width = columns[i].width;
        const int heading = columns[i].header.isEmpty() ? 0 : metrics.horizontalAdvance(columns[i].header) + headingPad;
        width = qMax(width, heading);
        if (columns[i].field == GridField::Files || columns[i].field == GridField::Size)
            width = qMax(width, boldMetrics.horizontalAdvance(QStringLiteral("99,999,999")) + cellPad);
        if (columns[i].field == GridField::Path) {
            pathNarrowest = heading;
            pathWidest = width;
        }
        view->setColumnWidth(i, width);
    }
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    // The grid takes the room the window gives: the path column as much as keeps the counts in sight, the last
    // column the rest.
    header->setStretchLastSection(true);
    new PathColumnFit(view, pathNarrowest, pathWidest);
    connect(header, &QHeaderView::sectionClicked, this, [this, kind](int section) { sortGrid(kind, section); });
    m_panes[size_t(kind)] = {&grid, model, view, -1, true};
    return view;
}

void fKovra::buildForm() {
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("vsIndexTab1");
    m_tabs->setDocumentMode(false);
    const QStringList captions = WizardForm::tabCaptions(m_mode);
    m_tabs->addTab(buildFoldersTab(), captions[FoldersTab]);
    m_tabs->addTab(buildFilesTab(), captions[FilesTab]);
    m_tabs->addTab(buildSetsTab(), captions[SetsTab]);
    m_tabs->addTab(buildSearchTab(), captions[SearchTab]);
    m_tabs->addTab(buildBuildTab(), captions[BuildTab]);
    connect(m_tabs, &QTabWidget::currentChanged, this, &fKovra::tabChanged);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_tabs);
}

QWidget* fKovra::buildFoldersTab() {
    auto* page = new QWidget;
    m_tree = new QTreeView(page);
    m_tree->setObjectName("FolderTreeview1");
    m_tree->setHeaderHidden(true);
    m_tree->setModel(m_treeModel);
    m_tree->setUniformRowHeights(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Deep folders scroll sideways rather than being cut to "...".
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QFileIconProvider icons;
    const QIcon folderIcon = icons.icon(QAbstractFileIconProvider::Folder);
    const QIcon desktopIcon = icons.icon(QAbstractFileIconProvider::Desktop);
    m_treeModel->setIconLookup([folderIcon, desktopIcon](bool desktop) { return desktop ? desktopIcon : folderIcon; });
    m_tree->expand(m_treeModel->index(0, 0));
    connect(m_treeModel, &FolderTreeModel::tickChanged, this, &fKovra::folderTicked);

    QTableView* grid = makeGrid(GridKind::Folders, m_selection.folders, "vbalGrid2", page);
    auto* split = new QSplitter(Qt::Horizontal, page);
    split->addWidget(m_tree);
    split->addWidget(grid);
    // Both grow with the window, the grid faster, as it has more columns to show.
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    split->setSizes({170, 380});

    QPushButton* patterns = button("  &Patterns", "Select include/exclude file pattern(s)", "btnPatterns", page);
    QPushButton* help = button("  &Help", "Build/Update zip packages help content", "btnHelp", page);
    QPushButton* clear = button("  Clear", kClearTip, "btnClear", page);
    QPushButton* exit = button("  Ex&it", "Exit", "btnExit", page);
    connect(patterns, &QPushButton::clicked, this, &fKovra::editPatterns);
    connect(help, &QPushButton::clicked, this, [this] { showHelpTopic(this, WizardForm::helpContext(m_mode)); });
    connect(clear, &QPushButton::clicked, this, [this] { clearGrid(GridKind::Folders); });
    connect(exit, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(split, 1);
    layout->addLayout(buttonRow({patterns, help}, {clear, exit}));
    return page;
}

QWidget* fKovra::buildFilesTab() {
    auto* page = new QWidget;
    QTableView* grid = makeGrid(GridKind::Files, m_selection.files, "vbalGrid3", page);
    QPushButton* files = button("Select &files", "Select file(s) for zip package", "btnFiles", page);
    QPushButton* remove = button("Rem&ove", kRemoveTip, "btnRemove", page);
    QPushButton* clear = button("  Clear", kClearTip, "btnClear1", page);
    QPushButton* exit = button("  Exit", "Exit", "btnExit1", page);
    connect(files, &QPushButton::clicked, this, &fKovra::addFiles);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(GridKind::Files); });
    connect(clear, &QPushButton::clicked, this, [this] { clearGrid(GridKind::Files); });
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(grid, 1);
    layout->addLayout(buttonRow({files, remove}, {clear, exit}));
    return page;
}

QWidget* fKovra::buildSetsTab() {
    auto* page = new QWidget;
    QTableView* grid = makeGrid(GridKind::Sets, m_selection.sets, "vbalGrid5", page);
    m_text4 = new QLineEdit(page);
    m_text4->setObjectName("Text4");
    connect(m_text4, &QLineEdit::textEdited, this, [this](const QString& text) { m_selection.setComment = text; });
    QLabel* label = FormControls::makeLabel("Backup set comments:   ", "lblText4", page);
    label->setBuddy(m_text4);
    m_refreshing = FormControls::makeLabel(kRefreshingFolderTotals, "Label0", page);
    m_refreshing->setVisible(false);
    connect(&m_selection, &SelectionModel::statusCaption, this,
            [this](const QString& caption) { m_refreshing->setVisible(!caption.isEmpty()); });

    QPushButton* select = button("Sele&ct backup set", "Select backup set for zip package", "btnSelectSet", page);
    QPushButton* remove = button("Remo&ve", kRemoveTip, "btnRemoveSet", page);
    QPushButton* clear = button("  Clear", kClearTip, "btnClear4", page);
    QPushButton* exit = button("  Exit", "Exit", "btnExit4", page);
    connect(select, &QPushButton::clicked, this, &fKovra::selectBackupSet);
    connect(&m_selection, &SelectionModel::setRowCounted, this, [this] { reloadGrid(GridKind::Sets); });
    connect(&m_selection, &SelectionModel::buildGridChanged, this, [this] { reloadGrid(GridKind::Build); });
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(GridKind::Sets); });
    connect(clear, &QPushButton::clicked, this, [this] { clearGrid(GridKind::Sets); });
    connect(exit, &QPushButton::clicked, this, &QWidget::close);

    auto* comments = new QHBoxLayout;
    comments->addWidget(label);
    comments->addWidget(m_text4, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(grid, 1);
    layout->addLayout(comments);
    layout->addWidget(m_refreshing);
    layout->addLayout(buttonRow({select, remove}, {clear, exit}));
    return page;
}

QWidget* fKovra::buildSearchTab() {
    auto* page = new QWidget;
    QTableView* grid = makeGrid(GridKind::Search, m_selection.search, "vbalGrid6", page);
    QPushButton* search = button(" Se&arch", "Start search", "btnSearch", page);
    QPushButton* remove = button("Re&move", kRemoveTip, "btnRemoveSea", page);
    QPushButton* clear = button("  Clear", kClearTip, "btnClear3", page);
    QPushButton* exit = button("  Exit", "Exit", "btnExit3", page);
    connect(search, &QPushButton::clicked, this, &fKovra::search);
    connect(remove, &QPushButton::clicked, this, [this] { removeSelected(GridKind::Search); });
    connect(clear, &QPushButton::clicked, this, [this] { clearGrid(GridKind::Search); });
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(grid, 1);
    layout->addLayout(buttonRow({search, remove}, {clear, exit}));
    return page;
}

QWidget* fKovra::buildBuildTab() {
    auto* page = new QWidget;
    const WizardForm::GridPlacement place = WizardForm::buildGridPlacement(m_mode);

    // The target fields fill the space above the build grid; updating has no target, and the grid moves up.
    m_targetPanel = new QWidget(page);
    m_targetPanel->setObjectName("targetPanel");
    m_text1 = new QLineEdit(m_targetPanel);
    m_text1->setObjectName("Text1");
    m_text2 = new QLineEdit(m_targetPanel);
    m_text2->setObjectName("Text2");
    QLabel* label1 = FormControls::makeLabel("Target folder:", "lblText1", m_targetPanel);
    QLabel* label2 = FormControls::makeLabel("Target file name:", "lblText2", m_targetPanel);
    label1->setBuddy(m_text1);
    label2->setBuddy(m_text2);
    QPushButton* browse = button("  Se&lect", QString(), "btnBrowse", m_targetPanel);
    connect(browse, &QPushButton::clicked, this, &fKovra::browseTargetFolder);
    auto* target = new QGridLayout(m_targetPanel);
    target->setContentsMargins(0, 0, 0, 0);
    target->setVerticalSpacing(2);
    target->addWidget(label1, 0, 0);
    target->addWidget(m_text1, 0, 1);
    target->addWidget(browse, 0, 2);
    target->addWidget(label2, 1, 0);
    target->addWidget(m_text2, 1, 1);
    target->setColumnStretch(1, 1);

    QTableView* grid = makeGrid(GridKind::Build, m_selection.build, "vbalGrid4", page);
    grid->setMinimumHeight(WizardForm::pixels(place.heightTwips));

    m_text3 = new QLineEdit(page);
    m_text3->setObjectName("Text3");
    connect(m_text3, &QLineEdit::textEdited, this, &fKovra::keepComment);
    QLabel* label3 = FormControls::makeLabel("Zip package comments:   ", "lblText3", page);
    label3->setBuddy(m_text3);

    m_btnBuild = button("  &Build", "Start Build/Update", "btnBuild", page);
    m_btnBuild->setText(BuildTexts::buildButtonCaption(m_mode));
    QPushButton* save = button("&Save backup set", "Save selected backup set for later use", "btnSave", page);
    QPushButton* clear = button("  Cl&ear", kClearTip, "btnClear2", page);
    QPushButton* exit = button("  E&xit", "Exit", "btnExit2", page);
    connect(save, &QPushButton::clicked, this, &fKovra::saveBackupSetFile);
    connect(m_btnBuild, &QPushButton::clicked, this, &fKovra::build);
    connect(clear, &QPushButton::clicked, this, &fKovra::clearBuildGrid);
    connect(exit, &QPushButton::clicked, this, &QWidget::close);

    auto* comments = new QHBoxLayout;
    comments->addWidget(label3);
    comments->addWidget(m_text3, 1);
    auto* layout = new QVBoxLayout(page);
    // The page's top edge is where the placements are measured from.
    layout->setContentsMargins(9, 0, 9, 9);
    layout->setSpacing(0);
    if (m_mode == BuildMode::Build) {
        m_targetPanel->setFixedHeight(WizardForm::pixels(place.topTwips));
        layout->addWidget(m_targetPanel);
    } else {
        m_targetPanel->hide();
        layout->addSpacing(WizardForm::pixels(place.topTwips));
    }
    layout->addWidget(grid, 1);
    layout->addSpacing(6);
    layout->addLayout(comments);
    layout->addSpacing(6);
    layout->addLayout(buttonRow({m_btnBuild, save}, {clear, exit}));
    return page;
}

// ---------------------------------------------------------------------------------------------------------
// Load and unload.

void fKovra::load() {
    resize(WizardForm::pixels(WizardForm::kWidthTwips), WizardForm::pixels(WizardForm::kHeightTwips));
    restorePlacement(*this, m_state.settings, PlacedWindow::Wizard);
    // Other windows may have changed the settings since the start: read them again.
    m_selection.reloadPatterns();
    for (Option option : OptionKeys::all())
        m_state.reload(option);
    m_text1->setText(m_state.path(Option::ZipFolder));
    m_text2->setText(m_state.text(Option::ZipFileName));
}

void fKovra::keyPressEvent(QKeyEvent* event) {
    // Escape leaves the wizard as its Exit buttons do; the controls pass on the keys they do not use.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void fKovra::closeEvent(QCloseEvent* event) {
    // Closing while a build runs would pull the window from under it; the build brings the window back.
    if (building()) {
        event->ignore();
        return;
    }
    m_countCancel.cancel();
    m_ticks.clear();
    m_selection.cancelScans();
    if (m_search->isRunning()) m_state.cancel.cancel();
    m_state.saveText(Option::ZipFileName, m_text2->text());
    // The wizard always opens at its designed size; only where it was is kept.
    if (!isMinimized() && !isMaximized() && !isFullScreen())
        resize(WizardForm::pixels(WizardForm::kWidthTwips), WizardForm::pixels(WizardForm::kHeightTwips));
    storePlacement(*this, m_state.settings, PlacedWindow::Wizard);
    event->accept();
    emit closed(m_resultPackage);
}

// ---------------------------------------------------------------------------------------------------------
// Tabs, the folder tree and the grids.

void fKovra::reloadGrid(GridKind kind) {
    pane(kind).model->reload();
}

void fKovra::reloadGrids() {
    for (GridPane& p : m_panes)
        p.model->reload();
    m_text4->setText(m_selection.setComment);
}

void fKovra::tabChanged(int index) {
    if (index == FoldersTab) {
        // Undo the row patterns a set or a build may have loaded.
        m_selection.reloadPatterns();
    } else if (index == BuildTab) {
        m_selection.setComment = m_text4->text();
        m_selection.refreshBuildGrid();
        reloadGrid(GridKind::Build);
        m_text3->setText(m_selection.packageComment);
        m_text3->setFocus();
        m_text3->selectAll();
    }
}

void fKovra::folderTicked(const QString& folder, bool ticked) {
    if (ticked) {
        m_ticks.tick(folder);
    } else {
        if (m_ticks.untick(folder)) m_countCancel.cancel();
        reloadGrid(GridKind::Folders);
    }
    startNextCount();
}

void fKovra::startNextCount() {
    // Every folder still to be counted shows as a row reading "counting…" until its real row comes.
    pane(GridKind::Folders).model->setPending(m_ticks.pending());
    if (m_countRunner.isRunning()) return;
    const std::optional<FolderTicks::Count> next = m_ticks.startNext();
    if (!next) {
        unsetCursor();
        emit folderCountsDone();
        // The folder rows of a loaded set are counted on the same runner once no ticked folder waits.
        if (const std::optional<SelectionModel::SetRowCount> row = m_selection.startNextSetRow())
            runCount(row->folder, row->patterns,
                     [this](const FolderCount& count) { m_selection.setRowFinished(count); });
        return;
    }
    // The busy pointer says a count runs; the window keeps answering, so more folders can be ticked meanwhile.
    setCursor(Qt::BusyCursor);
    runCount(next->folder, next->patterns, [this](const FolderCount& count) {
        if (m_ticks.finished(count, false)) reloadGrid(GridKind::Folders);
    });
}

void fKovra::runCount(const QString& folder, const CurrentPatterns& patterns,
                      std::function<void(const FolderCount&)> done) {
    m_countCancel.clear();
    auto count = std::make_shared<FolderCount>();
    m_countRunner.start([this, folder, patterns, count] { *count = countFolder(folder, patterns, m_countCancel); },
                        [this, count, done = std::move(done)] {
                            done(*count);
                            startNextCount();
                        });
}

void fKovra::sortGrid(GridKind kind, int column) {
    GridPane& p = pane(kind);
    const QVector<GridColumn>& columns = gridColumns(kind);
    if (column < 0 || column >= columns.size()) return;
    p.ascending = !(p.sortColumn == column && p.ascending);
    p.sortColumn = column;
    p.view->horizontalHeader()->setSortIndicator(column, p.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    p.grid->sortBy(columns[column].field, p.ascending);
    p.model->reload();
}

void fKovra::removeSelected(GridKind kind) {
    GridPane& p = pane(kind);
    const QModelIndexList selected = p.view->selectionModel()->selectedRows();
    if (selected.isEmpty()) return;
    const int row = selected.first().row();
    // A row still being counted is taken back by unticking its folder.
    if (row >= p.grid->rowCount() || p.grid->isSummary(row)) return;
    p.grid->removeRow(row);
    p.grid->refreshSummary();
    p.model->reload();
}

void fKovra::clearGrid(GridKind kind) {
    if (kind == GridKind::Folders) {
        // Counts still waiting or running belong to the ticks cleared here.
        if (m_ticks.clear()) m_countCancel.cancel();
        m_treeModel->clearTicks();
        pane(GridKind::Folders).model->setPending(m_ticks.pending());
    }
    if (kind == GridKind::Sets && m_selection.cancelScans()) m_countCancel.cancel();
    pane(kind).grid->clear();
    reloadGrid(kind);
}

void fKovra::keepComment(const QString& comment) {
    // Typing calls this too; setting the same text again would move the cursor to the end.
    if (m_text3->text() != comment) m_text3->setText(comment);
    m_selection.packageComment = comment;
    m_selection.commentTyped = true;
}

void fKovra::clearBuildGrid() {
    m_selection.selectedFiles = 0;
    m_selection.selectedBytes = 0;
    m_text3->clear();
    // The box is empty and untouched again: the next visit of the tab fills it.
    m_selection.packageComment.clear();
    m_selection.commentTyped = false;
    m_selection.build.clear();
    reloadGrid(GridKind::Build);
}

// ---------------------------------------------------------------------------------------------------------
// The buttons.

void fKovra::editPatterns() {
    m_selection.patterns = fPatterns::edit(m_state.settings, this);
}

void fKovra::addFiles() {
    const QString start = m_state.text(Option::WizardBrowseFolder);
    QStringList chosen;
    QString answer;
    // A test queues the chosen paths (one a line, or "cancel") instead of walking the file dialog.
    if (DialogHook::takeAnswer(answer)) {
        if (answer != QLatin1String("cancel")) chosen = answer.split(u'\n', Qt::SkipEmptyParts);
    } else {
        chosen = QFileDialog::getOpenFileNames(this, kFilesDialogTitle, start, QStringLiteral("All Files (*)"), nullptr,
                                               QFileDialog::DontResolveSymlinks);
    }
    if (chosen.isEmpty()) return;
    m_selection.addFiles(chosen);
    reloadGrid(GridKind::Files);
}

void fKovra::addPicked(const QStringList& paths) {
    QStringList files;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            files << path;
        } else if (const QModelIndex folder = m_treeModel->indexOf(path); folder.isValid()) {
            m_tree->scrollTo(folder);
            m_treeModel->setData(folder, Qt::Checked, Qt::CheckStateRole); // counted as a click's tick is
        }
    }
    if (!files.isEmpty() && m_selection.addFiles(files, false) > 0) reloadGrid(GridKind::Files);
    m_tabs->setCurrentIndex(files.isEmpty() ? FoldersTab : FilesTab);
}

void fKovra::browseTargetFolder() {
    m_text1->setFocus();
    QString start = m_state.path(Option::ZipFolder);
    QString picked;
    // A test queues the picked folder (or "cancel") instead of walking the folder dialog.
    if (DialogHook::takeAnswer(picked)) {
        if (picked == QLatin1String("cancel")) picked.clear();
    } else {
        picked = QFileDialog::getExistingDirectory(this, kFolderDialogTitle, start);
    }
    if (picked.isEmpty()) return;
    const QString folder = WizardForm::targetFolderText(picked);
    m_text1->setText(folder);
    m_state.saveText(Option::ZipFolder, folder);
}

void fKovra::selectBackupSet() {
    const QString setPath = fBkSet::pick(m_state, this);
    if (setPath.isEmpty()) return;
    // A set loaded before, whose folders may still be counted, makes way for the new one.
    if (m_selection.cancelScans()) m_countCancel.cancel();
    m_selection.sets.clear();
    m_selection.setComment.clear();
    m_text4->clear();
    // The files and the folder rows come at once; the folders are counted in the background, each row filled in
    // as its count ends, with "Refreshing folder totals" shown meanwhile.
    const Status loaded = m_selection.startLoadBackupSet(setPath);
    m_text4->setText(m_selection.setComment);
    reloadGrid(GridKind::Sets);
    startNextCount();
    if (!loaded) MessageDialogs::showError(this, loaded.message());
}

bool fKovra::refuseWhileCounting() {
    if (!counting()) return false;
    MessageDialogs::showError(this, kCountsPendingMessage);
    return true;
}

void fKovra::saveBackupSetFile() {
    if (refuseWhileCounting()) return;
    const QVector<SelectionRow> rows = m_selection.build.allRows();
    if (const QString refusal = saveSetRefusal(m_text3->text(), rows); !refusal.isEmpty()) {
        MessageDialogs::showError(this, refusal);
        if (m_text3->text().isEmpty()) m_text3->setFocus();
        return;
    }
    const QString packageName = m_mode == BuildMode::Build ? m_text2->text() : QFileInfo(m_packagePath).fileName();
    const std::optional<SetSaveChoice> choice =
        fBkSetSave::ask(m_state, offeredSetName(packageName), m_text3->text(), this);
    if (!choice) return;
    keepComment(choice->comment);
    if (const Status saved = saveBackupSet(*choice, rows); !saved) MessageDialogs::showError(this, saved.message());
}

void fKovra::search() {
    // The grid is emptied only when a search has run: one not confirmed or refused by its checks leaves it.
    m_search->askAndRun([this](const SearchResult& result) {
        SelectionGrid& grid = m_selection.search;
        grid.clear();
        for (const FolderRecord& file : result.rows) {
            SelectionRow row;
            row.path = file.path;
            row.files = QStringLiteral("1");
            row.size = TextUtil::formatGrouped(file.size);
            grid.appendRow(row, {file.modified(), file.created(), file.accessed()});
        }
        grid.refreshSummary();
        reloadGrid(GridKind::Search);
    });
}

void fKovra::build() {
    if (refuseWhileCounting() || building()) return;
    BuildParams params = BuildParams::fromState(m_state, m_mode);
    params.targetFolder = m_text1->text();
    params.targetFileName = m_text2->text();
    if (m_mode == BuildMode::Update) params.packagePath = m_packagePath;
    params.comment = m_text3->text();
    params.list = m_selection.fillBuildList();
    params.selectedFiles = m_selection.selectedFiles;
    params.selectedBytes = m_selection.selectedBytes;
    // The runner hides the wizard while it works, shows the result over it, hands back the comment the settings
    // dialog left and reports its end.
    m_buildRunner = std::make_unique<BuildRunner>(m_state, std::move(params), this);
    m_buildRunner->setHideOwner(true);
    connect(m_buildRunner.get(), &BuildRunner::finished, this, [this](const BuildResult& result) {
        keepComment(m_buildRunner->comment());
        if (result.ok()) m_resultPackage = result.packagePath;
        // The runner is still emitting; it goes once it has returned to the event loop.
        m_buildRunner.release()->deleteLater();
        emit buildEnded(result);
    });
    m_buildRunner->start();
}
