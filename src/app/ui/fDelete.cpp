#include "fDelete.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

const QString fDelete::kFileQuestion =
    QStringLiteral("Are you sure you want to delete this file from the zip package?");

fDelete::fDelete(const QString& suppressed, const QString& name, QWidget* parent) : AnswerableDialog(parent) {
    setObjectName("fDelete");
    setWindowTitle("Varnhold");

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    m_questionLabel = new QLabel(kFileQuestion, this);
    m_questionLabel->setObjectName("Label1");
    m_lblName = new QLabel(name, this);
    m_lblName->setObjectName("lblName");
    m_lblName->setWordWrap(true);
    QFont bold = m_lblName->font();
    bold.setBold(true);
    m_lblName->setFont(bold);
    m_lblName->setVisible(!name.isEmpty());
    // Entry names may hold anything; neither the name nor a question naming it is read as markup.
    m_questionLabel->setTextFormat(Qt::PlainText);
    m_lblName->setTextFormat(Qt::PlainText);

    m_dontShowCheck = new QCheckBox("Don't show ", this);
    m_dontShowCheck->setObjectName("SSCheck1");
    m_dontShowCheck->setChecked(suppressed == QLatin1String("-1"));

    m_cmdYes = new QPushButton(" &Yes", this);
    m_cmdYes->setObjectName("cmdYes");
    m_cmdYes->setToolTip("Delete File");
    m_cmdNo = new QPushButton(" &No", this);
    m_cmdNo->setObjectName("cmdNo");
    m_cmdNo->setToolTip("Don't delete the file");
    // A delete cannot be undone, so Enter keeps the file.
    m_cmdNo->setDefault(true);
    connect(m_cmdYes, &QPushButton::clicked, this, [this] {
        m_answer = QStringLiteral("y");
        accept();
    });
    connect(m_cmdNo, &QPushButton::clicked, this, &QDialog::reject);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_questionLabel);
    texts->addWidget(m_lblName);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_dontShowCheck);
    bottom->addStretch();
    bottom->addWidget(m_cmdYes);
    bottom->addWidget(m_cmdNo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void fDelete::setQuestion(const QString& question) {
    m_questionLabel->setText(question);
}

QString fDelete::suppressed() const {
    return m_dontShowCheck->isChecked() ? QStringLiteral("-1") : QStringLiteral("0");
}

void fDelete::done(int result) {
    if (result != QDialog::Accepted) m_answer = QStringLiteral("n");
    QDialog::done(result);
}

void fDelete::answerWith(const QString& answer) {
    if (answer == QLatin1String("y")) {
        m_answer = QStringLiteral("y");
        done(QDialog::Accepted);
    } else {
        done(QDialog::Rejected);
    }
}
