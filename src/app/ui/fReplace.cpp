#include "fReplace.h"

#include "app/ui/FormControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

fReplace::fReplace(const QString& path, const QString& sizeText, const QString& dateText, QWidget* parent)
    : YesNoDialog(parent) {
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

    // Replacing destroys a file, so Enter must not do it.
    makeButtons("Replace the zip package", "Don't replace the zip package");

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
    auto* buttons = FormControls::makeButtonRow({m_cmdYes, m_cmdNo});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
