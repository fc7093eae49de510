#include "fMain.h"

#include "EntryCommands.h"
#include "PackageDrops.h"
#include "ViewerIcons.h"
#include "app/AppState.h"
#include "app/StartUp.h"
#include "app/TextViewer.h"
#include "app/ui/DialogHook.h"
#include "app/ui/FormControls.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "app/ui/PlaceWindow.h"
#include "app/ui/fOptions.h"
#include "backup/QuickUpdate.h"
#include "backup/ui/fKovra.h"
#include "backup/ui/fQuick.h"
#include "fAbout.h"
#include "fTest.h"
#include "finding/ui/fFind.h"
#include "sets/SetSaving.h"
#include "tools/ExtractRequest.h"
#include "tools/ui/fExtract.h"
#include "tools/ui/fSFX.h"
#include "tools/ui/fSplit.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"
#include "viewer/EntryFields.h"
#include "viewer/EntryTableModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kOpenDialogTitle = QStringLiteral("Varnhold - Browse for zip packages to open.");
const QString kOpenDialogFilter = QStringLiteral("All Files (*.zip)");

/// The hourglass for the length of a command, restored however the command ends.

/// A menu caption shows "&" literally: paths may contain it, and Qt would take it for a mnemonic.
QString menuCaption(const QString& text) {
    QString out = text;
    return out.replace(u'&', QStringLiteral("&&"));
}

/// The status line's text on one line: line breaks, tabs and other control characters become blanks.
QString oneLine(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return line;
}

} // namespace

/// The status line: always one line, cut with "…" where it is wider than the window, and the whole text in its
/// tooltip. A package comment of many lines must neither make the window taller nor push the window off screen.
class StatusLine : public QLabel {
  public:
    explicit StatusLine(QWidget* parent) : QLabel(parent) {
        setTextFormat(Qt::PlainText);
        setWordWrap(false);
        // A long text must not widen the window either.
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    const QString& fullText() const { return m_full; }
    void setFullText(const QString& text, const QString& details = {}) {
        m_full = text;
        // The tooltip is read as markup when it looks like markup; show the text as it is.
        const QString tip = details.isEmpty() ? text : text + u'\n' + details;
        setToolTip(text.trimmed().isEmpty() ? QString() : Qt::convertFromPlainText(tip, Qt::WhiteSpacePre));
        refit();
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        refit();
    }

  private:
    void refit() {
        // Direction controls in a comment or name would turn the rest of the line round; show them as escapes.
        const QString line = TextUtil::visibleText(oneLine(m_full), false);
        // Until the label has its width on screen it shows the whole line; the first resize cuts it.
        const int room = contentsRect().width();
        setText(isVisible() && room > 0 ? fontMetrics().elidedText(line, Qt::ElideRight, room) : line);
    }

    QString m_full;
};

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QString& tooltip,
                        const QIcon& icon) {
    auto* button = new QPushButton(icon, caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tooltip);
    button->setAutoDefault(false);
    return button;
}

} // namespace

fMain::fMain(AppState& state, QWidget* parent) : QMainWindow(parent), m_state(state) {
    setObjectName("fMain");
    setWindowTitle("Varnhold");
    m_entryCommands = std::make_unique<EntryCommands>(*this);
    buildForm();
    load();
    m_drops = std::make_unique<PackageDrops>(*this); // packages and files dropped on it, entries dragged out
}

fMain::~fMain() = default;

// ---------------------------------------------------------------------------------------------------------
// The form as designed: controls without their run-time captions, which the load step sets.

void fMain::buildForm() {
    m_model = new EntryTableModel(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->setSpacing(6);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    layout->addLayout(buttons);
    const auto addButton = [&](QPushButton*& slot, const char* name) {
        slot = makeButton(central, name, QString(), QString(), QIcon());
        buttons->addWidget(slot);
    };
    addButton(m_btnOpen, "btnOpen");
    addButton(m_btnBuild, "btnBuild");
    addButton(m_btnUpdate, "btnUpdate");
    addButton(m_btnRecent, "btnRecent");
    addButton(m_btnFind, "btnFind");
    addButton(m_btnOptions, "btnOptions");
    addButton(m_btnHelp, "btnHelp");
    addButton(m_btnClose, "btnClose");
    addButton(m_btnExit, "btnExit");
    buttons->addStretch();

    m_grid = new QTableView(central);
    m_grid->setObjectName("vbalGrid1");
    layout->addWidget(m_grid, 1);

    m_status = new StatusLine(this);
    m_status->setObjectName("lblStatus");
    statusBar()->addWidget(m_status, 1);
    statusBar()->setSizeGripEnabled(true);

    setCentralWidget(central);

    const auto makeMenu = [this](const char* name, const QString& title) {
        auto* menu = new QMenu(title, this);
        menu->setObjectName(QString::fromLatin1(name));
        // The greyed-out commands say in their tooltip why; a menu shows tooltips only when told to.
        menu->setToolTipsVisible(true);
        return menu;
    };
    m_mnuFavorites = makeMenu("mnufavorites", "Favorites");
    m_mnuZipOptions = makeMenu("mnuZipOptions", "ZipOptions");
    m_mnuOptions = makeMenu("mnuOptions", "Options");
    m_mnuHelpAll = makeMenu("mnuHelpAll", "Help");
    m_mnuQuicks = makeMenu("mnuQuicks", "Quick");

    // The designed size leaves room for every grid column on an ordinary screen.
    QSize size(1000, 620);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize available = screen->availableGeometry().size();
        size = size.boundedTo(QSize(available.width() * 9 / 10, available.height() * 9 / 10));
    }
    resize(size.expandedTo(QSize(kMinimumWidth, kMinimumHeight)));
}

// ---------------------------------------------------------------------------------------------------------
// The load step, in its fixed order. Each step stands on its own: one that cannot do its work leaves the
// window as it is and the next one runs.

void fMain::load() {
    // The settings store is the AppState's, made by main() for "Brindlecot" / "Varnhold". The placement comes
    // first so the window never shows at a wrong place.
    restorePlacement(*this, m_state.settings, PlacedWindow::Main);
    m_menuIcons = std::make_unique<MenuIcons>(style());
    m_fileIcons = std::make_unique<FileTypeIcons>();
    // Application folder, working folders, emptied Temp, help file, system folders, the recent list and the 28
    // option keys written back: shared with the command-line program.
    runStartUp(m_state, defaultAppFolder());
    setUpGridColumns();
    // Buttons and pop-up menus with their captions and icons, then the recent list in "Favorites".
    setUpMenus();
    refreshFavorites();
    // What the start-up could not do is shown once the window is up: a settings file that cannot be read, a
    // scratch folder that is not the program's own.
    QStringList notes = m_state.startUpNotes;
    if (const QString problem = m_state.settings.problem(); !problem.isEmpty()) notes << problem;
    if (!notes.isEmpty())
        QTimer::singleShot(0, this,
                           [this, notes] { MessageDialogs::showError(this, notes.join(QStringLiteral("\n\n"))); });
}

void fMain::setUpGridColumns() {
    m_model->setIconLookup([this](const QString& key) -> QVariant { return m_fileIcons->icon(key); });
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows can be picked (Shift, Ctrl) and extracted or deleted together.
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setShowGrid(false);
    m_grid->setAlternatingRowColors(true);
    m_grid->setWordWrap(false);
    m_grid->setTextElideMode(Qt::ElideRight);
    m_grid->setIconSize(QSize(16, 16));
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->setSortingEnabled(false); // the header clicks sort through sortByColumn

    // One fixed row height: the view never measures 100,000 rows.
    const QFontMetrics metrics = m_grid->fontMetrics();
    QHeaderView* rows = m_grid->verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(qMax(18, metrics.height() + 4));

    QHeaderView* header = m_grid->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(20);

    // Widths from the texts the columns hold at their widest, plus room for the sort mark, so the columns fit
    // their contents whatever the font without measuring every row.
    const int pad = 2 * metrics.horizontalAdvance(u'M');
    const auto textWidth = [&](const QString& sample, const QString& title) {
        return qMax(metrics.horizontalAdvance(sample), metrics.horizontalAdvance(title) + pad) + pad;
    };
    const int widths[kEntryColumnCount] = {
        24,
        textWidth(QStringLiteral("a_rather_long_file_name.ext"), columnHeader(EntryColumn::Name)),
        textWidth(QStringLiteral("999,999,999"), columnHeader(EntryColumn::Size)),
        textWidth(QStringLiteral("999,999,999"), columnHeader(EntryColumn::Zipped)),
        textWidth(QStringLiteral("2000/00/00  00:00:00"), columnHeader(EntryColumn::Modified)),
        textWidth(QStringLiteral("100%"), columnHeader(EntryColumn::Ratio)),
        textWidth(QStringLiteral("a/folder/path/of/some/depth/"), columnHeader(EntryColumn::Path)),
    };
    for (int i = 0; i < kEntryColumnCount; ++i)
        m_grid->setColumnWidth(i, widths[i]);
    header->setSectionResizeMode(0, QHeaderView::Fixed);

    connect(header, &QHeaderView::sectionClicked, this, [this](int section) { sortByColumn(section + 1); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, &fMain::onSelectionChanged);
    connect(m_grid, &QWidget::customContextMenuRequested, this, &fMain::showEntryMenu);
    // Enter and a double-click open the entry, Delete deletes it, as in a file manager.
    connect(m_grid, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        if (const EntryRow* row = m_model->rowAt(index.row())) m_entryCommands->openRow(*row, *m_mnuZipOptions);
    });
    auto* deleteKey = new QShortcut(QKeySequence::Delete, m_grid, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { m_entryCommands->deleteSelected(); });
    // The window's own keys: open, close, help.
    for (const auto& [keys, action] : std::initializer_list<std::pair<QKeySequence, std::function<void()>>>{
             {QKeySequence(Qt::CTRL | Qt::Key_O), [this] { browseForPackage(); }},
             {QKeySequence(Qt::CTRL | Qt::Key_W), [this] { closePackage(); }},
             {QKeySequence(Qt::Key_F1), [this] { showHelpTopic(this, 100); }}}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, action);
    }
}

QAction* fMain::addItem(QMenu* menu, const QString& name, const QString& caption, const QString& iconKey) {
    auto* action = menu->addAction(m_menuIcons->icon(iconKey), caption);
    action->setObjectName(name);
    action->setIconVisibleInMenu(true);
    return action;
}

void fMain::setUpMenus() {
    MenuIcons& icons = *m_menuIcons;
    const struct {
        QPushButton* button;
        const char* caption;
        const char* tooltip;
        const char* icon;
    } buttons[] = {
        {m_btnOpen, "&Open", "Open zip package", "OPEN"},
        {m_btnBuild, "&Build", "Build new zip package", "BUILD"},
        {m_btnUpdate, "&Update", "Update selected zip package", "UPDATE"},
        {m_btnRecent, "&Recent", "Select the most recent zip packages", "RECENT"},
        {m_btnFind, "&Find", "Find zip packages", "FIND"},
        {m_btnOptions, "O&ptions", "Options/Settings", "OPTIONS"},
        {m_btnHelp, "&Help", "Help contents", "HELP"},
        {m_btnClose, "&Close", "Close selected zip package", "CLOSE"},
        {m_btnExit, "&Exit", "Exit Varnhold", "EXIT"},
    };
    for (const auto& b : buttons) {
        b.button->setText(QString::fromLatin1(b.caption));
        b.button->setToolTip(QString::fromLatin1(b.tooltip));
        b.button->setIcon(icons.icon(QString::fromLatin1(b.icon)));
    }
    connect(m_btnOpen, &QPushButton::clicked, this, &fMain::browseForPackage);
    connect(m_btnFind, &QPushButton::clicked, this, &fMain::findPackages);
    connect(m_btnRecent, &QPushButton::clicked, this, [this] { showMenuBelow(m_mnuFavorites, m_btnRecent); });
    connect(m_btnOptions, &QPushButton::clicked, this, [this] { showMenuBelow(m_mnuOptions, m_btnOptions); });
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showMenuBelow(m_mnuHelpAll, m_btnHelp); });
    connect(m_btnBuild, &QPushButton::clicked, this, &fMain::buildNewPackage);
    connect(m_btnUpdate, &QPushButton::clicked, this, &fMain::updatePackage);
    connect(m_btnClose, &QPushButton::clicked, this, &fMain::closePackage);
    connect(m_btnExit, &QPushButton::clicked, this, &QWidget::close);

    // Favorites: the recent list in items 1 to 9 (captions set by refreshFavorites), then "Exit".
    for (int i = 1; i <= kFavoriteItems; ++i) {
        QAction* item = addItem(m_mnuFavorites, QString("mnufav%1").arg(i), QString(), "ZIPOPTION");
        connect(item, &QAction::triggered, this, [this, i] { openFavorite(i); });
        m_favorites << item;
    }
    m_favorites << addItem(m_mnuFavorites, "mnufav10", "Exit", "EXIT");

    // The grid's right-click menu. The two program lines under "View program" and "Launch program" get their
    // captions when the menu is prepared for an entry; until then they stay out of sight.
    addItem(m_mnuZipOptions, "mnuOpt1", "View program", "OPENWITH");
    QAction* notePad = m_mnuZipOptions->addAction(QString());
    notePad->setObjectName("mnuNotePad");
    notePad->setVisible(false);
    addItem(m_mnuZipOptions, "mnuOpt2", "Launch program", "LAUNCH");
    QAction* launch = m_mnuZipOptions->addAction(QString());
    launch->setObjectName("mnuLaunch");
    launch->setVisible(false);
    QAction* extractOne = addItem(m_mnuZipOptions, "mnuOpt3", "Extract this file", "EXTRACTONE");
    QAction* extractAll = addItem(m_mnuZipOptions, "mnuOpt4", "Extract all files", "EXTRACTALL");
    QAction* properties = addItem(m_mnuZipOptions, "mnuOpt5", "File properties", "PROPERTIES");
    QAction* deleteEntry = addItem(m_mnuZipOptions, "mnuOpt6", "Delete file", "DELETE");
    QAction* openWith = addItem(m_mnuZipOptions, "mnuOpt7", "OpenWith", "VIEW");
    connect(openWith, &QAction::triggered, this, [this] { m_entryCommands->openWith(); });
    connect(notePad, &QAction::triggered, this, [this] { m_entryCommands->view(); });
    connect(launch, &QAction::triggered, this, [this] { m_entryCommands->launch(); });
    QAction* image = addItem(m_mnuZipOptions, "mnuOpt8", "Display image file", "IMAGE");
    connect(properties, &QAction::triggered, this, [this] { m_entryCommands->showProperties(); });
    connect(deleteEntry, &QAction::triggered, this, [this] { m_entryCommands->deleteSelected(); });
    connect(image, &QAction::triggered, this, [this] { m_entryCommands->displayImage(); });
    addItem(m_mnuZipOptions, "mnuOpt9", "Exit", "EXIT");
    connect(extractOne, &QAction::triggered, this, &fMain::extractThisFile);
    connect(extractAll, &QAction::triggered, this, &fMain::extractAllFiles);

    QAction* folderSettings = addItem(m_mnuOptions, "mnuZip1", "Folder Settings", "ZIPOPTION");
    connect(folderSettings, &QAction::triggered, this, &fMain::showFolderSettings);
    QAction* make = addItem(m_mnuOptions, "mnuZip2", "Make self-extracting zip file", "MAKE");
    QAction* split = addItem(m_mnuOptions, "mnuZip3", "Split file", "SPLIT");
    connect(make, &QAction::triggered, this, &fMain::makeSelfExtracting);
    connect(split, &QAction::triggered, this, &fMain::splitPackage);
    QAction* test = addItem(m_mnuOptions, "mnuZip5", "Test zip package", "ZIPOPTION");
    test->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    // The shortcut works from the window too, not only while the menu is open.
    addAction(test);
    connect(test, &QAction::triggered, this, &fMain::testPackage);
    addItem(m_mnuOptions, "mnuZip4", "Exit", "EXIT");

    QAction* helpContents = addItem(m_mnuHelpAll, "mnuHelp1", "Help Contents", "HELP");
    QAction* about = addItem(m_mnuHelpAll, "mnuHelp2", "About", "ABOUT");
    QAction* readme = addItem(m_mnuHelpAll, "mnuHelp3", "Readme", "README");
    addItem(m_mnuHelpAll, "mnuHelp4", "Exit", "EXIT");
    connect(helpContents, &QAction::triggered, this, [this] { showHelpTopic(this, 100); });
    connect(about, &QAction::triggered, this, &fMain::showAbout);
    connect(readme, &QAction::triggered, this, &fMain::showReadme);

    QAction* quickUpdateWizard = addItem(m_mnuQuicks, "mnuQuick1", "Update Zip Package", "QUICK1");
    connect(quickUpdateWizard, &QAction::triggered, this, &fMain::updateWithWizard);
    QAction* quick = addItem(m_mnuQuicks, "mnuQuick2", "Quick Update", "QUICK2");
    connect(quick, &QAction::triggered, this, &fMain::quickUpdate);
    addItem(m_mnuQuicks, "mnuQuick3", "Exit", "EXIT");
    // Each "Exit" item has no action of its own: choosing it closes the menu, which is all it is for.
}

void fMain::refreshFavorites() {
    for (int i = 0; i < kFavoriteItems; ++i) {
        const QString path = i < m_state.recent.size() ? m_state.recent.at(i) : QString();
        QAction* item = m_favorites.at(i);
        item->setText(menuCaption(path));
        item->setData(path);
        item->setIcon(m_menuIcons->icon("ZIPOPTION"));
        // An empty slot would be a blank line in the menu; it does nothing when chosen either way.
        item->setVisible(!path.isEmpty());
    }
}

void fMain::showMenuBelow(QMenu* menu, QPushButton* button) {
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

// ---------------------------------------------------------------------------------------------------------
// Opening, closing and sorting.

QString fMain::packageFileName() const {
    return EntryFields::packageFileName(m_currentPackage);
}

QString fMain::statusText() const {
    return m_status->fullText();
}

void fMain::setStatusText(const QString& text, const QString& details) {
    m_status->setFullText(text, details);
    // The open routine runs without returning to the event loop; paint each step as it is reached.
    if (m_status->isVisible()) m_status->repaint();
    emit statusTextChanged(text);
}

void fMain::browseForPackage() {
    const QString startFolder = m_state.text(Option::OpenPackageFolder);
    QString chosen;
    // A test queues the file name (or "cancel") instead of walking the file dialog.
    if (!DialogHook::takeAnswer(chosen)) {
        // The path is kept as the user picked it (links not resolved): that is the text the recent list shows.
        chosen = QFileDialog::getOpenFileName(this, kOpenDialogTitle, startFolder, kOpenDialogFilter, nullptr,
                                              QFileDialog::DontResolveSymlinks);
    } else if (chosen == QLatin1String("cancel")) {
        chosen.clear();
    }
    if (chosen.isEmpty()) return;
    // The start folder is deliberately not moved to where the user went: it stays the configured one.
    m_state.saveText(Option::OpenPackageFolder, startFolder);
    openPackage(chosen);
}

QString fMain::deleteConfirmation() const {
    return m_state.deleteSuppressed;
}

void fMain::setDeleteConfirmation(const QString& value) {
    m_state.deleteSuppressed = value;
}

bool fMain::openPackage(const QString& path) {
    m_state.deleteSuppressed = QStringLiteral("0");
    m_currentPackage = path;

    m_package.zCloseZipFile();
    clearGrid();

    setStatusText(QString());
    if (m_package.zOpenZipFile(path) != kZipOk) {
        MessageDialogs::showError(this, m_package.zGetLastErrorAsText());
        return false;
    }

    m_totalFiles = m_package.zGetTotalFiles();
    m_totalBytes = m_package.zGetTotalBytes();
    m_openedStamp = FileOps::fileStamp(path);
    FormControls::WaitPointer busy;

    const QString fileName = EntryFields::packageFileName(path);
    setStatusText(EntryFields::buildingStatusText(fileName));

    // Rows and icons go in with the grid's drawing off; the icons are asked for once per extension here, so
    // drawing a row only looks its icon up.
    m_grid->setUpdatesEnabled(false);
    m_model->load(m_package);
    for (const QString& key : m_model->iconKeys())
        m_fileIcons->icon(key);

    m_sortColumn = int(EntryColumn::Name);
    m_sortAscending = true;
    m_grid->horizontalHeader()->setSortIndicator(int(EntryColumn::Name) - 1, Qt::AscendingOrder);
    setStatusText(EntryFields::sortingStatusText(fileName));
    m_model->sortBy(EntryColumn::Name, true);
    m_grid->setUpdatesEnabled(true);
    setStatusText(EntryFields::sortedStatusText(fileName));

    m_comment = m_package.zGetComment();
    setStatusText(EntryFields::openedStatusText(fileName, m_totalFiles, m_totalBytes, m_comment));
    if (!m_package.zOpenNotice().isEmpty()) MessageDialogs::showError(this, m_package.zOpenNotice());

    m_state.addRecent(path);
    refreshFavorites();
    return true;
}

void fMain::clearGrid() {
    m_grid->clearSelection();
    m_model->clear();
}

void fMain::resetSort() {
    m_sortColumn = 0;
    m_sortAscending = true;
    m_grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void fMain::closePackage() {
    FormControls::WaitPointer busy;
    clearGrid();
    setStatusText(QString());
    m_currentPackage.clear();
    m_package.zCloseZipFile();
    resetSort();
}

void fMain::sortByColumn(int column) {
    if (column < 1 || column > kEntryColumnCount) return;
    // Unsorted or descending turns ascending; ascending turns descending.
    const bool ascending = !(m_sortColumn == column && m_sortAscending);
    m_sortColumn = column;
    m_sortAscending = ascending;
    // The header has flipped its mark on its own by now; set it to what the grid really does.
    m_grid->horizontalHeader()->setSortIndicator(column - 1, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);

    FormControls::WaitPointer busy;
    m_grid->setUpdatesEnabled(false);
    m_model->sortBy(EntryColumn(column), ascending);
    m_grid->setUpdatesEnabled(true);
}

void fMain::findPackages() {
    // The find result flag: the dialog turns it to "y" when the user opened a package there.
    QString findResult = QStringLiteral("n");
    QString picked;
    {
        fFind dialog(m_state, this);
        dialog.exec();
        findResult = dialog.findResult();
        picked = dialog.pickedPackage();
    }
    QCoreApplication::processEvents();
    if (findResult == QLatin1String("y")) openPackage(picked);
}

void fMain::openFavorite(int item) {
    // Item 10 is "Exit"; choosing it has already closed the menu.
    if (item < 1 || item > kFavoriteItems) return;
    const QString path = m_favorites.at(item - 1)->data().toString();
    if (path.isEmpty()) return;
    if (!FileOps::regularFileSize(path)) {
        setStatusText(path + QStringLiteral("  -  File not found."));
        return;
    }
    openPackage(path);
}

// ---------------------------------------------------------------------------------------------------------
// Building and updating packages in the build wizard.

void fMain::buildNewPackage() {
    // The wizard is handed the package shown now, which comes back if nothing is built.
    openWizard(false, QString());
    m_currentPackage.clear();
    m_package.zCloseZipFile();
    clearGrid();
    resetSort();
    setStatusText(QString());
}

void fMain::updatePackage() {
    if (m_currentPackage.isEmpty() || m_model->rowCount() == 0) {
        MessageDialogs::showError(this, QStringLiteral("No zip package is opened"));
        return;
    }
    if (m_package.zIsSpanned()) {
        MessageDialogs::showError(this, QStringLiteral("Can not update spanned zip package"));
        return;
    }
    showMenuBelow(m_mnuQuicks, m_btnUpdate);
}

void fMain::makeSelfExtracting() {
    if (m_currentPackage.isEmpty() || m_model->rowCount() == 0) {
        MessageDialogs::showError(this, QStringLiteral("Please select zip package to make self-extracting zip from"));
        return;
    }
    {
        fSFX maker(m_state, m_currentPackage, this);
        maker.exec();
    }
    if (m_state.splitHandOver.isEmpty()) return;
    fSplit splitter(m_state, m_currentPackage, this);
    splitter.exec();
}

void fMain::testPackage() {
    if (m_currentPackage.isEmpty() || m_model->rowCount() == 0) {
        MessageDialogs::showError(this, QStringLiteral("No zip package is opened"));
        return;
    }
    // The check is of the package as it is on disk now.
    if (packageChangedOnDisk()) {
        const QString suppressed = m_state.deleteSuppressed;
        if (!openPackage(m_currentPackage)) return;
        m_state.deleteSuppressed = suppressed;
    }
    fTest check(m_state, m_package, packageFileName(), this);
    check.exec();
    setStatusText(check.summary(), check.failures().join(u'\n'));
    if (check.failures().isEmpty()) return;
    constexpr qsizetype kShown = 20;
    QStringList shown = check.failures().mid(0, kShown);
    if (check.failures().size() > kShown)
        shown << QStringLiteral("... and %1 more").arg(check.failures().size() - kShown);
    MessageDialogs::showError(this, check.summary() + QStringLiteral(":\n") + shown.join(u'\n'));
}

void fMain::splitPackage() {
    if (m_currentPackage.isEmpty() || m_model->rowCount() == 0) {
        MessageDialogs::showError(this, QStringLiteral("Please select zip package to split"));
        return;
    }
    fSplit splitter(m_state, m_currentPackage, this);
    splitter.exec();
}

void fMain::showFolderSettings() {
    fOptions options(m_state, this);
    options.exec();
}

void fMain::showAbout() {
    fAbout about(this);
    about.exec();
}

void fMain::showReadme() {
    const QString viewer = m_state.text(Option::ViewerProgram);
    // The read-me is the program's own; one the user removed since the start is put back.
    writeReadmeIfMissing(m_state.folders.app);
    QStringList command = TextViewer::command(viewer, readmeFilePath(m_state.folders.app));
    if (command.isEmpty()) {
        const QString missing = viewer.trimmed().isEmpty()
                                    ? QStringLiteral("No file viewer program is set.")
                                    : QStringLiteral("The file viewer program \"%1\" was not found.").arg(viewer);
        MessageDialogs::showError(this, missing + QStringLiteral(" Choose one under Options, Folder Settings."));
        return;
    }
    const QString program = command.takeFirst();
    if (!QProcess::startDetached(program, command))
        MessageDialogs::showError(this,
                                  QStringLiteral("The file viewer program \"%1\" could not be started.").arg(program));
}

void fMain::updateWithWizard() {
    clearGrid();
    resetSort();
    const QString comment = m_package.zGetComment();
    setStatusText(QString());
    // The wizard's build works on the package file; the window lets go of it until the wizard closes.
    m_package.zCloseZipFile();
    openWizard(true, comment);
}

void fMain::quickUpdate() {
    if (m_package.zIsSpanned()) {
        MessageDialogs::showError(this, QuickTexts::kSpanned);
        return;
    }
    const QString package = m_currentPackage;
    const QString setPath = findQuickSet(setsFolderOf(m_state), package);
    if (setPath.isEmpty()) {
        MessageDialogs::showError(this, QuickTexts::setNotFound(quickSetName(QFileInfo(package).fileName())));
        return;
    }
    const Result<QuickSet> set = readQuickSet(setPath, m_state.folders.app);
    if (!set) {
        MessageDialogs::showError(this, set.message());
        return;
    }
    const QString comment = m_package.zGetComment();
    clearGrid();
    resetSort();
    setStatusText(QString());
    // The update replaces the package file; the window lets go of it and opens it again once the dialog is gone.
    m_package.zCloseZipFile();
    {
        fQuick dialog(m_state, package, *set, comment, this);
        dialog.exec();
    }
    QTimer::singleShot(0, this, [this, package] {
        if (FileOps::regularFileSize(package)) openPackage(package);
    });
}

void fMain::openWizard(bool updating, const QString& comment) {
    auto* wizard =
        new fKovra(m_state, updating ? BuildMode::Update : BuildMode::Build, m_currentPackage, comment, this);
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    // The window shows what the wizard left: the package it built, or the one it updated (closed for the wizard
    // and opened again here); nothing when no package was built.
    connect(wizard, &fKovra::closed, this, [this](const QString& package) {
        if (!package.isEmpty() && FileOps::regularFileSize(package)) openPackage(package);
        update();
        emit wizardClosed();
    });
    emit wizardOpened(wizard);
    wizard->show();
}

// ---------------------------------------------------------------------------------------------------------
// The grid's selection and its right-click menu.

void fMain::onSelectionChanged() {
    const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
    if (rows.size() > 1)
        setStatusText(EntryFields::selectionStatusText(QStringLiteral("%1 files").arg(rows.size())));
    else if (const EntryRow* row = rows.isEmpty() ? nullptr : m_model->rowAt(rows.first().row()))
        setStatusText(EntryFields::selectionStatusText(TextUtil::visibleText(row->name, false)));
}

void fMain::showEntryMenu(const QPoint& pos) {
    const QModelIndex index = m_grid->indexAt(pos);
    if (!index.isValid()) return;
    // A click inside a selection of several rows keeps it, for commands on all of them.
    if (!m_grid->selectionModel()->isRowSelected(index.row())) m_grid->selectRow(index.row());
    const EntryRow* row = m_model->rowAt(index.row());
    if (!row || !m_entryCommands->prepareMenu(*row, *m_mnuZipOptions)) return;
    m_mnuZipOptions->popup(m_grid->viewport()->mapToGlobal(pos));
}

bool fMain::packageChangedOnDisk() const {
    return !m_currentPackage.isEmpty() && FileOps::fileStamp(m_currentPackage) != m_openedStamp;
}

void fMain::entryDeleted(const QString& name, const QString& folderPath) {
    // The selected row when it is the one, else the first row of that entry.
    const QModelIndexList selected = m_grid->selectionModel()->selectedRows();
    int row = selected.isEmpty() ? -1 : selected.first().row();
    const auto matches = [&](int r) {
        const EntryRow* at = m_model->rowAt(r);
        return at && at->name == name && at->folderPath == folderPath;
    };
    for (int r = 0; !matches(row) && r < m_model->rowCount(); ++r)
        row = r;
    if (matches(row)) m_model->removeEntryRow(row);
    m_totalFiles = m_package.zGetTotalFiles();
    m_totalBytes = m_package.zGetTotalBytes();
    m_openedStamp = FileOps::fileStamp(m_currentPackage);
}

void fMain::showExtractDialog() {
    // The request is in the option values; the answer comes back to the status line.
    fExtract dialog(m_state, m_package, this);
    dialog.exec();
    setStatusText(extractStatusText(dialog.answer()), extractStatusDetails(dialog.answer()));
}

void fMain::extractThisFile() {
    const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
    if (rows.size() > 1) {
        extractSelectedFiles(rows);
        return;
    }
    const EntryRow* row = rows.isEmpty() ? nullptr : m_model->rowAt(rows.first().row());
    if (!row || row->name.isEmpty()) return;
    const QString name = row->name;
    const QString folderPath = row->folderPath;
    emptyScratchFolder(m_state.folders.app, QStringLiteral("Temp"));

    const qint64 index = EntryList::findEntry(m_package, name, folderPath);
    if (index < 0) {
        MessageDialogs::showError(this, name + QStringLiteral(" Not found in zip package"));
        return;
    }
    requestExtractOne(m_state, name, index);
    showExtractDialog();
}

void fMain::extractSelectedFiles(const QModelIndexList& rows) {
    std::vector<qint64> indices;
    for (const QModelIndex& selected : rows) {
        const EntryRow* row = m_model->rowAt(selected.row());
        const qint64 index = row ? EntryList::findEntry(m_package, row->name, row->folderPath) : -1;
        if (index < 0) {
            MessageDialogs::showError(this,
                                      (row ? row->name : QString()) + QStringLiteral(" Not found in zip package"));
            return;
        }
        indices.push_back(index);
    }
    emptyScratchFolder(m_state.folders.app, QStringLiteral("Temp"));
    requestExtractSeveral(m_state, indices);
    showExtractDialog();
}

void fMain::extractAllFiles() {
    emptyScratchFolder(m_state.folders.app, QStringLiteral("Temp"));
    requestExtractAll(m_state);
    showExtractDialog();
}

// ---------------------------------------------------------------------------------------------------------
// Closing.

void fMain::closeEvent(QCloseEvent* event) {
    if (!isMinimized() && !isMaximized() && !isFullScreen())
        resize(qMax(width(), kMinimumWidth), qMax(height(), kMinimumHeight));
    m_package.zCloseZipFile();
    storePlacement(*this, m_state.settings, PlacedWindow::Main);
    event->accept();
}
