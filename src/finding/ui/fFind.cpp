#include "fFind.h"

#include "PackageTableModel.h"
#include "app/AppState.h"
#include "app/ui/FormControls.h"
#include "app/ui/HelpViewer.h"
#include "finding/FixedDrives.h"
#include "finding/PackageFinder.h"
#include "finding/PackageIndex.h"
#include "utility/FileOps.h"
#include "utility/NativePath.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyle>
#include <QTableView>
#include <QTextDocument>
#include <QVBoxLayout>
#include <memory>

using namespace FormControls;

// vsElastic2: the status caption over a fill that shows the share of a drive's packages checked.
class StatusPanel : public QWidget {
  public:
    explicit StatusPanel(QWidget* parent) : QWidget(parent) {
        setObjectName("vsElastic2");
        setMinimumHeight(fontMetrics().height() + 8);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QString text() const { return m_text; }
    int percent() const { return m_percent; }
    void setText(const QString& text) {
        m_text = text;
        // A tooltip that looks like markup is shown as markup; a path is shown as it is.
        setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpacePre));
        update();
    }
    void setPercent(int percent) {
        m_percent = std::clamp(percent, 0, 100);
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect frame = rect().adjusted(0, 0, -1, -1);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame);
        QRect fill = frame.adjusted(1, 1, 0, 0);
        fill.setWidth(fill.width() * m_percent / 100);
        painter.fillRect(fill, palette().color(QPalette::Highlight).lighter(160));
        painter.setPen(palette().color(QPalette::WindowText));
        const QRect textRect = frame.adjusted(4, 0, -4, 0);
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(m_text, Qt::ElideMiddle, textRect.width()));
    }

  private:
    QString m_text;
    int m_percent = 0;
};

fFind::fFind(AppState& state, QWidget* parent, std::optional<QStringList> drives)
    : AnswerableDialog(parent), m_state(state) {
    setObjectName("fFind");
    buildForm();
    load(drives ? *drives : FixedDrives::roots());
}

fFind::~fFind() {
    m_cancel.cancel();
    m_runner.wait();
    if (m_runner.isRunning()) QApplication::restoreOverrideCursor();
}

void fFind::buildForm() {
    setWindowTitle(QStringLiteral("Varnhold"));
    auto* layout = new QVBoxLayout(this);
    auto* title = makeLabel(QStringLiteral("Find Zip Packages"), "lblTitle", this);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    title->setFont(big);
    layout->addWidget(title);

    auto* top = new QHBoxLayout;
    layout->addLayout(top, 1);
    auto* left = new QVBoxLayout;
    top->addLayout(left, 1);

    auto* driveBox = new QGroupBox(QStringLiteral("Select Drives"), this);
    driveBox->setObjectName("fraDrives");
    auto* driveLayout = new QVBoxLayout(driveBox);
    m_drives = new QListWidget(driveBox);
    m_drives->setObjectName("List1");
    m_drives->setSelectionMode(QAbstractItemView::MultiSelection);
    driveLayout->addWidget(m_drives);
    left->addWidget(driveBox, 1);

    m_searchInside = makeCheck(QStringLiteral("Search for file name in zip package:"), "SSOption6", this);
    left->addWidget(m_searchInside);
    m_pattern = new QLineEdit(this);
    m_pattern->setObjectName("txtFindFPZipFiles");
    left->addWidget(m_pattern);

    m_model = new PackageTableModel(this);
    m_model->setPackageIcon(style()->standardIcon(QStyle::SP_FileIcon));
    m_grid = FormControls::makeGrid("vbalGrid1", m_model, this);
    m_grid->setTextElideMode(Qt::ElideMiddle);
    // The path takes the room the grid has beyond the icon and the size, which is wide enough for the size of a
    // package of a terabyte: a size must never be shortened.
    const QFontMetrics metrics = m_grid->fontMetrics();
    const int room = metrics.horizontalAdvance(QStringLiteral("xxxxx"));
    const int sizeText = std::max(metrics.horizontalAdvance(QStringLiteral("000,000,000,000")),
                                  metrics.horizontalAdvance(QStringLiteral("Size(Bytes)")));
    m_grid->setColumnWidth(PackageTableModel::Icon, 20);
    m_grid->setColumnWidth(PackageTableModel::FileName, 208);
    m_grid->setColumnWidth(PackageTableModel::Size, std::max(90, sizeText + room));
    m_grid->horizontalHeader()->setStretchLastSection(false);
    m_grid->horizontalHeader()->setSectionResizeMode(PackageTableModel::FileName, QHeaderView::Stretch);
    m_grid->setMinimumWidth(20 + 208 + std::max(90, sizeText + room));
    top->addWidget(m_grid, 2);

    m_panel = new StatusPanel(this);
    layout->addWidget(m_panel);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    m_btnFind = makeButton(QStringLiteral("  &Find"), QStringLiteral("Find the zip packages on the selected drives"),
                           "btnFind", this);
    m_btnOpen = makeButton(QStringLiteral("  &Open"), QStringLiteral("Open the zip package"), "btnOpen", this);
    m_btnClear = makeButton(QStringLiteral("  C&lear"), QStringLiteral("Clear zip packages"), "btnClear", this);
    m_btnHelp =
        makeButton(QStringLiteral("  &Help"), QStringLiteral("Find zip packages help contents"), "btnHelp", this);
    m_btnExit = makeButton(QStringLiteral(" &Cancel"), QStringLiteral("Cancel"), "btnExit", this);
    for (QPushButton* b : {m_btnFind, m_btnOpen, m_btnClear, m_btnHelp, m_btnExit}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();

    connect(m_btnFind, &QPushButton::clicked, this, &fFind::find);
    connect(m_btnOpen, &QPushButton::clicked, this, &fFind::openPicked);
    connect(m_btnClear, &QPushButton::clicked, this, &fFind::clearRows);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, 114); });
    connect(m_btnExit, &QPushButton::clicked, this, &fFind::cancelOrClose);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, &fFind::sortByColumn);
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
        if (rows.isEmpty()) return;
        m_selectedPath = m_model->rows().at(rows.first().row()).path;
        setStatusText(NativePath::display(m_selectedPath));
    });
    connect(m_grid, &QTableView::doubleClicked, this, &fFind::openPicked);
    resize(780, 440);
}

void fFind::load(const QStringList& drives) {
    const FindSettings settings = FindSettings::load(m_state.settings);
    m_pattern->setText(settings.pattern);
    for (const QString& root : drives.mid(0, FixedDrives::kMaxDrives)) {
        auto* item = new QListWidgetItem(root, m_drives);
        item->setSelected(FixedDrives::isSelected(settings.drives, root));
    }
    m_model->setRows(PackageIndex::load(m_state.folders.app));
    m_grid->horizontalHeader()->setSortIndicator(PackageTableModel::FileName, Qt::AscendingOrder);
    m_pattern->selectAll();
    m_grid->setFocus();
}

QStringList fFind::selectedDrives() const {
    QStringList selected;
    for (int i = 0; i < m_drives->count(); ++i)
        if (m_drives->item(i)->isSelected()) selected << m_drives->item(i)->text();
    return selected;
}

FindSettings fFind::currentSettings() const {
    FindSettings settings;
    settings.drives = FixedDrives::joined(selectedDrives());
    settings.pattern = m_pattern->text();
    return settings;
}

QString fFind::statusText() const {
    return m_panel->text();
}

int fFind::percent() const {
    return m_panel->percent();
}

void fFind::setStatusText(const QString& text) {
    m_panel->setText(text);
}

void fFind::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
    m_btnFind->setEnabled(!busy);
    m_btnClear->setEnabled(!busy);
}

void fFind::find() {
    if (m_runner.isRunning()) return;
    m_grid->clearSelection();
    m_model->clear();
    const FindSettings settings = currentSettings();
    settings.store(m_state.settings);
    const QStringList roots = selectedDrives();
    if (const QString problem = FindChecks::drivesProblem(roots); !problem.isEmpty()) {
        setStatusText(problem);
        return;
    }
    FindParams params;
    params.roots = roots;
    params.searchInside = m_searchInside->isChecked();
    params.entryPattern = settings.pattern;
    if (params.searchInside) {
        if (const QString problem = FindChecks::patternProblem(params.entryPattern); !problem.isEmpty()) {
            setStatusText(problem);
            m_pattern->setFocus();
            return;
        }
    }

    setBusy(true);
    m_cancel.clear();
    m_panel->setPercent(0);
    auto result = std::make_shared<FindResult>();
    FindProgress progress;
    // The job's callbacks run on its thread; the panel is changed on the window thread.
    progress.scanned = [this](const QString& root, qint64 counter) {
        m_runner.post([this, root, counter] {
            setStatusText(QStringLiteral("Drive ") + root + QStringLiteral("   files scanned: ") +
                          QString::number(counter));
        });
    };
    progress.processed = [this](int percent) {
        m_runner.post([this, percent] {
            m_panel->setPercent(percent);
            setStatusText(QString::number(percent) + u'%');
        });
    };
    m_runner.start([this, params, result, progress] { *result = PackageFinder(params).run(m_cancel, progress); },
                   [this, result] {
                       QVector<PackageRow> rows = std::move(result->rows);
                       m_sortColumn = PackageTableModel::FileName;
                       m_sortAscending = true;
                       sortRows(rows);
                       m_model->setRows(std::move(rows));
                       m_grid->horizontalHeader()->setSortIndicator(PackageTableModel::FileName, Qt::AscendingOrder);
                       m_grid->setFocus();
                       setBusy(false);
                       setStatusText(QStringLiteral("Find zip packages completed"));
                       currentSettings().store(m_state.settings);
                       emit findFinished();
                   });
}

void fFind::openPicked() {
    // The status line shows the selected path with its bytes that are not UTF-8 escaped; Open takes the path itself.
    const QString shown = statusText();
    const QString path = shown == NativePath::display(m_selectedPath) ? m_selectedPath : shown;
    if (path.isEmpty() || !FileOps::regularFileSize(path)) return;
    m_findResult = QStringLiteral("y");
    m_picked = path;
    accept();
}

void fFind::clearRows() {
    setStatusText(QString());
    m_grid->clearSelection();
    m_model->clear();
}

void fFind::cancelOrClose() {
    if (m_runner.isRunning())
        m_cancel.cancel();
    else
        done(QDialog::Rejected);
}

void fFind::reject() {
    cancelOrClose();
}

void fFind::sortByColumn(int column) {
    if (column != PackageTableModel::FileName && column != PackageTableModel::Size) {
        m_grid->horizontalHeader()->setSortIndicator(m_sortColumn,
                                                     m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
        return;
    }
    const bool ascending = !(m_sortColumn == column && m_sortAscending);
    m_sortColumn = column;
    m_sortAscending = ascending;
    m_grid->horizontalHeader()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    m_grid->clearSelection();
    m_model->sortBy(column, ascending);
}

void fFind::done(int result) {
    if (m_closed) return;
    if (m_runner.isRunning()) { // Open or a test's answer during a find: the find stops first
        m_cancel.cancel();
        m_runner.wait();
    }
    m_closed = true;
    // The index is what the grid shows as the dialog closes; a failed save keeps the old one.
    PackageIndex::save(m_state.folders.app, m_model->rows());
    currentSettings().store(m_state.settings);
    AnswerableDialog::done(result);
}

void fFind::answerWith(const QString& answer) {
    if (answer != QLatin1String("cancel") && answer != QLatin1String("n")) {
        setStatusText(answer);
        openPicked();
    }
    if (!m_closed) done(QDialog::Rejected);
}
