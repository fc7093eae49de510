#include "fZipSet.h"
#include "app/ui/FormControls.h"

#include "app/PasswordOptions.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MessageDialogs.h"
#include "app/ui/PasswordBox.h"
#include "utility/TextUtil.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using FormControls::makeButton;
using FormControls::makeCheck;

QRadioButton* makeOption(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(name);
    return button;
}

QAction* makeAction(QMenu* menu, const QString& text, const char* name) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    return action;
}

} // namespace

fZipSet::fZipSet(const ZipSettings& settings, BuildMode mode, const QString& comment, const QString& package,
                 QWidget* parent)
    : AnswerableDialog(parent), m_loaded(settings), m_mode(mode), m_comment(comment), m_settings(settings) {
    setObjectName("fZipSet");
    setWindowTitle("Varnhold");

    m_headingLabel = new QLabel("Build Zip Package Settings", this);
    m_headingLabel->setObjectName("Label14");
    QFont heading = m_headingLabel->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    m_headingLabel->setFont(heading);
    m_packageLabel = new QLabel(this);
    m_packageLabel->setObjectName("Label1");
    m_packageLabel->setTextFormat(Qt::PlainText);
    m_packageLabel->setWordWrap(true);
    QFont bold = m_packageLabel->font();
    bold.setBold(true);
    m_packageLabel->setFont(bold);

    auto* commentsLabel = new QLabel("Zip package comments:   ", this);
    commentsLabel->setObjectName("Label2");
    m_commentEdit = new QPlainTextEdit(this);
    m_commentEdit->setObjectName("Text0");
    // A set's comment runs over several lines; three of them show without scrolling.
    m_commentEdit->setFixedHeight(m_commentEdit->fontMetrics().lineSpacing() * 4 + 10);
    m_commentEdit->setTabChangesFocus(true);

    auto* passwordLabel = new QLabel("Password:", this);
    passwordLabel->setObjectName("Label3");
    m_passwordEdit = new QLineEdit(this);
    m_passwordEdit->setObjectName("Text5");
    m_hidePasswordCheck = makeCheck("Hide", "SSCheck6", this);
    // The stored password is shared with the extractions and shown only as stars, so a build asks for it a second
    // time unless this dialog confirmed it before.
    m_confirmLabel = new QLabel("Confirm password:", this);
    m_confirmLabel->setObjectName("lblConfirm");
    m_confirmEdit = new QLineEdit(this);
    m_confirmEdit->setObjectName("txtConfirm");
    m_confirmLabel->setBuddy(m_confirmEdit);
    m_confirmNote = new QLabel(this);
    m_confirmNote->setObjectName("lblConfirmNote");
    m_confirmNote->setWordWrap(true);
    m_lblEncryption = new QLabel("Packages with a password are AES-256 encrypted and need a current unzip tool "
                                 "(7-Zip and the like) to open.",
                                 this);
    m_lblEncryption->setObjectName("lblEncryption");
    m_lblEncryption->setWordWrap(true);
    QFont small = m_lblEncryption->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_lblEncryption->setFont(small);
    passwordLabel->setBuddy(m_passwordEdit);

    auto* compressionBox = new QGroupBox("Compression Method:", this);
    compressionBox->setObjectName("Frame1");
    m_compressionGroup = new QButtonGroup(this);
    // The buttons in the order of CompressionLevels and UpdateCodes: a button's id is its place there.
    const QStringList levels{"None", "Fast", "Normal", "Maximum"};
    auto* compressionLayout = new QVBoxLayout(compressionBox);
    for (int i = 0; i < int(m_compressionOptions.size()); ++i) {
        m_compressionOptions[i] = makeOption(levels[i], QStringLiteral("SSOption1_%1").arg(i), compressionBox);
        m_compressionGroup->addButton(m_compressionOptions[i], i);
        compressionLayout->addWidget(m_compressionOptions[i]);
    }
    compressionLayout->addStretch();

    auto* updateBox = new QGroupBox("File Update Options:", this);
    updateBox->setObjectName("Frame2");
    m_updateGroup = new QButtonGroup(this);
    const QStringList updates{"Add/Replace", "Freshen", "Update"};
    auto* updateLayout = new QVBoxLayout(updateBox);
    for (int i = 0; i < int(m_updateOptions.size()); ++i) {
        m_updateOptions[i] = makeOption(updates[i], QStringLiteral("SSOption2_%1").arg(i), updateBox);
        m_updateGroup->addButton(m_updateOptions[i], i);
        updateLayout->addWidget(m_updateOptions[i]);
    }
    updateLayout->addSpacing(6);
    m_resetArchiveCheck = makeCheck("Reset Archive Attribute", "SSCheck1", updateBox);
    updateLayout->addWidget(m_resetArchiveCheck);
    updateLayout->addStretch();

    auto* spanningBox = new QGroupBox("Volume Spanning:", this);
    spanningBox->setObjectName("Frame3");
    m_noSpanningOption = makeOption("No Spanning", "SSOption3", spanningBox);
    m_automaticSpanningOption = makeOption("Automatic", "SSOption4", spanningBox);
    m_customSpanningOption = makeOption("Custom Size(Bytes)", "SSOption5", spanningBox);
    // The three share the group box, so Qt keeps exactly one of them selected.
    m_noSpanningOption->setChecked(true);
    m_spanSizeEdit = new QLineEdit(spanningBox);
    m_spanSizeEdit->setObjectName("Text1");
    m_spanSizeEdit->setMaxLength(11);
    m_spanSizeEdit->setMinimumWidth(m_spanSizeEdit->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")) + 16);
    connect(m_spanSizeEdit, &QLineEdit::textChanged, this, &fZipSet::checkSizeBox);

    m_btnOptions = new QToolButton(spanningBox);
    m_btnOptions->setObjectName("btnOptions");
    m_btnOptions->setArrowType(Qt::DownArrow);
    m_btnOptions->setAccessibleName("Diskette sizes");
    m_mnuOptions = new QMenu("Options", this);
    m_mnuOptions->setObjectName("mnuOptions");
    // The captions keep their runs of blanks, which line the sizes up under each other.
    m_size720Action = makeAction(m_mnuOptions, " 720K     3.5 Diskette", "mnu720");
    m_size144Action = makeAction(m_mnuOptions, "1.44M     3.5 Diskette", "mnu144");
    m_size288Action = makeAction(m_mnuOptions, "2.88M     3.5 Diskette", "mnu288");
    m_mnuOptions->addSeparator();
    m_mnuExit = makeAction(m_mnuOptions, "Exit", "mnuExit");
    connect(m_size720Action, &QAction::triggered, this, [this] { m_spanSizeEdit->setText(kSize720); });
    connect(m_size144Action, &QAction::triggered, this, [this] { m_spanSizeEdit->setText(kSize144); });
    connect(m_size288Action, &QAction::triggered, this, [this] { m_spanSizeEdit->setText(kSize288); });
    // Exit only closes the menu, which choosing any entry does anyway.
    connect(m_btnOptions, &QToolButton::clicked, this, &fZipSet::showOptionsMenu);

    auto* spanningLayout = new QVBoxLayout(spanningBox);
    spanningLayout->addWidget(m_noSpanningOption);
    spanningLayout->addWidget(m_automaticSpanningOption);
    spanningLayout->addWidget(m_customSpanningOption);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addSpacing(18);
    sizeRow->addWidget(m_spanSizeEdit, 1);
    sizeRow->addWidget(m_btnOptions);
    spanningLayout->addLayout(sizeRow);
    spanningLayout->addStretch();

    m_btnBuild = makeButton("  &Build", "Build the zip package", "btnBuild", this);
    m_btnBuild->setDefault(true);
    m_btnHelp = makeButton(" &Help", "Zip package settings help content", "btnHelp", this);
    m_btnHelp->setAutoDefault(false);
    m_btnExit = makeButton(" &Cancel", "Cancel", "btnExit", this);
    m_btnExit->setAutoDefault(false);
    connect(m_btnBuild, &QPushButton::clicked, this, &fZipSet::confirmBuild);
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnHelp, &QPushButton::clicked, this,
            [this] { showHelpTopic(this, m_mode == BuildMode::Build ? kHelpBuild : kHelpUpdate); });
    connect(m_hidePasswordCheck, &QCheckBox::toggled, this, [this](bool hide) {
        setPasswordHidden(m_passwordEdit, hide);
        setPasswordHidden(m_confirmEdit, hide);
    });
    connect(m_passwordEdit, &QLineEdit::textChanged, this, &fZipSet::updateConfirmation);

    auto* passwordRow = new QGridLayout;
    passwordRow->addWidget(passwordLabel, 0, 0);
    passwordRow->addWidget(m_passwordEdit, 0, 1);
    passwordRow->addWidget(m_hidePasswordCheck, 0, 2);
    passwordRow->addWidget(m_confirmLabel, 1, 0);
    passwordRow->addWidget(m_confirmEdit, 1, 1);
    passwordRow->addWidget(m_confirmNote, 2, 1, 1, 2);
    passwordRow->addWidget(m_lblEncryption, 3, 1, 1, 2);
    passwordRow->setColumnStretch(1, 1);
    auto* choices = new QHBoxLayout;
    choices->addWidget(compressionBox);
    choices->addWidget(updateBox);
    choices->addWidget(spanningBox);
    auto* buttons = FormControls::makeButtonRow({m_btnBuild, m_btnHelp, m_btnExit});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_headingLabel);
    layout->addWidget(m_packageLabel);
    layout->addSpacing(6);
    layout->addWidget(commentsLabel);
    layout->addWidget(m_commentEdit);
    layout->addSpacing(4);
    layout->addLayout(passwordRow);
    layout->addSpacing(4);
    layout->addLayout(choices);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    load(package);
}

void fZipSet::load(const QString& package) {
    const bool update = m_mode == BuildMode::Update;
    if (update) {
        // An update adds to a package that already has its volumes, so only "No Spanning" is left to choose.
        m_btnOptions->setEnabled(false);
        m_customSpanningOption->setEnabled(false);
        m_automaticSpanningOption->setEnabled(false);
        m_spanSizeEdit->setEnabled(false);
        m_btnBuild->setText("Update");
        m_headingLabel->setText("Update Zip Package Settings");
    }

    const ZipSettings& s = m_loaded;
    UpdateCode updateCode = s.updateCode;
    const bool hide = s.password.hidden;
    m_spanSizeEdit->setText(s.keptSpanSize.value_or(QString()));

    if (!update) {
        // A new package has nothing to freshen or update.
        updateCode = UpdateCode::AddReplace;
        m_updateOptions[UpdateCodes::index(UpdateCode::Freshen)]->setEnabled(false);
        m_updateOptions[UpdateCodes::index(UpdateCode::Update)]->setEnabled(false);
    } else if (updateCode == UpdateCode::AddReplace) {
        updateCode = UpdateCode::Update;
    }

    m_passwordEdit->setText(s.password.text);
    m_commentEdit->setPlainText(m_comment);
    m_compressionOptions[CompressionLevels::index(s.level)]->setChecked(true);
    m_updateOptions[UpdateCodes::index(updateCode)]->setChecked(true);
    m_resetArchiveCheck->setChecked(s.resetArchive);
    m_hidePasswordCheck->setChecked(hide);
    setPasswordHidden(m_passwordEdit, hide);
    setPasswordHidden(m_confirmEdit, hide);
    updateConfirmation();
    m_packageLabel->setText(package);
    // The comment keeps its text unless the user edits it: Enter there would type over a selected comment, while
    // in a single-line field it presses Build.
    m_passwordEdit->setFocus();
}

bool fZipSet::passwordConfirmed() const {
    const QString password = m_passwordEdit->text();
    return !m_loaded.needsConfirmation(password) || m_confirmEdit->text() == password;
}

void fZipSet::updateConfirmation() {
    const QString password = m_passwordEdit->text();
    const bool needed = m_loaded.needsConfirmation(password);
    m_confirmLabel->setVisible(needed);
    m_confirmEdit->setVisible(needed);
    m_confirmNote->setVisible(needed);
    if (!needed) return;
    m_confirmNote->setText(password == m_loaded.password.text
                               ? QStringLiteral("The stored password was %1. Type it again to build with it.")
                                     .arg(PasswordSources::describe(m_loaded.passwordSource))
                               : QStringLiteral("Type the new password again to build with it."));
}

void fZipSet::confirmBuild() {
    if (!passwordConfirmed()) {
        MessageDialogs::showError(this, kMismatch);
        m_confirmEdit->setFocus();
        m_confirmEdit->selectAll();
        return;
    }
    m_confirmed = true;
    accept();
}

void fZipSet::checkSizeBox(const QString& text) {
    // The size must fit a 32-bit integer; anything else (letters, too many digits, nothing) empties the box.
    bool ok = false;
    text.trimmed().toInt(&ok);
    if (!ok && !text.isEmpty()) m_spanSizeEdit->clear();
}

void fZipSet::showOptionsMenu() {
    m_mnuOptions->popup(m_btnOptions->mapToGlobal(QPoint(m_btnOptions->width(), 0)));
}

void fZipSet::takeChoices() {
    ZipSettings& s = m_settings;
    s.keptSpanSize.reset();
    if (m_mode == BuildMode::Build) {
        m_noSpanning = m_noSpanningOption->isChecked();
        m_automatic = m_automaticSpanningOption->isChecked();
        m_custom = m_customSpanningOption->isChecked();
        m_customSize = m_spanSizeEdit->text();
        s.keptSpanSize = m_customSize;
    } else {
        // An update never spans, whatever is stored; the stored size is kept for the next build.
        m_noSpanning = true;
        m_automatic = false;
        m_custom = false;
        m_customSize.clear();
    }

    s.level = CompressionLevels::at(m_compressionGroup->checkedId());
    s.updateCode = UpdateCodes::at(m_updateGroup->checkedId());
    s.resetArchive = m_resetArchiveCheck->isChecked();
    s.password = {m_passwordEdit->text(), m_hidePasswordCheck->isChecked()};
    s.passwordConfirmed = m_confirmed;
    s.spanSize = spanSize();

    m_comment = m_commentEdit->toPlainText();
}

void fZipSet::done(int result) {
    // Cancel and the close box hand back the settings too; only the confirmed flag tells a build from a cancel.
    takeChoices();
    QDialog::done(result);
}

void fZipSet::answerWith(const QString& answer) {
    // As the button: a password that had to be typed twice and was not is no confirmation.
    const bool build = (isYes(answer) || answer == QLatin1String("build")) && passwordConfirmed();
    if (build) m_confirmed = true;
    done(build ? QDialog::Accepted : QDialog::Rejected);
}
