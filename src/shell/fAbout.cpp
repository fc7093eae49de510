#include "fAbout.h"
#include "app/Version.h"
#include "app/ui/FormControls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <archive.h>

#include <libdeflate.h>
#include <openssl/crypto.h>
#include <zip.h>
#include <zlib.h>

namespace {
using FormControls::makeButton;
using FormControls::makeLabel;
using FormControls::makePlainLabel;
} // namespace

fAbout::fAbout(QWidget* parent) : AnswerableDialog(parent) {
    setObjectName("fAbout");
    setWindowTitle("About Varnhold");

    QLabel* name = makePlainLabel(programLine(), "lblName", this);
    QFont heading = name->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    name->setFont(heading);
    QLabel* purpose = makeLabel(QStringLiteral("Backs up your files into zip packages and works with the zip packages "
                                               "on your disks."),
                                "lblPurpose", this);
    purpose->setWordWrap(true);
    purpose->setMinimumWidth(purpose->fontMetrics().averageCharWidth() * 56);
    QLabel* usesLabel = makeLabel(QStringLiteral("Built on:"), "lblUses", this);

    auto* uses = new QGridLayout;
    uses->setHorizontalSpacing(24);
    uses->setContentsMargins(12, 0, 0, 0);
    int row = 0;
    for (const auto& [library, version] : libraries()) {
        const QString slug = QString(library).remove(u' ');
        QLabel* libraryLabel = makePlainLabel(library, "", this);
        libraryLabel->setObjectName("lblLibrary" + slug);
        QLabel* versionLabel = makePlainLabel(version, "", this);
        versionLabel->setObjectName("lblVersion" + slug);
        versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        uses->addWidget(libraryLabel, row, 0);
        uses->addWidget(versionLabel, row, 1);
        ++row;
    }
    uses->setColumnStretch(1, 1);

    QPushButton* exit = makeButton(QStringLiteral(" &Exit"), QStringLiteral("Exit"), "btnExit", this);
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = FormControls::makeButtonRow({exit});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(purpose);
    layout->addSpacing(10);
    layout->addWidget(usesLabel);
    layout->addLayout(uses);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    exit->setFocus();
}

QString fAbout::programLine() {
    return QStringLiteral("Varnhold " VARNHOLD_VERSION);
}

QList<QPair<QString, QString>> fAbout::libraries() {
    // The versions of the libraries loaded now, where a library tells its own; libdeflate only tells the version
    // the program was built with.
    return {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion())},
        {QStringLiteral("libzip"), QString::fromLatin1(zip_libzip_version())},
        {QStringLiteral("zlib"), QString::fromLatin1(zlibVersion())},
        {QStringLiteral("libdeflate"), QStringLiteral(LIBDEFLATE_VERSION_STRING)},
        {QStringLiteral("libarchive"),
         QString::fromLatin1(archive_version_string()).remove(QStringLiteral("libarchive "))},
#ifdef OPENSSL_VERSION_STRING // OpenSSL 3: the number alone; before it the name with the number and date
        {QStringLiteral("OpenSSL libcrypto"), QString::fromLatin1(OpenSSL_version(OPENSSL_VERSION_STRING))},
#else
        {QStringLiteral("OpenSSL libcrypto"), QString::fromLatin1(OpenSSL_version(OPENSSL_VERSION))},
#endif
    };
}
