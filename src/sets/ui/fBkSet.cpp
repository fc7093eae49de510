#include "fBkSet.h"

#include "app/ui/FormControls.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

fBkSet::fBkSet(AppState& state, QWidget* parent)
    : SetGridDialog(state, "fBkSet", "Select backup Set", "Select backup set help contents", kHelpContext, parent) {
    m_btnSelectSet = FormControls::makeButton(" &Select", "Select backup set for zip package", "btnSelectSet", this);
    m_btnSelectSet->setDefault(true);
    connect(m_btnSelectSet, &QPushButton::clicked, this, &fBkSet::selectChosen);
    // A double-click picks the set it lands on, as selecting it and pressing Select does.
    connect(m_grid, &QTableView::doubleClicked, this, &fBkSet::selectChosen);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lblSelected, 1);
    for (QPushButton* button : {m_btnSelectSet, m_btnDelete, m_btnExit, m_btnHelp})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_headingLabel);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    // Tab goes down the form as it is read: the grid, then the buttons from left to right.
    setTabOrder(m_grid, m_btnSelectSet);
    setTabOrder(m_btnSelectSet, m_btnDelete);
    setTabOrder(m_btnDelete, m_btnExit);
    setTabOrder(m_btnExit, m_btnHelp);
}

QString fBkSet::pick(AppState& state, QWidget* parent) {
    fBkSet dialog(state, parent);
    dialog.exec();
    return dialog.chosenPath();
}

void fBkSet::selectChosen() {
    const QString name = selectedName();
    if (name.isEmpty()) return;
    m_chosenPath = m_setsFolder + name;
    if (QFileInfo::exists(m_chosenPath)) accept();
}

void fBkSet::answerWith(const QString& answer) {
    if (selectSet(answer)) selectChosen();
    if (result() != QDialog::Accepted) reject();
}
