#include "fCount.h"

#include "app/ui/FormControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

fCount::fCount(CancelToken& cancel, QWidget* parent) : QDialog(parent), m_cancel(cancel) {
    setObjectName("fCount");
    setWindowTitle("Varnhold");
    setModal(false);

    m_captionLabel = new QLabel(this);
    m_captionLabel->setObjectName("Label1");
    m_lblDrive = new QLabel(this);
    m_lblDrive->setObjectName("lblDrive");
    m_lblScan = new QLabel(this);
    m_lblScan->setObjectName("lblScan");
    // The lines change many times a second; a fixed width keeps the window from jumping about.
    for (QLabel* label : {m_captionLabel, m_lblDrive, m_lblScan}) {
        label->setMinimumWidth(340);
        label->setTextFormat(Qt::PlainText);
    }

    m_btnCancel = new QPushButton(" &Cancel", this);
    m_btnCancel->setObjectName("btnCancel");
    m_btnCancel->setToolTip("Cancel");
    connect(m_btnCancel, &QPushButton::clicked, this, &fCount::cancelNow);

    auto* buttons = FormControls::makeButtonRow({m_btnCancel});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_captionLabel);
    layout->addWidget(m_lblDrive);
    layout->addWidget(m_lblScan);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void fCount::setCaptionText(const QString& text) {
    m_captionLabel->setText(text);
}
void fCount::setDriveText(const QString& text) {
    m_lblDrive->setText(text);
}
void fCount::setScanText(const QString& text) {
    m_lblScan->setText(text);
}

void fCount::cancelNow() {
    reject();
}

void fCount::finish() {
    done(QDialog::Accepted);
}

void fCount::reject() {
    m_cancel.cancel();
    QDialog::reject();
}
