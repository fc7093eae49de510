#include "fOpenWith.h"

#include "app/ui/FormControls.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

fOpenWith::fOpenWith(const QString& file, const QList<DesktopApp>& apps, QWidget* parent)
    : AnswerableDialog(parent), m_file(file), m_apps(apps) {
    setObjectName("fOpenWith");
    setWindowTitle(QStringLiteral("Varnhold"));
    QLabel* label =
        FormControls::makePlainLabel(QStringLiteral("Open %1 with:").arg(QFileInfo(file).fileName()), "Label1", this);
    QStringList names;
    for (const DesktopApp& app : apps)
        names << app.name;
    m_names = new QStringListModel(names, this);
    m_list = new QListView(this);
    m_list->setObjectName("lstPrograms");
    m_list->setModel(m_names);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (!names.isEmpty()) m_list->setCurrentIndex(m_names->index(0));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* open = buttons->addButton(QStringLiteral(" &Open"), QDialogButtonBox::AcceptRole);
    open->setObjectName("btnOpen");
    open->setDefault(true);
    open->setEnabled(!names.isEmpty());
    QPushButton* other = buttons->addButton(QStringLiteral("Other &program..."), QDialogButtonBox::ActionRole);
    other->setObjectName("btnOther");
    QPushButton* cancel = buttons->addButton(QStringLiteral(" &Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName("btnExit");
    connect(open, &QPushButton::clicked, this, [this] { chooseRow(m_list->currentIndex().row()); });
    connect(m_list, &QListView::doubleClicked, this, [this](const QModelIndex& index) { chooseRow(index.row()); });
    connect(other, &QPushButton::clicked, this, [this] {
        const QString program = QFileDialog::getOpenFileName(this, QStringLiteral("Varnhold - Choose a program"),
                                                             QStringLiteral("/usr/bin"));
        if (!program.isEmpty()) chooseProgram(program);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(360, 320);
}

void fOpenWith::chooseRow(int row) {
    if (row < 0 || row >= m_apps.size()) return;
    m_command = DesktopApps::commandFor(m_apps.at(row), m_file);
    if (!m_command.isEmpty()) accept();
}

void fOpenWith::chooseProgram(const QString& program) {
    const QString found = DesktopApps::runnable(program);
    if (found.isEmpty()) return;
    m_command = {found, m_file};
    accept();
}

void fOpenWith::answerWith(const QString& answer) {
    bool isRow = false;
    const int row = answer.toInt(&isRow);
    if (isRow)
        chooseRow(row);
    else if (answer != QLatin1String("cancel"))
        chooseProgram(answer);
    if (result() != QDialog::Accepted) reject();
}
