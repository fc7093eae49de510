#include "fExtract.h"
#include "app/ui/FormControls.h"

#include "app/AppState.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "app/ui/PasswordBox.h"
#include "utility/TextUtil.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using FormControls::makeButton;
using FormControls::makeCheck;
using FormControls::makeLabel;

constexpr int kHelpContext = 120;

int percentOf(const ZipProgress& p) {
    if (p.bytesTotal > 0) return int(p.bytesDone * 100 / p.bytesTotal);
    if (p.filesTotal > 0) return int(p.filesDone * 100 / p.filesTotal);
    return 0;
}

} // namespace

fExtract::fExtract(AppState& state, ZipPackage& package, QWidget* parent)
    : AnswerableDialog(parent), m_state(state), m_package(package) {
    setObjectName("fExtract");
    setWindowTitle("Varnhold");

    m_headingLabel = makeLabel("Extract Options", "Label0", this);
    QFont heading = m_headingLabel->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    m_headingLabel->setFont(heading);
    m_selectedFileLabel = makeLabel("Extract selected file:", "Label3", this);
    m_selectedFileNameLabel = makeLabel({}, "Label6", this);
    m_selectedFileNameLabel->setTextFormat(Qt::PlainText);
    QFont bold = m_selectedFileNameLabel->font();
    bold.setBold(true);
    m_selectedFileNameLabel->setFont(bold);
    m_defaultFolderLabel = makeLabel("Default extract folder:", "Label4", this);
    m_selectedFolderLabel = makeLabel("Selected extract folder:   ", "Label2", this);
    m_passwordLabel = makeLabel("Password:", "Label1", this);
    m_extractingLabel = makeLabel("Extracting files", "Label5", this);

    m_defaultFolderEdit = new QLineEdit(this);
    m_defaultFolderEdit->setObjectName("Text0");
    m_selectedFolderEdit = new QLineEdit(this);
    m_selectedFolderEdit->setObjectName("Text1");
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName("Text2");
    m_defaultFolderEdit->setMinimumWidth(300);

    m_useDefaultFolderCheck = makeCheck("Use", "SSCheck4", this);
    m_useSelectedFolderCheck = makeCheck("Use", "SSCheck5", this);
    m_hidePasswordCheck = makeCheck("Hide", "SSCheck6", this);
    m_overwriteCheck = makeCheck("Overwrite existing files", "SSCheck1", this);
    m_skipOlderCheck = makeCheck("Skip older", "SSCheck2", this);
    m_folderNamesCheck = makeCheck("Use folder names", "SSCheck3", this);

    m_browseDefaultButton = makeButton("...", {}, "btnBrowse2", this);
    m_browseDefaultButton->setAccessibleName("Browse for the default extract folder");
    m_browseSelectedButton = makeButton("...", {}, "btnBrowse1", this);
    m_browseSelectedButton->setAccessibleName("Browse for the selected extract folder");
    for (QPushButton* browse : {m_browseSelectedButton, m_browseDefaultButton}) {
        browse->setAutoDefault(false);
        browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("....") + 16);
    }

    m_progress = new QProgressBar(this);
    m_progress->setObjectName("ProgressBar1");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    m_btnExtract = makeButton("&Extract", "Extract the file(s)", "btnExtract", this);
    m_btnExtract->setDefault(true);
    m_btnHelp = makeButton("&Help", "Extract options help contents", "btnHelp", this);
    m_btnHelp->setAutoDefault(false);
    m_btnExit = makeButton("&Cancel", "Cancel", "btnExit", this);
    m_btnExit->setAutoDefault(false);

    // The progress line is only shown while all entries are extracted; keeping its room avoids a jumping window.
    for (QWidget* running : std::initializer_list<QWidget*>{m_extractingLabel, m_progress}) {
        QSizePolicy policy = running->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        running->setSizePolicy(policy);
        running->hide();
    }

    auto* grid = new QGridLayout;
    grid->addWidget(m_selectedFileLabel, 0, 0);
    grid->addWidget(m_selectedFileNameLabel, 0, 1, 1, 3);
    grid->addWidget(m_defaultFolderLabel, 1, 0);
    grid->addWidget(m_defaultFolderEdit, 1, 1);
    grid->addWidget(m_useDefaultFolderCheck, 1, 2);
    grid->addWidget(m_browseDefaultButton, 1, 3);
    grid->addWidget(m_selectedFolderLabel, 2, 0);
    grid->addWidget(m_selectedFolderEdit, 2, 1);
    grid->addWidget(m_useSelectedFolderCheck, 2, 2);
    grid->addWidget(m_browseSelectedButton, 2, 3);
    grid->addWidget(m_passwordLabel, 3, 0);
    auto* password = new QHBoxLayout;
    password->addWidget(m_passwordEdit, 1);
    password->addSpacing(120);
    grid->addLayout(password, 3, 1);
    grid->addWidget(m_hidePasswordCheck, 3, 2);
    grid->setColumnStretch(1, 1);

    auto* options = new QHBoxLayout;
    options->addWidget(m_overwriteCheck);
    options->addSpacing(12);
    options->addWidget(m_skipOlderCheck);
    options->addSpacing(12);
    options->addWidget(m_folderNamesCheck);
    options->addStretch();

    auto* running = new QHBoxLayout;
    running->addWidget(m_extractingLabel);
    running->addWidget(m_progress, 1);

    auto* buttons = FormControls::makeButtonRow({m_btnExtract, m_btnHelp, m_btnExit});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_headingLabel);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(options);
    layout->addSpacing(6);
    layout->addLayout(running);
    layout->addLayout(buttons);

    // Tab walks the controls as they stand on the screen, row by row.
    const QList<QWidget*> screenOrder{m_defaultFolderEdit,
                                      m_useDefaultFolderCheck,
                                      m_browseDefaultButton,
                                      m_selectedFolderEdit,
                                      m_useSelectedFolderCheck,
                                      m_browseSelectedButton,
                                      m_passwordEdit,
                                      m_hidePasswordCheck,
                                      m_overwriteCheck,
                                      m_skipOlderCheck,
                                      m_folderNamesCheck,
                                      m_btnExtract,
                                      m_btnHelp,
                                      m_btnExit};
    FormControls::chainTabOrder(screenOrder);

    connect(m_useDefaultFolderCheck, &QCheckBox::toggled, this, [this](bool ticked) { setUseTicks(ticked); });
    connect(m_useSelectedFolderCheck, &QCheckBox::toggled, this, [this](bool ticked) { setUseTicks(!ticked); });
    connect(m_hidePasswordCheck, &QCheckBox::toggled, this,
            [this](bool hide) { setPasswordHidden(m_passwordEdit, hide); });
    connect(m_browseSelectedButton, &QPushButton::clicked, this, [this] { browse(FolderBox::Selected); });
    connect(m_browseDefaultButton, &QPushButton::clicked, this, [this] { browse(FolderBox::Default); });
    connect(m_btnExtract, &QPushButton::clicked, this, &fExtract::extractNow);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, kHelpContext); });
    connect(m_btnExit, &QPushButton::clicked, this, &fExtract::cancelNow);
    connect(this, &fExtract::progressChanged, m_progress, &QProgressBar::setValue);

    load();
}

fExtract::~fExtract() {
    // A window torn down under a running extraction must not leave the job writing into freed memory.
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_runner.wait();
    }
    m_busy.set(false);
}

void fExtract::load() {
    // Another window may have changed these since start-up; the store has the last word.
    for (const QList<Option>* options : {&ExtractSettings::storedOptions(), &extractRequestOptions()})
        for (Option option : *options)
            m_state.reload(option);
    const ExtractSettings s = ExtractSettings::fromState(m_state);

    m_defaultFolderEdit->setText(s.defaultFolder);
    m_selectedFolderEdit->setText(s.selectedFolder);
    m_passwordEdit->setText(s.password.text);
    {
        // Loading shows the stored ticks as they are, without the exclusion rule rewriting them.
        const QSignalBlocker block4(m_useDefaultFolderCheck), block5(m_useSelectedFolderCheck);
        m_useDefaultFolderCheck->setChecked(s.useDefault);
        m_useSelectedFolderCheck->setChecked(s.useSelected);
    }
    m_hidePasswordCheck->setChecked(s.password.hidden);
    m_overwriteCheck->setChecked(s.overwrite);
    m_skipOlderCheck->setChecked(s.skipOlder);
    m_folderNamesCheck->setChecked(s.useFolderNames);

    const QString request = m_state.text(Option::ExtractRequest);
    if (request == kExtractAllRequest) m_selectedFileLabel->setText("Extract all files.");
    if (request == kExtractSeveralRequest)
        m_selectedFileLabel->setText(QStringLiteral("Extract the %1.").arg(m_state.text(Option::ExtractName)));
    // The entry's name as the grid shows it: line breaks and direction controls as visible escapes.
    if (request == kExtractOneRequest)
        m_selectedFileNameLabel->setText(TextUtil::visibleText(m_state.text(Option::ExtractName), false));

    setPasswordHidden(m_passwordEdit, s.password.hidden);
    // The folder the entries go to takes the focus: the password box is shared with the builds, so what is typed
    // first must not land there.
    folderEdit(s.useDefault ? FolderBox::Default : FolderBox::Selected)->setFocus();
}

void fExtract::setUseTicks(bool useDefault) {
    ExtractSettings s = settingsFromControls();
    s.setUseDefault(useDefault);
    const QSignalBlocker block4(m_useDefaultFolderCheck), block5(m_useSelectedFolderCheck);
    m_useDefaultFolderCheck->setChecked(s.useDefault);
    m_useSelectedFolderCheck->setChecked(s.useSelected);
}

ExtractSettings fExtract::settingsFromControls() const {
    ExtractSettings s;
    s.defaultFolder = m_defaultFolderEdit->text();
    s.selectedFolder = m_selectedFolderEdit->text();
    s.password.text = m_passwordEdit->text();
    s.useDefault = m_useDefaultFolderCheck->isChecked();
    s.useSelected = m_useSelectedFolderCheck->isChecked();
    s.password.hidden = m_hidePasswordCheck->isChecked();
    s.overwrite = m_overwriteCheck->isChecked();
    s.skipOlder = m_skipOlderCheck->isChecked();
    s.useFolderNames = m_folderNamesCheck->isChecked();
    return s;
}

QLineEdit* fExtract::folderEdit(FolderBox box) const {
    return box == FolderBox::Default ? m_defaultFolderEdit : m_selectedFolderEdit;
}

Option fExtract::folderOption(FolderBox box) {
    return box == FolderBox::Default ? Option::ExtractFolder : Option::SelectedExtractFolder;
}

void fExtract::browse(FolderBox box) {
    folderEdit(box)->setFocus();
    const QString start = m_state.reload(folderOption(box));
    const QString title = box == FolderBox::Default ? QStringLiteral("Please select the default extract folder")
                                                    : QStringLiteral("Please select the extract folder");
    const QString picked = QFileDialog::getExistingDirectory(this, title, start);
    if (!picked.isEmpty()) usePickedFolder(box, picked);
}

void fExtract::usePickedFolder(FolderBox box, const QString& folder) {
    const QString value = TextUtil::withSlash(folder);
    folderEdit(box)->setText(value);
    m_state.saveText(folderOption(box), value);
}

void fExtract::extractNow() {
    if (m_runner.isRunning()) return;
    // The extract options and the password come from the stored settings; a settings file that could not be read
    // leaves only defaults, so nothing is extracted with them.
    if (const QString problem = m_state.settings.problem(); !problem.isEmpty()) {
        MessageDialogs::showError(this, problem + QStringLiteral(" Nothing was extracted."));
        return;
    }
    const ExtractSettings s = settingsFromControls();
    m_state.setText(Option::ExtractAnswerFolder, s.targetFolder());
    // The request keys go back to the store too, so the store holds the whole exchange of this opening; all
    // with one write of the settings file.
    s.store(m_state, extractRequestOptions());

    startExtraction(s);
}

void fExtract::startExtraction(const ExtractSettings& settings) {
    m_btnExtract->setEnabled(false);
    m_extractingLabel->show();
    m_progress->setValue(0);
    m_progress->show();
    m_busy.set(true);

    // The request is read here; the job runs off the window thread so the window keeps painting and Cancel keeps
    // working. The shared token is ours to clear before the job starts; the job only reads it.
    auto prepared = std::make_shared<PreparedExtract>(prepareExtractRequest(m_state, m_package, settings));
    auto result = std::make_shared<ExtractResult>();
    m_state.cancel.clear();
    ExtractCallbacks callbacks;
    callbacks.progress = [this](const ZipProgress& progress) {
        m_runner.post([this, percent = percentOf(progress)] { emit progressChanged(percent); });
        if (m_observer) m_observer(progress);
    };
    m_runner.start(
        [this, prepared, result, callbacks] {
            if (prepared->params) *result = ExtractJob(m_package, *prepared->params, callbacks).run(m_state.cancel);
        },
        [this, prepared, result] {
            m_answer = extractAnswerFor(*prepared, *result);
            extractionEnded();
        });
}

void fExtract::extractionEnded() {
    m_busy.set(false);
    m_extractingLabel->hide();
    m_progress->hide();
    m_btnExtract->setEnabled(true);
    storeExtractAnswer(m_state, m_answer);
    emit extractionFinished();
    done(m_answer.succeeded() ? QDialog::Accepted : QDialog::Rejected);
}

void fExtract::cancelNow() {
    m_state.cancel.cancel();
    // A running extraction stops at its next look at the token and answers "cancel" itself; the zip layer
    // removes the file it was writing.
    if (m_runner.isRunning()) return;
    m_answer = ExtractAnswer::cancelled();
    storeExtractAnswer(m_state, m_answer);
    done(QDialog::Rejected);
}

void fExtract::reject() {
    cancelNow();
}

void fExtract::answerWith(const QString& answer) {
    if (answer == QLatin1String("extract")) {
        extractNow();
        // As after a click on Extract: the dialog stays open until its extraction has ended and closed it.
        if (m_runner.isRunning()) QDialog::exec();
    } else {
        cancelNow();
    }
}
