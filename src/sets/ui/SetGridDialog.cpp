#include "SetGridDialog.h"

#include "app/AppState.h"
#include "app/ui/FormControls.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "sets/SetListModel.h"
#include "sets/SetSaving.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

namespace {
const QString kDeleteQuestion = QStringLiteral("Are you sure you want to delete backup set?");
}

SetGridDialog::SetGridDialog(AppState& state, const char* objectName, const QString& heading, const QString& helpTip,
                             int helpContext, QWidget* parent)
    : AnswerableDialog(parent), m_state(state), m_setsFolder(setsFolderOf(state)) {
    setObjectName(objectName);
    setWindowTitle("Varnhold");

    m_headingLabel = FormControls::makeLabel(heading, "Label2", this);
    QFont bold = m_headingLabel->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_headingLabel->setFont(bold);

    m_model = new SetListModel(this);
    m_model->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    m_model->load(listSets(m_setsFolder, state.folders.app));

    m_grid = FormControls::makeGrid("vbalGrid1", m_model, this);
    m_grid->setShowGrid(false);
    QHeaderView* header = m_grid->horizontalHeader();
    header->setSortIndicator(int(SetColumn::Name), Qt::AscendingOrder);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    // The columns are at least as wide as the grid's table gives them, and wide enough for their header (with the
    // sort mark) and, for the time, for a whole time; the comment takes the rest.
    const QFontMetrics metrics = m_grid->fontMetrics();
    const int room = metrics.horizontalAdvance(QStringLiteral("xxxxx"));
    const QString widest[] = {{}, QStringLiteral("A_long_set_name.set"), QStringLiteral("2000/00/00  00:00:00"), {}};
    for (int c = 0; c < SetListModel::kColumnCount - 1; ++c) {
        const auto column = SetColumn(c);
        const int text = std::max(metrics.horizontalAdvance(SetListModel::columnHeader(column)),
                                  metrics.horizontalAdvance(widest[c]));
        m_grid->setColumnWidth(c, std::max(SetListModel::columnWidth(column), c == 0 ? 0 : text + room));
    }
    header->setSectionResizeMode(int(SetColumn::Icon), QHeaderView::Fixed);
    m_grid->setMinimumSize(620, 220);
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        m_model->sortByHeader(section);
        m_grid->horizontalHeader()->setSortIndicator(
            int(m_model->sortColumn()), m_model->sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, &SetGridDialog::showSelection);

    m_lblSelected = FormControls::makePlainLabel({}, "Label1", this);
    // A set name may be 255 bytes long: the label is cut rather than widening the window past the screen.
    m_lblSelected->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    m_btnDelete = FormControls::makeButton(" &Delete", "Delete backup set file", "btnDelete", this);
    m_btnExit = FormControls::makeButton(" &Cancel", "Cancel", "btnExit", this);
    m_btnHelp = FormControls::makeButton("  &Help", helpTip, "btnHelp", this);
    for (QPushButton* button : {m_btnDelete, m_btnExit, m_btnHelp})
        button->setAutoDefault(false);
    connect(m_btnDelete, &QPushButton::clicked, this, &SetGridDialog::deleteSelected);
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnHelp, &QPushButton::clicked, this, [this, helpContext] { showHelpTopic(this, helpContext); });
}

QString SetGridDialog::selectedName() const {
    return m_lblSelected->text();
}

bool SetGridDialog::selectSet(const QString& name) {
    const int row = m_model->rowOf(name);
    if (row < 0) return false;
    m_grid->selectRow(row);
    return true;
}

void SetGridDialog::showSelection() {
    const QModelIndexList rows = m_grid->selectionModel()->selectedRows(int(SetColumn::Name));
    const SetListing* set = rows.isEmpty() ? nullptr : m_model->setAt(rows.first().row());
    m_lblSelected->setText(set ? set->name : QString());
}

void SetGridDialog::deleteSelected() {
    const QString name = selectedName();
    if (name.isEmpty()) return;
    if (m_state.deleteSuppressed != QLatin1String("-1") &&
        MessageDialogs::askDelete(this, m_state.deleteSuppressed, name, kDeleteQuestion) != QLatin1String("y"))
        return;
    if (Status removed = deleteSetFile(m_setsFolder + name); !removed) {
        MessageDialogs::showError(this, removed.message());
        return;
    }
    m_model->removeSet(m_model->rowOf(name));
    // No other set becomes selected: a second press of Delete must not take the next set with it.
    m_grid->clearSelection();
    showSelection();
}
