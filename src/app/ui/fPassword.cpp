#include "fPassword.h"

#include "PasswordBox.h"
#include "app/AppState.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
const QString kYes = QStringLiteral("-1");
const QString kNo = QStringLiteral("0");
} // namespace

fPassword::fPassword(AppState& state, QWidget* parent) : AnswerableDialog(parent), m_state(state) {
    setObjectName("fPassword");
    // The window has no caption of its own: the question is the label.
    setWindowTitle(QString());

    m_label1 = new QLabel("Enter Password:", this);
    m_label1->setObjectName("Label1");
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName("Text2");
    m_text2->setMinimumWidth(m_text2->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 24);
    m_label1->setBuddy(m_text2);
    m_ssCheck6 = new QCheckBox("Hide", this);
    m_ssCheck6->setObjectName("SSCheck6");

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
    connect(m_ssCheck6, &QCheckBox::toggled, this, [this](bool hide) {
        setPasswordHidden(m_text2, hide);
        m_text2->setFocus();
    });

    const bool hide = m_state.reloadOption("Optionse3") == kYes;
    m_text2->setText(m_state.reloadOption("Optionse4"));
    m_ssCheck6->setChecked(hide);
    setPasswordHidden(m_text2, hide);

    auto* entry = new QHBoxLayout;
    entry->addWidget(m_text2, 1);
    entry->addWidget(m_ssCheck6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOK);
    buttons->addWidget(m_btnExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    layout->addLayout(entry);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_text2->selectAll();
    m_text2->setFocus();
}

bool fPassword::ask(AppState& state, QWidget* parent) {
    fPassword dialog(state, parent);
    return dialog.exec() == QDialog::Accepted;
}

QString fPassword::password() const {
    return m_text2->text();
}

void fPassword::acceptPassword() {
    // No second entry and no check: whatever is in the box, empty included, is the password from now on.
    const QString hide = m_ssCheck6->isChecked() ? kYes : kNo;
    m_state.setOption("Optionse3", hide);
    m_state.setOption("Optionse4", m_text2->text());
    m_state.settings.SaveSettings(kSettingsSection, {{"Optionse3", hide}, {"Optionse4", m_text2->text()}});
    accept();
}

void fPassword::answerWith(const QString& answer) {
    if (isYes(answer))
        acceptPassword();
    else
        reject();
}
