#include "fOptions.h"
#include "app/ui/FormControls.h"

#include "app/AppState.h"
#include "app/ui/HelpViewer.h"
#include "utility/TextUtil.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

using FormControls::makeButton;
using FormControls::makeLabel;
using Box = fOptions::Box;

constexpr int kHelpContext = 106;

/// One line of the dialog: its box, label, browse button and what the button asks. The lines stand on the screen
/// in the order the boxes are stored in when the dialog closes.
struct Line {
    Box box;
    Option option;
    const char* label;
    const char* labelName;
    const char* browseName;
    const char* prompt; ///< the folder picker's text; the viewer's file dialog has a title of its own
    const char* browseWhat;
};

constexpr Line kLines[] = {
    {Box::Viewer, Option::ViewerProgram, "Default file viewer:", "Label3", "btnBrowse4", nullptr,
     "Browse for the default file viewer"},
    {Box::Temp, Option::TempFolder, "Default temporary work folder:", "Label2", "btnBrowse1",
     "Please select the temporary work folder", "Browse for the temporary work folder"},
    {Box::Extract, Option::ExtractFolder, "Default extract folder:", "Label0", "btnBrowse2",
     "Please select the default extract folder", "Browse for the default extract folder"},
    {Box::Sets, Option::SetsFolder, "Default backup set(s) folder:", "Label1", "btnBrowse3",
     "Please select the default backup set folder", "Browse for the default backup set folder"},
    {Box::Zip, Option::ZipFolder, "Default zip folder:", "Label5", "btnBrowse7",
     "Please select the target folder for the zip package", "Browse for the default zip folder"},
    {Box::Make, Option::MakeFolder, "Default make folder:", "Label4", "btnBrowse5",
     "Please select the default make .exe from .zip folder", "Browse for the default make folder"},
    {Box::Split, Option::SplitFolder, "Default split folder:", "Label6", "btnBrowse6",
     "Please select the default split file folder", "Browse for the default split folder"},
};

const Line& lineOf(Box box) {
    for (const Line& line : kLines)
        if (line.box == box) return line;
    return kLines[0];
}

const QString kViewerTitle = QStringLiteral("Varnhold - Browse for default file viewer.");

/// The viewer's file dialog lists the folders and the files the user may run. (QDir::Executable alone cannot say
/// so: the file dialog's model then hides every readable file.)
class ProgramsOnly : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files) return true;
        const QFileInfo entry = files->fileInfo(files->index(row, 0, parent));
        return entry.isDir() || entry.isExecutable();
    }
};

} // namespace

fOptions::fOptions(AppState& state, QWidget* parent) : AnswerableDialog(parent), m_state(state) {
    setObjectName("fOptions");
    setWindowTitle("Varnhold");

    QLabel* title = FormControls::makeTitle(QStringLiteral("Folder Settings"), "lblTitle", this);

    auto* grid = new QGridLayout;
    QList<QWidget*> screenOrder;
    int row = 0;
    for (const Line& line : kLines) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text%1").arg(int(line.box)));
        box->setMinimumWidth(420);
        m_boxes[std::size_t(line.box)] = box;
        // A long path shows its end; the tooltip holds all of it.
        connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
            box->setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
        });
        QLabel* label = makeLabel(QString::fromLatin1(line.label), line.labelName, this);
        label->setBuddy(box);
        QPushButton* browse = makeButton(QStringLiteral("..."), {}, line.browseName, this);
        browse->setAccessibleName(QString::fromLatin1(line.browseWhat));
        browse->setAutoDefault(false);
        browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("....") + 16);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(browse, row, 2);
        ++row;
        screenOrder << box << browse;
        const Box which = line.box;
        if (which == Box::Viewer)
            connect(browse, &QPushButton::clicked, this, &fOptions::browseViewer);
        else
            connect(browse, &QPushButton::clicked, this, [this, which] { browseFolder(which); });
    }
    grid->setColumnStretch(1, 1);

    m_btnHelp = makeButton(QStringLiteral("  &Help"), QStringLiteral("Folder settings help content"), "btnHelp", this);
    m_btnHelp->setAutoDefault(false);
    m_btnExit = makeButton(QStringLiteral("  &Exit"), QStringLiteral("Exit"), "btnExit", this);
    m_btnExit->setDefault(true);

    auto* buttons = FormControls::makeButtonRow({m_btnHelp, m_btnExit});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addSpacing(6);
    layout->addLayout(grid);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    screenOrder << m_btnHelp << m_btnExit;
    FormControls::chainTabOrder(screenOrder);

    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, kHelpContext); });
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::accept);

    load();
}

Option fOptions::optionOf(Box box) {
    return lineOf(box).option;
}

void fOptions::load() {
    // Another window may have changed these since start-up; the store has the last word.
    for (const Line& line : kLines)
        edit(line.box)->setText(m_state.reload(line.option));
    edit(Box::Viewer)->setFocus();
}

void fOptions::browseFolder(Box box) {
    edit(box)->setFocus();
    const Line& line = lineOf(box);
    const QString start = m_state.reload(line.option);
    const QString picked = QFileDialog::getExistingDirectory(this, QString::fromLatin1(line.prompt), start);
    if (!picked.isEmpty()) usePickedFolder(box, picked);
}

void fOptions::usePickedFolder(Box box, const QString& folder) {
    if (box == Box::Viewer) return;
    const QString value = TextUtil::withSlash(folder);
    edit(box)->setText(value);
    m_state.saveText(optionOf(box), value);
}

void fOptions::browseViewer() {
    edit(Box::Viewer)->setFocus();
    m_state.reload(Option::ViewerProgram);
    // Any program will do, whatever its name.
    QFileDialog dialog(this, kViewerTitle, m_state.folders.system);
    dialog.setObjectName("dlgViewer");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog); // the filter below needs Qt's own dialog
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setNameFilter(QStringLiteral("Programs (*)"));
    dialog.setProxyModel(new ProgramsOnly(&dialog));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    usePickedViewer(dialog.selectedFiles().first());
}

void fOptions::usePickedViewer(const QString& program) {
    edit(Box::Viewer)->setText(program);
}

void fOptions::done(int result) {
    storeBoxes();
    QDialog::done(result);
}

void fOptions::storeBoxes() {
    // The boxes as typed, unchecked: a folder typed without its "/" is stored so and used so.
    QList<Option> options;
    for (const Line& line : kLines) {
        m_state.setText(line.option, edit(line.box)->text());
        options << line.option;
    }
    m_state.save(options);
}
