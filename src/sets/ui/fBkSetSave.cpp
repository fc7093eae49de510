#include "fBkSetSave.h"

#include "app/ui/FormControls.h"
#include "app/ui/MessageDialogs.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

fBkSetSave::fBkSetSave(AppState& state, const QString& offeredName, const QString& comment, QWidget* parent)
    : SetGridDialog(state, "fBkSetSave", "Save backup Set", "Save backup set help contents", kHelpContext, parent) {
    m_txtName = new QLineEdit(offeredName, this);
    m_txtName->setObjectName("Text1");
    m_txtComment = new QLineEdit(comment, this);
    m_txtComment->setObjectName("Text4");
    m_btnSaveSet = FormControls::makeButton(" &Save", "Save backup set for zip package", "btnSaveSet", this);
    m_btnSaveSet->setDefault(true);
    connect(m_btnSaveSet, &QPushButton::clicked, this, &fBkSetSave::saveChosen);

    auto* boxes = new QGridLayout;
    boxes->addWidget(FormControls::makeLabel("Save backup set name:", "Label3", this), 0, 0);
    boxes->addWidget(FormControls::makeLabel("Save backup set comments:", "Label4", this), 0, 1);
    boxes->addWidget(m_txtName, 1, 0);
    boxes->addWidget(m_txtComment, 1, 1);
    boxes->setColumnStretch(0, 1);
    boxes->setColumnStretch(1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lblSelected, 1);
    for (QPushButton* button : {m_btnSaveSet, m_btnDelete, m_btnExit, m_btnHelp})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_headingLabel);
    layout->addWidget(m_grid, 1);
    layout->addLayout(boxes);
    layout->addLayout(buttons);

    m_grid->setFocus();
    m_txtName->selectAll();
}

std::optional<SetSaveChoice> fBkSetSave::ask(AppState& state, const QString& offeredName, const QString& comment,
                                             QWidget* parent) {
    fBkSetSave dialog(state, offeredName, comment, parent);
    dialog.exec();
    return dialog.choice();
}

std::optional<SetSaveChoice> fBkSetSave::choice() const {
    if (result() != QDialog::Accepted) return std::nullopt;
    return m_choice;
}

void fBkSetSave::saveChosen() {
    const QString name = acceptedSetName(m_txtName->text());
    m_txtName->setText(name);
    if (const QString why = setNameProblem(name); !why.isEmpty()) {
        MessageDialogs::showError(this, why);
        m_txtName->setFocus();
        return;
    }
    const QString path = m_setsFolder + name;
    // The old set stays until the caller has written the new one whole (saveBackupSet), so Yes here never loses
    // a set to a write that then fails.
    const QFileInfo existing(path);
    if ((existing.exists() || existing.isSymLink()) && MessageDialogs::askReplace(this, name) != QLatin1String("y")) {
        m_txtName->setFocus();
        return;
    }
    m_choice = SetSaveChoice{name, path, m_txtComment->text()};
    accept();
}

void fBkSetSave::answerWith(const QString& answer) {
    if (answer == QLatin1String("cancel") || answer == QLatin1String("n")) {
        reject();
        return;
    }
    if (!isYes(answer)) m_txtName->setText(answer);
    saveChosen();
    if (result() != QDialog::Accepted) reject();
}
