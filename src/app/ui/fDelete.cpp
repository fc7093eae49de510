#include "fDelete.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

const QString fDelete::kFileQuestion =
    QStringLiteral("Are you sure you want to delete this file from the zip package?");

fDelete::fDelete(const QString& suppressed, const QString& name, QWidget* parent) : YesNoDialog(parent) {
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

    // A delete cannot be undone, so Enter keeps the file.
    makeButtons("Delete File", "Don't delete the file");

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
