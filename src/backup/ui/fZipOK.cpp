#include "fZipOK.h"
#include "app/ui/FormControls.h"

#include "backup/BuildJob.h"
#include "utility/TextUtil.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

namespace {

using FormControls::makePlainLabel;

QLabel* makeNumber(qint64 value, const char* name, QWidget* parent) {
    QLabel* label = makePlainLabel(TextUtil::formatGrouped(value), name, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

fZipOK::fZipOK(const BuildResult& result, const QString& appFolder, QWidget* parent)
    : AnswerableDialog(parent), m_lockedList(appFolder + QStringLiteral("/Zips/Locked.Txt")) {
    setObjectName("fZipOK");
    setWindowTitle("Varnhold");

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    m_headingLabel =
        makePlainLabel(result.heading.isEmpty() ? QStringLiteral("Update Completed!") : result.heading, "Label0", this);
    QFont heading = m_headingLabel->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    m_headingLabel->setFont(heading);

    const QString shownPath = result.resultPackagePath.isEmpty() ? result.packagePath : result.resultPackagePath;
    m_packageLabel = makePlainLabel(shownPath, "Label2", this);
    m_packageLabel->setWordWrap(true);
    m_packageLabel->setMinimumWidth(360);
    m_packageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The size is measured now, on disk: a package that was not written shows 0. After an update the shown path
    // carries a prefix, so the package itself is measured rather than that text.
    const QFileInfo package(result.packagePath);
    const qint64 packageBytes = package.isFile() ? package.size() : 0;
    auto* filesCaption = makePlainLabel("Total number of files selected:", "Label7", this);
    auto* bytesCaption = makePlainLabel("Total number of bytes selected:", "Label8", this);
    auto* compressedCaption = makePlainLabel("Total compressed bytes", "Label9", this);
    m_filesLabel = makeNumber(result.selectedFiles, "Label5", this);
    m_bytesLabel = makeNumber(result.selectedBytes, "Label4", this);
    m_packageBytesLabel = makeNumber(packageBytes, "Label3", this);

    m_updatedLabel = makePlainLabel(result.updatedLine, "Label6", this);
    m_updatedLabel->setVisible(!result.updatedLine.isEmpty());
    m_lockedLabel = makePlainLabel(result.lockedLine, "Label1", this);
    m_lockedLabel->setVisible(!result.lockedLine.isEmpty());

    m_btnView = new QPushButton(" &View locked files", this);
    m_btnView->setObjectName("btnView");
    m_btnView->setToolTip("View locked files");
    m_btnView->setAutoDefault(false);
    m_btnExit = new QPushButton(" &OK", this);
    m_btnExit->setObjectName("btnExit");
    m_btnExit->setToolTip("Back");
    m_btnExit->setDefault(true);
    connect(m_btnView, &QPushButton::clicked, this, &fZipOK::viewLockedFiles);
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::accept);

    auto* totals = new QGridLayout;
    totals->addWidget(filesCaption, 0, 0);
    totals->addWidget(m_filesLabel, 0, 1);
    totals->addWidget(bytesCaption, 1, 0);
    totals->addWidget(m_bytesLabel, 1, 1);
    totals->addWidget(compressedCaption, 2, 0);
    totals->addWidget(m_packageBytesLabel, 2, 1);
    totals->setColumnStretch(0, 1);
    totals->setHorizontalSpacing(24);
    auto* texts = new QVBoxLayout;
    texts->addWidget(m_headingLabel);
    texts->addWidget(m_packageLabel);
    texts->addSpacing(8);
    texts->addLayout(totals);
    texts->addSpacing(8);
    texts->addWidget(m_updatedLabel);
    texts->addWidget(m_lockedLabel);
    // Files left out for other reasons than a lock, and files that changed while they were read: listed in the
    // same Locked.Txt that "View locked files" opens.
    for (const auto& [line, name] :
         {std::pair{result.leftOutLine, "LabelLeftOut"}, std::pair{result.changedLine, "LabelChanged"}})
        if (!line.isEmpty()) texts->addWidget(makePlainLabel(line, name, this));
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* buttons = FormControls::makeButtonRow({m_btnView, m_btnExit});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void viewLockedList(QWidget* owner, const QString& path) {
    // Opened in the user's text viewer; without a list there is nothing to show. A desktop with no opener for text
    // files gets the list in a read-only view of our own rather than nothing.
    if (!QFileInfo(path).isFile()) return;
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
    QFile file(path);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();

    auto* view = new QDialog(owner);
    view->setObjectName("fLockedList");
    view->setWindowTitle("Varnhold");
    view->setAttribute(Qt::WA_DeleteOnClose);
    auto* list = new QPlainTextEdit(QString::fromUtf8(text), view);
    list->setObjectName("txtLocked");
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, view);
    QObject::connect(buttons, &QDialogButtonBox::rejected, view, &QDialog::reject);
    auto* layout = new QVBoxLayout(view);
    layout->addWidget(makePlainLabel(path, "lblLockedList", view));
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    view->resize(640, 360);
    view->show();
}

void fZipOK::viewLockedFiles() {
    viewLockedList(this, m_lockedList);
}
