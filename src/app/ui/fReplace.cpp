#include "fReplace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

fReplace::fReplace(const QString& path, const QString& sizeText, const QString& dateText, QWidget* parent)
    : AnswerableDialog(parent) {
    setObjectName("fReplace");
    setWindowTitle("Varnhold");

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    auto* label1 = new QLabel("File already exists:", this);
    label1->setObjectName("Label1");
    m_lblFile = new QLabel(path, this);
    m_lblFile->setObjectName("lblFile");
    m_lblFile->setWordWrap(true);
    m_lblFile->setMinimumWidth(320);
    QFont bold = m_lblFile->font();
    bold.setBold(true);
    m_lblFile->setFont(bold);
    m_lblSize = new QLabel(sizeText, this);
    m_lblSize->setObjectName("lblSize");
    m_lblSize->setVisible(!sizeText.isEmpty());
    m_lblDate = new QLabel(dateText, this);
    m_lblDate->setObjectName("lblDate");
    m_lblDate->setVisible(!dateText.isEmpty());
    auto* question = new QLabel("Do you would to replace the file?", this);
    question->setObjectName("Label2");
    // The path is a file name that may hold anything; no label here reads its text as markup.
    for (QLabel* label : {label1, m_lblFile, m_lblSize, m_lblDate, question})
        label->setTextFormat(Qt::PlainText);

    m_cmdYes = new QPushButton(" &Yes", this);
    m_cmdYes->setObjectName("cmdYes");
    m_cmdYes->setToolTip("Replace the zip package");
    m_cmdNo = new QPushButton(" &No", this);
    m_cmdNo->setObjectName("cmdNo");
    m_cmdNo->setToolTip("Don't replace the zip package");
    // Replacing destroys a file, so Enter must not do it.
    m_cmdNo->setDefault(true);
    connect(m_cmdYes, &QPushButton::clicked, this, [this] {
        m_answer = QStringLiteral("y");
        accept();
    });
    connect(m_cmdNo, &QPushButton::clicked, this, &QDialog::reject);

    auto* texts = new QVBoxLayout;
    texts->addWidget(label1);
    texts->addWidget(m_lblFile);
    texts->addWidget(m_lblSize);
    texts->addWidget(m_lblDate);
    texts->addSpacing(8);
    texts->addWidget(question);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdYes);
    buttons->addWidget(m_cmdNo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void fReplace::done(int result) {
    // Only the Yes button sets "y"; closing by the title bar or Escape ends here with "n".
    if (result != QDialog::Accepted) m_answer = QStringLiteral("n");
    QDialog::done(result);
}

void fReplace::answerWith(const QString& answer) {
    if (answer == QLatin1String("y")) {
        m_answer = QStringLiteral("y");
        done(QDialog::Accepted);
    } else {
        done(QDialog::Rejected);
    }
}
