#include "fQuick.h"

#include "SelectionGridDelegate.h"
#include "app/AppState.h"
#include "app/ui/FormControls.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "app/ui/PasswordBox.h"
#include "backup/SelectionTableModel.h"
#include "fZipOK.h"
#include "utility/NativePath.h"
#include "utility/TextUtil.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

using FormControls::makeButton;
using FormControls::makeCheck;
using FormControls::makeLabel;

constexpr int kHelpContext = 139;
const QString kExitCaption = QStringLiteral(" &Exit");
const QString kCancelCaption = QStringLiteral(" &Cancel");

QLineEdit* makeBox(const char* name, bool typing, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(!typing);
    if (!typing) box->setFocusPolicy(Qt::ClickFocus);
    return box;
}

QProgressBar* makeGauge(const char* name, QWidget* parent) {
    auto* gauge = new QProgressBar(parent);
    gauge->setObjectName(name);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setFormat(QString());
    gauge->setAlignment(Qt::AlignCenter);
    return gauge;
}

} // namespace

fQuick::fQuick(AppState& state, const QString& packagePath, const QuickSet& set, const QString& comment,
               QWidget* parent)
    : AnswerableDialog(parent), m_state(state), m_packagePath(packagePath) {
    setObjectName("fQuick");
    setWindowTitle("Varnhold");

    QLabel* heading = makeLabel(QuickTexts::kHeading, "lblTitle", this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);

    m_txtPackage = makeBox("Text3", false, this);
    m_txtSet = makeBox("Text1", false, this);
    m_txtComment = makeBox("Text0", true, this);
    m_txtPassword = makeBox("Text2", true, this);
    m_chkHide = makeCheck(QStringLiteral("Hide"), "SSCheck6", this);
    m_optFreshen = new QRadioButton(QStringLiteral("Freshen"), this);
    m_optFreshen->setObjectName("SSOption2_1");
    m_optUpdate = new QRadioButton(QStringLiteral("Update"), this);
    m_optUpdate->setObjectName("SSOption2_2");
    auto* codes = new QButtonGroup(this);
    codes->addButton(m_optFreshen, 1);
    codes->addButton(m_optUpdate, 2);
    m_chkReset = makeCheck(QStringLiteral("Reset archive attribute"), "SSCheck1", this);

    m_model = new SelectionTableModel(m_grid, this);
    m_view = FormControls::makeGrid("vbalGrid1", m_model, this);
    m_view->setItemDelegate(new SelectionGridDelegate(m_view));
    m_view->setIconSize(QSize(16, 16));
    QHeaderView* header = m_view->horizontalHeader();
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    const QVector<GridColumn>& columns = gridColumns(GridKind::Quick);
    for (int i = 0; i < columns.size(); ++i)
        m_view->setColumnWidth(i,
                               qMax(columns[i].width, m_view->fontMetrics().horizontalAdvance(columns[i].header) + 24));
    m_view->setMinimumHeight(150);

    m_gaugeSelecting = makeGauge("vsElastic2", this);
    m_gaugeUpdating = makeGauge("vsElastic3", this);
    m_gaugeUpdated = makeGauge("vsElastic4", this);
    m_gaugeLocked = makeGauge("vsElastic5", this);

    m_btnBuild = makeButton(QStringLiteral(" &Update"), QStringLiteral("Update the zip package"), "btnBuild", this);
    m_btnBuild->setDefault(true);
    m_btnView = makeButton(QStringLiteral(" &View locked files"), QStringLiteral("View locked files"), "btnView", this);
    m_btnView->setAutoDefault(false);
    m_btnView->hide();
    m_btnExit = makeButton(kExitCaption, QStringLiteral("Exit"), "btnExit", this);
    m_btnExit->setAutoDefault(false);
    m_btnHelp =
        makeButton(QStringLiteral(" &Help"), QStringLiteral("Quick zip package update help contents"), "btnHelp", this);
    m_btnHelp->setAutoDefault(false);

    auto* fields = new QGridLayout;
    FormControls::FormRows rows(fields, this);
    rows.add(QStringLiteral("Zip package name:"), "Label3", m_txtPackage);
    rows.add(QStringLiteral("Backup set name:"), "Label1", m_txtSet);
    rows.add(QStringLiteral("Zip package comments:   "), "Label0", m_txtComment);
    rows.add(QStringLiteral("Password:"), "Label2", m_txtPassword, m_chkHide);
    auto* choices = new QHBoxLayout;
    choices->addWidget(m_optFreshen);
    choices->addWidget(m_optUpdate);
    choices->addSpacing(24);
    choices->addWidget(m_chkReset);
    choices->addStretch();
    fields->addLayout(choices, rows.nextRow(), 1, 1, 2);
    fields->setColumnStretch(1, 1);

    auto* gauges = new QGridLayout;
    gauges->addWidget(makeLabel(QStringLiteral("Selecting files for update:"), "Label4", this), 0, 0);
    gauges->addWidget(m_gaugeSelecting, 0, 1);
    gauges->addWidget(makeLabel(QStringLiteral("Updating zip package:"), "Label5", this), 1, 0);
    gauges->addWidget(m_gaugeUpdating, 1, 1);
    gauges->addWidget(makeLabel(QStringLiteral("Files updated:"), "Label6", this), 0, 2);
    gauges->addWidget(m_gaugeUpdated, 0, 3);
    gauges->addWidget(makeLabel(QStringLiteral("Files locked:"), "Label7", this), 1, 2);
    gauges->addWidget(m_gaugeLocked, 1, 3);
    gauges->setColumnStretch(1, 3);
    gauges->setColumnStretch(3, 1);

    auto* buttons = FormControls::makeButtonRow({m_btnBuild, m_btnView, m_btnExit, m_btnHelp});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addSpacing(6);
    layout->addLayout(fields);
    layout->addWidget(m_view, 1);
    layout->addLayout(gauges);
    layout->addLayout(buttons);
    resize(880, 540);

    const QList<QWidget*> screenOrder{m_txtComment, m_txtPassword, m_chkHide, m_optFreshen, m_optUpdate, m_chkReset,
                                      m_view,       m_btnBuild,    m_btnView, m_btnExit,    m_btnHelp};
    FormControls::chainTabOrder(screenOrder);

    connect(m_chkHide, &QCheckBox::toggled, this, [this](bool hide) { setPasswordHidden(m_txtPassword, hide); });
    connect(header, &QHeaderView::sectionClicked, this, &fQuick::sortGrid);
    connect(m_btnBuild, &QPushButton::clicked, this, &fQuick::updateNow);
    connect(m_btnView, &QPushButton::clicked, this, [this] {
        viewLockedList(this, QDir::cleanPath(m_state.folders.app + QStringLiteral("/Zips/Locked.Txt")));
    });
    connect(m_btnExit, &QPushButton::clicked, this, [this] {
        // While the update runs the button only cancels it; the job notices at its next step.
        if (m_runner.isRunning())
            m_state.cancel.cancel();
        else
            reject();
    });
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, kHelpContext); });

    load(packagePath, set, comment);
}

fQuick::~fQuick() {
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_runner.wait();
    }
    m_busy.set(false);
}

void fQuick::load(const QString& packagePath, const QuickSet& set, const QString& comment) {
    m_txtComment->setText(comment);
    m_txtSet->setText(NativePath::display(quickSetName(QFileInfo(packagePath).fileName())));
    m_txtPackage->setText(NativePath::display(packagePath));
    const QuickSettings settings = QuickSettings::load(m_state);
    (settings.code == UpdateCode::Freshen ? m_optFreshen : m_optUpdate)->setChecked(true);
    m_chkReset->setChecked(settings.resetArchive);
    m_chkHide->setChecked(settings.password.hidden);
    setPasswordHidden(m_txtPassword, settings.password.hidden);
    m_txtPassword->setText(settings.password.text);
    for (const SelectionRow& row : set.rows)
        m_grid.appendRow(row);
    m_model->reload();
}

QString fQuick::comment() const {
    return m_txtComment->text();
}

QuickSettings fQuick::currentSettings() const {
    QuickSettings s;
    s.code = m_optFreshen->isChecked() ? UpdateCode::Freshen : UpdateCode::Update;
    s.resetArchive = m_chkReset->isChecked();
    s.password = {m_txtPassword->text(), m_chkHide->isChecked()};
    return s;
}

void fQuick::showGauge(QProgressBar* gauge, int value, const QString& caption) {
    gauge->setValue(value);
    gauge->setFormat(caption);
}

void fQuick::updateNow() {
    if (m_runner.isRunning()) return;
    if (m_grid.rowCount() == 0) {
        MessageDialogs::showError(this, BuildTexts::kSelectFiles);
        return;
    }
    const QuickSettings settings = currentSettings();
    QuickUpdateParams params = QuickUpdateParams::fromState(m_state);
    params.packagePath = m_packagePath;
    params.comment = m_txtComment->text();
    params.rows = m_grid.entries();
    params.code = settings.code;
    params.password = settings.password.text;

    for (QProgressBar* gauge : {m_gaugeSelecting, m_gaugeUpdating, m_gaugeUpdated, m_gaugeLocked})
        showGauge(gauge, 0, QString());
    m_btnExit->setText(kCancelCaption);
    m_btnBuild->setEnabled(false);
    m_busy.set(true);

    BuildCallbacks callbacks;
    const auto toGauge = [this](QProgressBar* gauge) {
        return [this, gauge](int percent) {
            m_runner.post([gauge, percent] { showGauge(gauge, percent, QStringLiteral("%1%").arg(percent)); });
        };
    };
    callbacks.selecting = toGauge(m_gaugeSelecting);
    callbacks.compressing = toGauge(m_gaugeUpdating);
    callbacks.fileLocked = [this](const QString&, qint64 count) {
        m_runner.post([this, count] { showGauge(m_gaugeLocked, 0, TextUtil::formatGrouped(count)); });
    };
    auto result = std::make_shared<BuildResult>();
    m_state.cancel.clear();
    m_runner.start([this, params, callbacks, result] { *result = QuickUpdate(params, callbacks).run(m_state.cancel); },
                   [this, result] { updateEnded(*result); });
}

void fQuick::updateEnded(const BuildResult& result) {
    m_busy.set(false);
    m_btnExit->setText(kExitCaption);
    if (result.outcome == BuildOutcome::Stopped) {
        // Nothing was touched: the package could not be opened or is spanned; the user may close and look.
        m_btnBuild->setEnabled(true);
        if (!result.message.isEmpty()) MessageDialogs::showError(this, result.message);
    } else {
        if (result.outcome == BuildOutcome::Completed) {
            showGauge(m_gaugeSelecting, 100, QStringLiteral("100%"));
            showGauge(m_gaugeUpdating, 100, QStringLiteral("100%"));
            showGauge(m_gaugeUpdated, 100, TextUtil::formatGrouped(result.entriesWritten));
            showGauge(m_gaugeLocked, 100, TextUtil::formatGrouped(result.locked));
        } else if (result.outcome == BuildOutcome::Cancelled) {
            showGauge(m_gaugeSelecting, 0, QuickTexts::kCancelled);
            showGauge(m_gaugeUpdating, 0, QuickTexts::kCancelled);
        } else {
            MessageDialogs::showError(this, result.message);
        }
        m_btnView->setVisible(result.lockedListWritten && result.filesLeftOut());
        m_btnHelp->hide();
        m_btnBuild->hide();
    }
    emit updateFinished();
    if (m_closeWhenDone) {
        currentSettings().store(m_state);
        QDialog::done(QDialog::Rejected);
    }
}

void fQuick::sortGrid(int column) {
    const QVector<GridColumn>& columns = gridColumns(GridKind::Quick);
    if (column <= 0 || column >= columns.size()) return;
    m_ascending = !(m_sortColumn == column && m_ascending);
    m_sortColumn = column;
    m_view->horizontalHeader()->setSortIndicator(column, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    m_grid.sortBy(columns[column].field, m_ascending);
    m_model->reload();
}

void fQuick::done(int result) {
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_closeWhenDone = true;
        return;
    }
    currentSettings().store(m_state);
    QDialog::done(result);
}
