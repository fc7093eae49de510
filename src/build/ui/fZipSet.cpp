#include "fZipSet.h"
#include "app/ui/FormControls.h"

#include "app/AppState.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/PasswordBox.h"

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

const QString kYes = QStringLiteral("-1");
const QString kNo = QStringLiteral("0");
const QString kSpanningKey = QStringLiteral("Spanning");

QString withSlash(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

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

fZipSet::fZipSet(AppState& state, BuildMode mode, const QString& comment, const QString& openPackage, QWidget* parent)
    : AnswerableDialog(parent), m_state(state), m_mode(mode), m_comment(comment) {
    setObjectName("fZipSet");
    setWindowTitle("Varnhold");

    m_label14 = new QLabel("Build Zip Package Settings", this);
    m_label14->setObjectName("Label14");
    QFont heading = m_label14->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    m_label14->setFont(heading);
    m_label1 = new QLabel(this);
    m_label1->setObjectName("Label1");
    m_label1->setTextFormat(Qt::PlainText);
    m_label1->setWordWrap(true);
    QFont bold = m_label1->font();
    bold.setBold(true);
    m_label1->setFont(bold);

    auto* commentsLabel = new QLabel("Zip package comments:   ", this);
    commentsLabel->setObjectName("Label2");
    m_text0 = new QPlainTextEdit(this);
    m_text0->setObjectName("Text0");
    // A set's comment runs over several lines; three of them show without scrolling.
    m_text0->setFixedHeight(m_text0->fontMetrics().lineSpacing() * 4 + 10);
    m_text0->setTabChangesFocus(true);

    auto* passwordLabel = new QLabel("Password:", this);
    passwordLabel->setObjectName("Label3");
    m_text5 = new QLineEdit(this);
    m_text5->setObjectName("Text5");
    m_ssCheck6 = makeCheck("Hide", "SSCheck6", this);
    m_lblEncryption = new QLabel("Packages with a password are AES-256 encrypted and need a current unzip tool "
                                 "(7-Zip and the like) to open.",
                                 this);
    m_lblEncryption->setObjectName("lblEncryption");
    m_lblEncryption->setWordWrap(true);
    QFont small = m_lblEncryption->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_lblEncryption->setFont(small);
    passwordLabel->setBuddy(m_text5);

    auto* compressionBox = new QGroupBox("Compression Method:", this);
    compressionBox->setObjectName("Frame1");
    m_compression = new QButtonGroup(this);
    const QStringList levels{"None", "Fast", "Normal", "Maximum"};
    auto* compressionLayout = new QVBoxLayout(compressionBox);
    for (int i = 0; i < int(m_ssOption1.size()); ++i) {
        m_ssOption1[i] = makeOption(levels[i], QStringLiteral("SSOption1_%1").arg(i), compressionBox);
        m_compression->addButton(m_ssOption1[i], i);
        compressionLayout->addWidget(m_ssOption1[i]);
    }
    compressionLayout->addStretch();

    auto* updateBox = new QGroupBox("File Update Options:", this);
    updateBox->setObjectName("Frame2");
    m_updateOption = new QButtonGroup(this);
    const QStringList updates{"Add/Replace", "Freshen", "Update"};
    auto* updateLayout = new QVBoxLayout(updateBox);
    for (int i = 0; i < int(m_ssOption2.size()); ++i) {
        m_ssOption2[i] = makeOption(updates[i], QStringLiteral("SSOption2_%1").arg(i), updateBox);
        m_updateOption->addButton(m_ssOption2[i], i);
        updateLayout->addWidget(m_ssOption2[i]);
    }
    updateLayout->addSpacing(6);
    m_ssCheck1 = makeCheck("Reset Archive Attribute", "SSCheck1", updateBox);
    updateLayout->addWidget(m_ssCheck1);
    updateLayout->addStretch();

    auto* spanningBox = new QGroupBox("Volume Spanning:", this);
    spanningBox->setObjectName("Frame3");
    m_ssOption3 = makeOption("No Spanning", "SSOption3", spanningBox);
    m_ssOption4 = makeOption("Automatic", "SSOption4", spanningBox);
    m_ssOption5 = makeOption("Custom Size(Bytes)", "SSOption5", spanningBox);
    // The three share the group box, so Qt keeps exactly one of them selected.
    m_ssOption3->setChecked(true);
    m_text1 = new QLineEdit(spanningBox);
    m_text1->setObjectName("Text1");
    m_text1->setMaxLength(11);
    m_text1->setMinimumWidth(m_text1->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")) + 16);
    connect(m_text1, &QLineEdit::textChanged, this, &fZipSet::checkSizeBox);

    m_btnOptions = new QToolButton(spanningBox);
    m_btnOptions->setObjectName("btnOptions");
    m_btnOptions->setArrowType(Qt::DownArrow);
    m_btnOptions->setAccessibleName("Diskette sizes");
    m_mnuOptions = new QMenu("Options", this);
    m_mnuOptions->setObjectName("mnuOptions");
    // The captions keep their runs of blanks, which line the sizes up under each other.
    m_mnu720 = makeAction(m_mnuOptions, " 720K     3.5 Diskette", "mnu720");
    m_mnu144 = makeAction(m_mnuOptions, "1.44M     3.5 Diskette", "mnu144");
    m_mnu288 = makeAction(m_mnuOptions, "2.88M     3.5 Diskette", "mnu288");
    m_mnuOptions->addSeparator();
    m_mnuExit = makeAction(m_mnuOptions, "Exit", "mnuExit");
    connect(m_mnu720, &QAction::triggered, this, [this] { m_text1->setText(kSize720); });
    connect(m_mnu144, &QAction::triggered, this, [this] { m_text1->setText(kSize144); });
    connect(m_mnu288, &QAction::triggered, this, [this] { m_text1->setText(kSize288); });
    // Exit only closes the menu, which choosing any entry does anyway.
    connect(m_btnOptions, &QToolButton::clicked, this, &fZipSet::showOptionsMenu);

    auto* spanningLayout = new QVBoxLayout(spanningBox);
    spanningLayout->addWidget(m_ssOption3);
    spanningLayout->addWidget(m_ssOption4);
    spanningLayout->addWidget(m_ssOption5);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addSpacing(18);
    sizeRow->addWidget(m_text1, 1);
    sizeRow->addWidget(m_btnOptions);
    spanningLayout->addLayout(sizeRow);
    spanningLayout->addStretch();

    m_btnBuild = makeButton("  &Build", "Build the zip package", "btnBuild", this);
    m_btnBuild->setDefault(true);
    m_btnHelp = makeButton(" &Help", "Zip package settings help content", "btnHelp", this);
    m_btnHelp->setAutoDefault(false);
    m_btnExit = makeButton(" &Cancel", "Cancel", "btnExit", this);
    m_btnExit->setAutoDefault(false);
    connect(m_btnBuild, &QPushButton::clicked, this, [this] {
        m_confirmed = true;
        accept();
    });
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnHelp, &QPushButton::clicked, this,
            [this] { showHelpTopic(this, m_mode == BuildMode::Build ? kHelpBuild : kHelpUpdate); });
    connect(m_ssCheck6, &QCheckBox::toggled, this, [this](bool hide) { setPasswordHidden(m_text5, hide); });

    auto* passwordRow = new QGridLayout;
    passwordRow->addWidget(passwordLabel, 0, 0);
    passwordRow->addWidget(m_text5, 0, 1);
    passwordRow->addWidget(m_ssCheck6, 0, 2);
    passwordRow->addWidget(m_lblEncryption, 1, 1, 1, 2);
    passwordRow->setColumnStretch(1, 1);
    auto* choices = new QHBoxLayout;
    choices->addWidget(compressionBox);
    choices->addWidget(updateBox);
    choices->addWidget(spanningBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnBuild);
    buttons->addWidget(m_btnHelp);
    buttons->addWidget(m_btnExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label14);
    layout->addWidget(m_label1);
    layout->addSpacing(6);
    layout->addWidget(commentsLabel);
    layout->addWidget(m_text0);
    layout->addSpacing(4);
    layout->addLayout(passwordRow);
    layout->addSpacing(4);
    layout->addLayout(choices);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    load(openPackage);
}

void fZipSet::load(const QString& openPackage) {
    const bool update = m_mode == BuildMode::Update;
    if (update) {
        // An update adds to a package that already has its volumes, so only "No Spanning" is left to choose.
        m_btnOptions->setEnabled(false);
        m_ssOption5->setEnabled(false);
        m_ssOption4->setEnabled(false);
        m_text1->setEnabled(false);
        m_btnBuild->setText("Update");
        m_label14->setText("Update Zip Package Settings");
    }

    const QString compression = m_state.reloadOption("Options01");
    QString updateOption = m_state.reloadOption("Options02");
    const QString resetArchive = m_state.reloadOption("Options05");
    const QString hide = m_state.reloadOption("Optionse3");
    const QString password = m_state.reloadOption("Optionse4");
    const QString zipsFolder = m_state.reloadOption("Options09");
    const QString packageName = m_state.reloadOption("Options10");
    m_text1->setText(m_state.settings.GetSetting(kSettingsSection, kSpanningKey, QString()));

    if (!update) {
        // A new package has nothing to freshen or update.
        updateOption = QStringLiteral("1");
        m_ssOption2[1]->setEnabled(false);
        m_ssOption2[2]->setEnabled(false);
    } else if (updateOption == QLatin1String("1")) {
        updateOption = QStringLiteral("3");
    }

    m_text5->setText(password);
    m_text0->setPlainText(m_comment);
    const int level = compression.toInt();
    m_ssOption1[level >= 1 && level <= 4 ? level - 1 : 2]->setChecked(true);
    const int code = updateOption.toInt();
    m_ssOption2[code >= 1 && code <= 3 ? code - 1 : 0]->setChecked(true);
    m_ssCheck1->setChecked(resetArchive == kYes);
    m_ssCheck6->setChecked(hide == kYes);
    setPasswordHidden(m_text5, hide == kYes);
    m_label1->setText(update ? openPackage : withSlash(zipsFolder) + packageName);
    m_text0->selectAll();
    m_text0->setFocus();
}

void fZipSet::checkSizeBox(const QString& text) {
    // The size must fit a 32-bit integer; anything else (letters, too many digits, nothing) empties the box.
    bool ok = false;
    text.trimmed().toInt(&ok);
    if (!ok && !text.isEmpty()) m_text1->clear();
}

void fZipSet::showOptionsMenu() {
    m_mnuOptions->popup(m_btnOptions->mapToGlobal(QPoint(m_btnOptions->width(), 0)));
}

void fZipSet::store() {
    QList<QPair<QString, QString>> values;
    if (m_mode == BuildMode::Build) {
        m_noSpanning = m_ssOption3->isChecked();
        m_automatic = m_ssOption4->isChecked();
        m_custom = m_ssOption5->isChecked();
        m_customSize = m_text1->text();
        values.append({kSpanningKey, m_customSize});
    } else {
        // An update never spans, whatever is stored; the stored size is kept for the next build.
        m_noSpanning = true;
        m_automatic = false;
        m_custom = false;
        m_customSize.clear();
    }

    const int level = m_compression->checkedId();
    const int code = m_updateOption->checkedId();
    const QList<QPair<QString, QString>> options{
        {"Options01", QString::number(level >= 0 ? level + 1 : 3)},
        {"Options02", QString::number(code >= 0 ? code + 1 : 1)},
        {"Options05", m_ssCheck1->isChecked() ? kYes : kNo},
        {"Optionse3", m_ssCheck6->isChecked() ? kYes : kNo},
        {"Optionse4", m_text5->text()},
    };
    for (const auto& [key, value] : options)
        m_state.setOption(key, value);
    values.append(options);
    // One write of the store for the whole dialog.
    m_state.settings.SaveSettings(kSettingsSection, values);

    m_comment = m_text0->toPlainText();
}

void fZipSet::done(int result) {
    // Cancel and the close box store the settings too; only the confirmed flag tells a build from a cancel.
    store();
    QDialog::done(result);
}

void fZipSet::answerWith(const QString& answer) {
    const bool build = isYes(answer) || answer == QLatin1String("build");
    if (build) m_confirmed = true;
    done(build ? QDialog::Accepted : QDialog::Rejected);
}
