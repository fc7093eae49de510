#include "YesNoDialog.h"

#include <QPushButton>

void YesNoDialog::makeButtons(const QString& yesTip, const QString& noTip) {
    m_cmdYes = new QPushButton(" &Yes", this);
    m_cmdYes->setObjectName("cmdYes");
    m_cmdYes->setToolTip(yesTip);
    m_cmdNo = new QPushButton(" &No", this);
    m_cmdNo->setObjectName("cmdNo");
    m_cmdNo->setToolTip(noTip);
    m_cmdNo->setDefault(true);
    connect(m_cmdYes, &QPushButton::clicked, this, [this] {
        m_answer = QStringLiteral("y");
        accept();
    });
    connect(m_cmdNo, &QPushButton::clicked, this, &QDialog::reject);
}

void YesNoDialog::done(int result) {
    // Only the Yes button sets "y"; closing by the title bar or Escape ends here with "n".
    if (result != QDialog::Accepted) m_answer = QStringLiteral("n");
    QDialog::done(result);
}

void YesNoDialog::answerWith(const QString& answer) {
    if (answer == QLatin1String("y")) {
        m_answer = QStringLiteral("y");
        done(QDialog::Accepted);
    } else {
        done(QDialog::Rejected);
    }
}
