#include "fError.h"

#include "DialogHook.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

fError::fError(const QString& message, QWidget* parent) : AnswerableDialog(parent) {
    setObjectName("fError");
    setWindowTitle("Varnhold");

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    m_label1 = new QLabel(message, this);
    m_label1->setObjectName("Label1");
    // Messages carry file names, which may hold anything; they are never read as markup.
    m_label1->setTextFormat(Qt::PlainText);
    m_label1->setWordWrap(true);
    // Library texts can name long paths; let the user copy them into a bug report.
    m_label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_label1->setMinimumWidth(320);

    m_cmdExit = new QPushButton(" &Exit", this);
    m_cmdExit->setObjectName("cmdExit");
    m_cmdExit->setToolTip("Exit");
    m_cmdExit->setDefault(true);
    connect(m_cmdExit, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_label1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdExit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString fError::message() const {
    return m_label1->text();
}

int fError::exec() {
    DialogHook::shownMessages().append(message());
    return AnswerableDialog::exec();
}
