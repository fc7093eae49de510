#include "fProperties.h"

#include "utility/TextUtil.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMimeDatabase>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// "rwxr-xr-x" for Unix permission bits.
QString permissionText(quint32 mode) {
    QString text;
    for (int shift = 6; shift >= 0; shift -= 3)
        text +=
            QString(mode >> shift & 4 ? "r" : "-") + (mode >> shift & 2 ? "w" : "-") + (mode >> shift & 1 ? "x" : "-");
    return text;
}

} // namespace

fProperties::fProperties(const ZipEntry& entry, const QString& package, const QString& copy, QWidget* parent)
    : QDialog(parent) {
    setObjectName("fProperties");
    setWindowTitle(QStringLiteral("Varnhold"));
    const QFileInfo file(copy);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(copy);
    const QString ratio =
        entry.size > 0 ? QString::number(100 - entry.compressedSize * 100 / entry.size) + u'%' : QStringLiteral("0%");
    const QList<std::pair<QString, QString>> rows{
        {QStringLiteral("Name"), TextUtil::visibleText(entry.name, false)},
        {QStringLiteral("Folder in the package"),
         entry.folderPath.isEmpty() ? QStringLiteral("(top)") : TextUtil::visibleText(entry.folderPath, false)},
        {QStringLiteral("Package"), package},
        {QStringLiteral("Size"), TextUtil::formatGrouped(entry.size) + QStringLiteral(" bytes")},
        {QStringLiteral("Zipped size"), TextUtil::formatGrouped(entry.compressedSize) + QStringLiteral(" bytes (") +
                                            ratio + QStringLiteral(" smaller)")},
        {QStringLiteral("Modified"), QDateTime::fromSecsSinceEpoch(entry.modified).toString("yyyy/MM/dd  HH:mm:ss")},
        {QStringLiteral("Kind"), type.comment() + QStringLiteral(" (") + type.name() + u')'},
        {QStringLiteral("Permissions"),
         entry.unixMode ? permissionText(entry.unixMode & 0777) : QStringLiteral("not recorded")},
        {QStringLiteral("CRC-32"), QStringLiteral("%1").arg(entry.crc, 8, 16, QLatin1Char('0')).toUpper()},
        {QStringLiteral("Encrypted"), entry.encrypted ? QStringLiteral("yes") : QStringLiteral("no")},
        {QStringLiteral("Copy opened from"), file.absoluteFilePath()},
    };
    auto* form = new QFormLayout;
    for (const auto& [label, value] : rows) {
        auto* shown = new QLabel(value, this);
        // Names may hold anything; they are never read as markup, and the user can copy them.
        shown->setTextFormat(Qt::PlainText);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        shown->setWordWrap(true);
        form->addRow(label + u':', shown);
        m_lines << label + QStringLiteral(": ") + value;
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* exit = buttons->addButton(QStringLiteral(" &Exit"), QDialogButtonBox::AcceptRole);
    exit->setObjectName("cmdExit");
    exit->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}
