#include "fTest.h"

#include "app/AppState.h"
#include "app/ui/FormControls.h"
#include "zip/ZipPackage.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

fTest::fTest(AppState& state, ZipPackage& package, const QString& packageName, QWidget* parent)
    : QDialog(parent), m_state(state), m_package(package), m_packageName(packageName) {
    setObjectName("fTest");
    setWindowTitle(QStringLiteral("Varnhold"));
    QLabel* label = FormControls::makePlainLabel(QStringLiteral("Testing ") + packageName, "Label1", this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("ProgressBar1");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_btnCancel = FormControls::makeButton(QStringLiteral(" &Cancel"), QStringLiteral("Cancel"), "btnCancel", this);
    connect(m_btnCancel, &QPushButton::clicked, this, &fTest::reject);
    auto* buttons = FormControls::makeButtonRow({m_btnCancel});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    setMinimumWidth(360);
}

fTest::~fTest() {
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_runner.wait();
    }
}

int fTest::exec() {
    const QString password = m_state.text(Option::ZipPassword);
    auto failures = std::make_shared<QStringList>();
    auto result = std::make_shared<int>(kZipOk);
    m_state.cancel.clear();
    m_runner.start(
        [this, password, failures, result] {
            *result = m_package.zTestAll(password, failures.get(), m_state.cancel, [this](const ZipProgress& p) {
                const int percent = p.bytesTotal > 0   ? int(p.bytesDone * 100 / p.bytesTotal)
                                    : p.filesTotal > 0 ? int(p.filesDone * 100 / p.filesTotal)
                                                       : 0;
                m_runner.post([this, percent] { m_progress->setValue(percent); });
            });
        },
        [this, failures, result] {
            m_result = *result;
            m_failures = *failures;
            m_cancelled = m_state.cancel.cancelled();
            QDialog::done(QDialog::Accepted);
        });
    return QDialog::exec();
}

void fTest::reject() {
    if (!m_runner.isRunning()) {
        QDialog::reject();
        return;
    }
    m_state.cancel.cancel();
    m_btnCancel->setEnabled(false);
}

QString fTest::summary() const {
    if (m_cancelled) return QStringLiteral("Test of %1 cancelled").arg(m_packageName);
    const qint64 total = qint64(m_package.entries().size());
    if (m_result == kZipOk && m_failures.isEmpty())
        return QStringLiteral("Test of %1: all %2 entries are OK").arg(m_packageName).arg(total);
    if (m_failures.isEmpty())
        return QStringLiteral("Test of %1 failed: %2").arg(m_packageName, m_package.zGetLastErrorAsText());
    return QStringLiteral("Test of %1: %2 of %3 entries failed").arg(m_packageName).arg(m_failures.size()).arg(total);
}
