#include "fSplit.h"
#include "app/ui/FormControls.h"

#include "app/AppState.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "tools/FileSplit.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <utility>

namespace {

using FormControls::makeButton;
using FormControls::makeLabel;

constexpr int kHelpContext = 108;

QLineEdit* makeBox(const char* name, bool typing, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(!typing);
    return box;
}

} // namespace

fSplit::fSplit(AppState& state, const QString& openPackage, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName("fSplit");
    setWindowTitle("Varnhold");

    QLabel* title = FormControls::makeTitle(QStringLiteral("Split File"), "lblTitle", this);

    m_txtFile = makeBox("txtFile", true, this);
    m_txtFile->setMinimumWidth(360);
    m_txtSize = makeBox("txtSize", false, this);
    m_txtPath = makeBox("txtPath", true, this);
    m_txtSegSize = makeBox("txtSegSize", true, this);
    m_txtSplitNumber = makeBox("txtSplitNumber", false, this);
    m_txtTime = makeBox("txtTime", false, this);
    m_btnBrowseFiles =
        FormControls::makeBrowseButton("btnBrowseFiles", QStringLiteral("Browse for the file to split"), this);
    m_btnBrowse =
        FormControls::makeBrowseButton("btnBrowse", QStringLiteral("Browse for the target split folder"), this);

    auto* speeds = new QButtonGroup(this);
    const char* speedNames[] = {"SSOption1", "SSOption2", "SSOption3"};
    const QString speedTexts[] = {QStringLiteral("28.8 Kbps"), QStringLiteral("33.6 Kbps"),
                                  QStringLiteral("56.0 Kbps")};
    for (int i = 0; i < 3; ++i) {
        m_speed[i] = new QRadioButton(speedTexts[i], this);
        m_speed[i]->setObjectName(speedNames[i]);
        speeds->addButton(m_speed[i], i + 1);
    }

    m_progress = new QProgressBar(this);
    m_progress->setObjectName("vsElastic2");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%p%"));

    m_batchLines = new QStringListModel(this);
    m_lstFiles = new QListView(this);
    m_lstFiles->setObjectName("lstFilesZipFolder");
    m_lstFiles->setModel(m_batchLines);
    m_lstFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstFiles->setUniformItemSizes(true);
    m_lstFiles->setMinimumHeight(120);

    m_btnStart = makeButton(QStringLiteral(" &Split"), QStringLiteral("Start the split"), "btnStart", this);
    m_btnStart->setDefault(true);
    m_btnHelp = makeButton(QStringLiteral("  &Help"), QStringLiteral("Split file help contents"), "btnHelp", this);
    m_btnHelp->setAutoDefault(false);
    m_btnExit = makeButton(QStringLiteral(" &Cancel"), QStringLiteral("Cancel"), "btnExit", this);
    m_btnExit->setAutoDefault(false);

    auto* grid = new QGridLayout;
    FormControls::FormRows rows(grid, this);
    rows.add(QStringLiteral("File to split"), "lblFile", m_txtFile, m_btnBrowseFiles);
    rows.add(QStringLiteral("File size(bytes)"), "lblSize", m_txtSize);
    rows.add(QStringLiteral("Target split folder:"), "lblPath", m_txtPath, m_btnBrowse);
    rows.add(QStringLiteral("Size(bytes) of splits:"), "lblSegSize", m_txtSegSize);
    rows.add(QStringLiteral("# Splits:"), "lblSplitNumber", m_txtSplitNumber);
    auto* speedRow = new QHBoxLayout;
    for (QRadioButton* speed : m_speed)
        speedRow->addWidget(speed);
    speedRow->addStretch();
    const int speedRowAt = rows.nextRow();
    grid->addWidget(makeLabel(QStringLiteral("Modem speed:"), "lblSpeed", this), speedRowAt, 0);
    grid->addLayout(speedRow, speedRowAt, 1, 1, 2);
    grid->addWidget(m_txtTime, rows.nextRow(), 0, 1, 3);
    grid->addWidget(m_progress, rows.nextRow(), 0, 1, 3);
    grid->setColumnStretch(1, 1);

    auto* buttons = FormControls::makeButtonRow({m_btnStart, m_btnHelp, m_btnExit});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addWidget(m_lstFiles, 1);
    layout->addLayout(buttons);

    const QList<QWidget*> screenOrder{m_txtFile,  m_btnBrowseFiles, m_txtPath,  m_btnBrowse,      m_txtSegSize,
                                      m_speed[0], m_speed[1],       m_speed[2], m_lstFiles,       m_btnStart,
                                      m_btnHelp,  m_btnExit,        m_txtSize,  m_txtSplitNumber, m_txtTime};
    FormControls::chainTabOrder(screenOrder);
    // The boxes the user cannot change are read by the mouse, not visited by Tab.
    for (QLineEdit* shown : {m_txtSize, m_txtSplitNumber, m_txtTime})
        shown->setFocusPolicy(Qt::ClickFocus);

    connect(m_txtSegSize, &QLineEdit::textChanged, this, &fSplit::recalculate);
    connect(speeds, &QButtonGroup::idClicked, this, [this] {
        recalculate();
        m_txtSegSize->setFocus();
    });
    // A path typed into the box counts once the user leaves it, as a browsed one does.
    connect(m_txtFile, &QLineEdit::editingFinished, this, [this] {
        if (m_txtFile->isModified()) takeFile(m_txtFile->text());
        m_txtFile->setModified(false);
    });
    connect(m_btnBrowseFiles, &QPushButton::clicked, this, &fSplit::browseFile);
    connect(m_btnBrowse, &QPushButton::clicked, this, &fSplit::browseFolder);
    connect(m_btnStart, &QPushButton::clicked, this, &fSplit::splitNow);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, kHelpContext); });
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &fSplit::progressChanged, m_progress, &QProgressBar::setValue);

    load(openPackage);
}

fSplit::~fSplit() {
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_runner.wait();
    }
    m_busy.set(false);
}

void fSplit::load(const QString& openPackage) {
    const QString folder = m_state.reload(Option::SplitFolder);
    const QString pieceSize = m_state.reload(Option::SplitPieceSize);
    const QString speed = m_state.reload(Option::SplitModemSpeed);
    {
        // The size is only taken once a file is known; until then the box shows what is stored.
        const QSignalBlocker quiet(m_txtSegSize);
        m_txtSegSize->setText(pieceSize);
    }
    m_txtPath->setText(folder);
    // A program the maker handed over is split once; a later opening splits the open package again.
    const QString source = m_state.splitHandOver.isEmpty() ? openPackage : std::exchange(m_state.splitHandOver, {});
    m_txtFile->setText(source);
    const int choice = speed == QLatin1String("2") ? 1 : speed == QLatin1String("3") ? 2 : 0;
    m_speed[choice]->setChecked(true);
    takeFile(source);
    m_txtSegSize->selectAll();
    m_txtSegSize->setFocus();
}

void fSplit::takeFile(const QString& path) {
    m_txtFile->setText(path);
    const std::optional<qint64> size = FileOps::regularFileSize(path);
    if (!size) return;
    m_fileSize = *size;
    m_txtSize->setText(TextUtil::formatGrouped(m_fileSize));
    m_timePrefix = SplitTexts::kTimePrefix;
    recalculate();
    m_sourceName = QFileInfo(path).fileName();
}

void fSplit::useFile(const QString& path) {
    takeFile(path);
    m_txtSegSize->selectAll();
}

void fSplit::recalculate() {
    const std::optional<qint64> size = splitPieceSize(m_txtSegSize->text());
    if (size)
        m_pieceSize = *size;
    else if (!m_txtSegSize->text().isEmpty())
        m_txtSegSize->clear(); // comes back here with an empty box, which changes nothing more
    m_pieceCount = splitPieceCount(m_fileSize, m_pieceSize);
    m_txtSplitNumber->setText(QString::number(m_pieceCount));
    m_txtTime->setText(m_timePrefix + splitTransferTime(m_pieceSize, speedChoice()));
}

QString fSplit::speedChoice() const {
    for (int i = 0; i < 3; ++i)
        if (m_speed[i]->isChecked()) return QString::number(i + 1);
    return QStringLiteral("1");
}

void fSplit::browseFile() {
    const QString picked =
        QFileDialog::getOpenFileName(this, QStringLiteral("Varnhold - Browse for files to split."),
                                     m_state.path(Option::ZipFolder), QStringLiteral("All Files (*)"));
    if (!picked.isEmpty()) useFile(picked);
}

void fSplit::browseFolder() {
    m_txtPath->setFocus();
    const QString start = m_state.reload(Option::SplitFolder);
    const QString picked =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Please select the target split file folder"), start);
    if (!picked.isEmpty()) usePickedFolder(picked);
}

void fSplit::usePickedFolder(const QString& folder) {
    const QString value = TextUtil::withSlash(folder);
    m_txtPath->setText(value);
    m_state.saveText(Option::SplitFolder, value);
}

void fSplit::splitNow() {
    if (m_runner.isRunning()) return;
    QWidget* owner = parentWidget() ? parentWidget() : this;
    const QString source = m_txtFile->text();
    const std::optional<qint64> size = FileOps::regularFileSize(source);
    if (!size) {
        MessageDialogs::showError(owner, SplitTexts::kFileNotFound);
        m_txtSegSize->setFocus();
        return;
    }
    // The file may have changed since it was chosen; the count is checked against what is there now.
    if (*size != m_fileSize) takeFile(source);
    if (m_pieceCount > kMaxSplitPieces) {
        MessageDialogs::showError(owner, SplitTexts::kTooManyPieces);
        m_txtSegSize->setFocus();
        return;
    }
    m_progress->setValue(0);
    m_batchLines->setStringList({});
    m_btnStart->setEnabled(false);
    m_busy.set(true);

    auto params = std::make_shared<SplitParams>(SplitParams{source, m_txtPath->text(), m_pieceSize});
    auto result = std::make_shared<SplitResult>();
    m_state.cancel.clear();
    m_runner.start(
        [this, params, result] {
            *result = SplitJob(*params, [this](int percent) {
                          m_runner.post([this, percent] { emit progressChanged(percent); });
                      }).run(m_state.cancel);
        },
        [this, result] { splitEnded(result->ok, result->cancelled, result->reason, result->pieces); });
}

void fSplit::splitEnded(bool ok, bool cancelled, const QString& reason, qint64 pieces) {
    m_busy.set(false);
    m_btnStart->setEnabled(true);
    if (ok) {
        m_pieceCount = pieces;
        m_txtSplitNumber->setText(QString::number(pieces));
        m_txtTime->setText(SplitTexts::kCompleted);
        const SplitNames names(m_sourceName.isEmpty() ? QFileInfo(m_txtFile->text()).fileName() : m_sourceName);
        QStringList lines = QString::fromUtf8(splitBatchText(names, m_fileSize, pieces)).split(QStringLiteral("\r\n"));
        lines.removeLast(); // after the last line's end
        m_batchLines->setStringList(lines);
        m_lstFiles->scrollToBottom();
    } else if (!cancelled) {
        m_txtTime->setText(SplitTexts::kSplitError);
        MessageDialogs::showError(this, SplitTexts::kSplitError + u'\n' + reason);
    }
    m_txtSegSize->setFocus();
    emit splitFinished();
    if (m_closeWhenDone) {
        storeSettings();
        QDialog::done(QDialog::Rejected);
    }
}

void fSplit::done(int result) {
    // Cancel during a split stops it first; the dialog closes once the job has let go of its files.
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_closeWhenDone = true;
        return;
    }
    storeSettings();
    QDialog::done(result);
}

void fSplit::storeSettings() {
    m_state.setText(Option::SplitModemSpeed, speedChoice());
    m_state.setText(Option::SplitPieceSize, m_txtSegSize->text());
    m_state.save({Option::SplitModemSpeed, Option::SplitPieceSize});
}
