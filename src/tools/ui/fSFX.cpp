#include "fSFX.h"
#include "app/ui/FormControls.h"

#include "app/AppState.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "tools/SfxMaker.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

using FormControls::makeButton;
using FormControls::makeLabel;

constexpr int kHelpContext = 107;
// What the test run shows of the program's answer: its last lines, when it names many damaged entries.
constexpr qsizetype kShownTestLines = 30;

} // namespace

fSFX::fSFX(AppState& state, const QString& package, QWidget* parent)
    : QDialog(parent), m_state(state), m_package(package),
      m_terminal(QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator"))) {
    setObjectName("fSFX");
    setWindowTitle("Varnhold");

    QLabel* title = FormControls::makeTitle(QStringLiteral("Make self-extracting zip file"), "lblTitle", this);

    const auto makeBox = [this](const char* name, bool typing) {
        auto* box = new QLineEdit(this);
        box->setObjectName(name);
        box->setReadOnly(!typing);
        if (!typing) box->setFocusPolicy(Qt::ClickFocus);
        return box;
    };
    m_txtFile = makeBox("txtFile", false);
    m_txtFile->setMinimumWidth(360);
    m_txtSize = makeBox("txtSize", false);
    m_txtPath = makeBox("txtPath", true);
    m_txtNewName = makeBox("txtNewName", true);
    m_btnBrowse =
        FormControls::makeBrowseButton("btnBrowse", QStringLiteral("Browse for the target make folder"), this);
    m_status = FormControls::makePlainLabel({}, "Label1", this);

    m_btnStart =
        makeButton(QStringLiteral(" &Make"), QStringLiteral("Make new self-extracting zip package"), "btnStart", this);
    m_btnStart->setDefault(true);
    m_btnTest = makeButton(QStringLiteral(" &Test"), QStringLiteral("Test the new self-extracting zip package"),
                           "btnTest", this);
    m_btnSpilt = makeButton(QStringLiteral(" &Split"), QStringLiteral("Split the zip package"), "btnSpilt", this);
    m_btnHelp = makeButton(QStringLiteral("  &Help"), QStringLiteral("Self-extracting zip package help contents"),
                           "btnHelp", this);
    m_btnExit = makeButton(QStringLiteral("  &Exit"), QStringLiteral("Exit"), "btnExit", this);
    for (QPushButton* button : {m_btnTest, m_btnSpilt, m_btnHelp, m_btnExit})
        button->setAutoDefault(false);
    // Test and Split act on a made program only.
    m_btnTest->setEnabled(false);
    m_btnSpilt->setEnabled(false);

    auto* grid = new QGridLayout;
    FormControls::FormRows rows(grid, this);
    rows.add(QStringLiteral("Zip package to make self-extracting:"), "lblFile", m_txtFile);
    rows.add(QStringLiteral("File size(bytes)"), "lblSize", m_txtSize);
    rows.add(QStringLiteral("Target make folder:"), "lblPath", m_txtPath, m_btnBrowse);
    rows.add(QStringLiteral("New file name:"), "lblNewName", m_txtNewName);
    grid->addWidget(m_status, rows.nextRow(), 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* buttons = FormControls::makeButtonRow({m_btnStart, m_btnTest, m_btnSpilt, m_btnHelp, m_btnExit});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);

    const QList<QWidget*> screenOrder{m_txtPath, m_btnBrowse, m_txtNewName, m_btnStart,
                                      m_btnTest, m_btnSpilt,  m_btnHelp,    m_btnExit};
    FormControls::chainTabOrder(screenOrder);

    connect(m_btnBrowse, &QPushButton::clicked, this, &fSFX::browse);
    connect(m_btnStart, &QPushButton::clicked, this, &fSFX::makeNow);
    connect(m_btnTest, &QPushButton::clicked, this, &fSFX::testNow);
    connect(m_btnSpilt, &QPushButton::clicked, this, &fSFX::splitNow);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, kHelpContext); });
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_test, &QProcess::finished, this, [this] {
        QStringList lines = QString::fromLocal8Bit(m_test.readAll()).trimmed().split(u'\n');
        if (lines.size() > kShownTestLines) lines = lines.mid(lines.size() - kShownTestLines);
        m_busy.set(false);
        MessageDialogs::showError(this, lines.join(u'\n'));
        emit testFinished();
    });
    connect(&m_test, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        m_busy.set(false);
        MessageDialogs::showError(this, QStringLiteral("Error: ") + m_test.errorString());
        emit testFinished();
    });

    // Load: the target folder from the store, the package and, when it is there, its size and the new name.
    m_state.splitHandOver.clear();
    m_txtPath->setText(m_state.reload(Option::MakeFolder));
    m_txtFile->setText(package);
    if (const std::optional<qint64> size = FileOps::regularFileSize(package)) {
        m_txtSize->setText(TextUtil::formatGrouped(*size));
        m_txtNewName->setText(sfxDefaultName(QFileInfo(package).fileName()));
    }
    m_txtNewName->setFocus();
}

fSFX::~fSFX() {
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_runner.wait();
    }
    // A test still running belongs to the user's terminal-less session; it is not left without its reader.
    if (m_test.state() != QProcess::NotRunning) {
        m_test.kill();
        m_test.waitForFinished(2000);
    }
    m_busy.set(false);
}

void fSFX::browse() {
    m_txtPath->setFocus();
    const QString start = m_state.reload(Option::MakeFolder);
    const QString picked = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Please select the target make .exe file folder"), start);
    if (!picked.isEmpty()) usePickedFolder(picked);
}

void fSFX::usePickedFolder(const QString& folder) {
    const QString value = TextUtil::withSlash(folder);
    m_txtPath->setText(value);
    m_state.saveText(Option::MakeFolder, value);
}

void fSFX::makeNow() {
    if (m_runner.isRunning()) return;
    m_status->clear();
    m_made.clear();
    m_btnTest->setEnabled(false);
    m_btnSpilt->setEnabled(false);
    const Result<QString> stub = findSfxStub(m_state.folders.app, QCoreApplication::applicationDirPath());
    if (!stub.ok()) {
        MessageDialogs::showError(this, stub.message());
        return;
    }
    const QString name = m_txtNewName->text();
    if (name.isEmpty() || name.contains(u'/')) {
        MessageDialogs::showError(this, QStringLiteral("Error: the new file name must be a name without folders "
                                                       "Error Copying File"));
        m_txtNewName->setFocus();
        return;
    }
    const QString target = TextUtil::withSlash(m_txtPath->text()) + name;
    m_btnStart->setEnabled(false);
    m_busy.set(true);
    auto result = std::make_shared<SfxResult>();
    m_state.cancel.clear();
    m_runner.start(
        [this, params = SfxParams{*stub, m_package, target}, result] { *result = SfxJob(params).run(m_state.cancel); },
        [this, result, target] {
            m_busy.set(false);
            m_btnStart->setEnabled(true);
            if (result->ok) {
                m_made = target;
                m_status->setText(SfxTexts::kCompleted);
                m_btnTest->setEnabled(true);
                m_btnSpilt->setEnabled(true);
            } else if (!result->cancelled) {
                MessageDialogs::showError(this, result->message);
            }
            emit makeFinished();
            if (m_closeWhenDone) QDialog::done(QDialog::Rejected);
        });
}

void fSFX::testNow() {
    if (m_made.isEmpty() || m_test.state() != QProcess::NotRunning) return;
    const QString folder = QFileInfo(m_made).absolutePath();
    if (!m_terminal.isEmpty() && QProcess::startDetached(m_terminal, {QStringLiteral("-e"), m_made}, folder)) return;
    // No terminal to talk in: the program checks its own package and its answer is shown here.
    m_busy.set(true);
    m_test.setProcessChannelMode(QProcess::MergedChannels);
    m_test.setWorkingDirectory(folder);
    m_test.start(m_made, {QStringLiteral("--test")});
}

void fSFX::splitNow() {
    if (m_made.isEmpty()) return;
    m_state.splitHandOver = m_made;
    done(QDialog::Accepted);
}

void fSFX::done(int result) {
    // Exit during a make stops it first; the dialog closes once the job has let go of its files.
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_closeWhenDone = true;
        return;
    }
    QDialog::done(result);
}
