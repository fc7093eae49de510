#include "fError.h"

#include "DialogHook.h"
#include "app/ui/FormControls.h"

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

    m_messageLabel = new QLabel(message, this);
    m_messageLabel->setObjectName("Label1");
    // Messages carry file names, which may hold anything; they are never read as markup.
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true);
    // Library texts can name long paths; let the user copy them into a bug report.
    m_messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageLabel->setMinimumWidth(320);

    m_cmdExit = new QPushButton(" &Exit", this);
    m_cmdExit->setObjectName("cmdExit");
    m_cmdExit->setToolTip("Exit");
    m_cmdExit->setDefault(true);
    connect(m_cmdExit, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_messageLabel, 1);
    auto* buttons = FormControls::makeButtonRow({m_cmdExit});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString fError::message() const {
    return m_messageLabel->text();
}

int fError::exec() {
    DialogHook::shownMessages().append(message());
    return AnswerableDialog::exec();
}
