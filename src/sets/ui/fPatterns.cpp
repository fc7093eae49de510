#include "fPatterns.h"

#include "app/RegSettings.h"
#include "app/ui/FormControls.h"
#include "app/ui/HelpViewer.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

fPatterns::fPatterns(CRegSettings& settings, QWidget* parent) : AnswerableDialog(parent), m_settings(settings) {
    setObjectName("fPatterns");
    setWindowTitle("Varnhold");

    m_headingLabel = new QLabel("Select File Patterns", this);
    m_headingLabel->setObjectName("Label1");
    QFont heading = m_headingLabel->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.2);
    m_headingLabel->setFont(heading);
    m_includeLabel = new QLabel("Include file pattern(s):", this);
    m_includeLabel->setObjectName("Label2");
    m_excludeLabel = new QLabel("Exclude file pattern(s):", this);
    m_excludeLabel->setObjectName("Label3");

    // The dialog offers "pagefile.sys" for exclude 4; nothing else does until the dialog has stored it.
    const CurrentPatterns stored = CurrentPatterns::fromSettings(settings, true);
    for (int i = 0; i < kBoxes; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Text%1").arg(i));
        edit->setText(i < kPatternSlots ? stored.include[i] : stored.exclude[i - kPatternSlots]);
        // Room for a pattern such as *\Application Data\*.tmp without scrolling.
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 26);
        m_patternBoxes[i] = edit;
    }

    m_btnExit = new QPushButton("  &Exit", this);
    m_btnExit->setObjectName("btnExit");
    m_btnExit->setToolTip("Exit");
    m_btnExit->setAutoDefault(false);
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::accept);
    m_btnHelp = new QPushButton("  &Help", this);
    m_btnHelp->setObjectName("btnHelp");
    m_btnHelp->setToolTip("Select file patterns help contents");
    m_btnHelp->setAutoDefault(false);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, kHelpContext); });

    // Includes on the left, excludes on the right, each pair of boxes on one line.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->addWidget(m_includeLabel, 0, 0);
    grid->addWidget(m_excludeLabel, 0, 1);
    for (int i = 0; i < kPatternSlots; ++i) {
        grid->addWidget(m_patternBoxes[i], i + 1, 0);
        grid->addWidget(m_patternBoxes[i + kPatternSlots], i + 1, 1);
    }
    auto* buttons = FormControls::makeButtonRow({m_btnHelp, m_btnExit});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_headingLabel);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CurrentPatterns fPatterns::edit(CRegSettings& settings, QWidget* parent) {
    fPatterns dialog(settings, parent);
    dialog.exec();
    return dialog.reloadedPatterns();
}

CurrentPatterns fPatterns::reloadedPatterns() const {
    return CurrentPatterns::fromSettings(m_settings, false);
}

void fPatterns::storeBoxes() {
    // Stored as typed, blanks and all: a pattern holding a blank is the user's to keep (a row's text later
    // splits it into words).
    CurrentPatterns typed;
    for (int i = 0; i < kPatternSlots; ++i) {
        typed.include[i] = m_patternBoxes[i]->text();
        typed.exclude[i] = m_patternBoxes[i + kPatternSlots]->text();
    }
    typed.store(m_settings);
}

// Exit, the window's close button and Escape all end here, and all of them keep what was typed.
void fPatterns::done(int result) {
    storeBoxes();
    QDialog::done(result);
}
