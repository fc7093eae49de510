#include "fPassword.h"

#include "PasswordBox.h"
#include "app/PasswordOptions.h"
#include "app/ui/FormControls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

fPassword::fPassword(AppState& state, QWidget* parent) : AnswerableDialog(parent), m_state(state) {
    setObjectName("fPassword");
    // The window has no caption of its own: the question is the label.
    setWindowTitle(QString());

    m_promptLabel = new QLabel("Enter Password:", this);
    m_promptLabel->setObjectName("Label1");
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName("Text2");
    m_passwordEdit->setMinimumWidth(m_passwordEdit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 24);
    m_promptLabel->setBuddy(m_passwordEdit);
    m_hideCheck = new QCheckBox("Hide", this);
    m_hideCheck->setObjectName("SSCheck6");

    m_cmdOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), "&OK", this);
    m_cmdOK->setObjectName("cmdOK");
    m_cmdOK->setToolTip("Accept password");
    m_cmdOK->setDefault(true);
    m_btnExit = new QPushButton("&Cancel", this);
    m_btnExit->setObjectName("btnExit");
    m_btnExit->setToolTip("Cancel");
    m_btnExit->setAutoDefault(false);
    connect(m_cmdOK, &QPushButton::clicked, this, &fPassword::acceptPassword);
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_hideCheck, &QCheckBox::toggled, this, [this](bool hide) {
        setPasswordHidden(m_passwordEdit, hide);
        m_passwordEdit->setFocus();
    });

    // Another window may have changed these since start-up; the store has the last word.
    m_settings = PasswordOptions::load(m_state);
    const bool hide = m_settings.hidden;
    m_passwordEdit->setText(m_settings.text);
    m_hideCheck->setChecked(hide);
    setPasswordHidden(m_passwordEdit, hide);

    auto* entry = new QHBoxLayout;
    entry->addWidget(m_passwordEdit, 1);
    entry->addWidget(m_hideCheck);
    auto* buttons = FormControls::makeButtonRow({m_cmdOK, m_btnExit});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_promptLabel);
    layout->addLayout(entry);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_passwordEdit->selectAll();
    m_passwordEdit->setFocus();
}

bool fPassword::ask(AppState& state, QWidget* parent) {
    fPassword dialog(state, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.settings().store(state, PasswordSource::Extraction);
    return true;
}

QString fPassword::password() const {
    return m_passwordEdit->text();
}

void fPassword::acceptPassword() {
    // No second entry and no check: whatever is in the box, empty included, is the password from now on.
    m_settings = {m_passwordEdit->text(), m_hideCheck->isChecked()};
    accept();
}

void fPassword::answerWith(const QString& answer) {
    if (isYes(answer))
        acceptPassword();
    else
        reject();
}
