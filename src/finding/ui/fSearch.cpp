#include "fSearch.h"

#include "app/ui/FormControls.h"
#include "app/ui/HelpViewer.h"
#include "finding/FixedDrives.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr int kHelpContext = 127;

QLineEdit* makeEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

// Editable like the original boxes: a word typed in by hand is stored as typed, and the search's check names it.
QComboBox* makeCombo(const QStringList& items, const QString& current, const char* name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->addItems(items);
    combo->setCurrentText(current);
    return combo;
}

// A stored date that is empty or no date shows today, which is what the picker stores back.
QDateEdit* makeDate(const QString& stored, const char* name, QWidget* parent) {
    const QDate date = readSearchDate(stored);
    auto* edit = new QDateEdit(date.isValid() ? date : QDate::currentDate(), parent);
    edit->setObjectName(name);
    edit->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

fSearch::fSearch(CRegSettings& store, QWidget* parent) : fSearch(store, FixedDrives::roots(), parent) {}

fSearch::fSearch(CRegSettings& store, const QStringList& drives, QWidget* parent)
    : AnswerableDialog(parent), m_store(store) {
    using namespace FormControls;
    setObjectName("fSearch");
    setWindowTitle("Varnhold");
    const SearchOptions stored = SearchOptions::load(store);

    auto* title = makeLabel("Search Options", "lblTitle", this);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    title->setFont(big);

    m_SSOption1 = makeCheck("File size", "SSOption1", this);
    m_SSOption2 = makeCheck("File name", "SSOption2", this);
    m_SSOption3 = makeCheck("Containing text", "SSOption3", this);
    m_SSOption4 = makeCheck("Date", "SSOption4", this);
    m_Check1 = makeCheck("Match case", "Check1", this);
    m_SSOption1->setChecked(stored.ticked(SearchKey::SizeTicked));
    m_SSOption2->setChecked(stored.ticked(SearchKey::NameTicked));
    m_SSOption3->setChecked(stored.ticked(SearchKey::TextTicked));
    m_SSOption4->setChecked(stored.ticked(SearchKey::DateTicked));
    m_Check1->setChecked(stored.ticked(SearchKey::MatchCase));

    m_Combo1 =
        makeCombo({SearchWords::kAtLeast, SearchWords::kAtMost}, stored.text(SearchKey::SizeCompare), "Combo1", this);
    m_txtFindSize = makeEdit("txtFindSize", this);
    m_txtFindSize->setText(stored.text(SearchKey::SizeLimit));
    m_txtFindFP = makeEdit("txtFindFP", this);
    m_txtFindFP->setText(stored.text(SearchKey::NamePattern));
    m_txtFindText = makeEdit("txtFindText", this);
    m_txtFindText->setText(stored.text(SearchKey::Text));
    m_Combo2 = makeCombo({SearchWords::kModified, SearchWords::kCreated, SearchWords::kAccessed},
                         stored.text(SearchKey::DateKind), "Combo2", this);
    m_ccrpDtp1 = makeDate(stored.text(SearchKey::StartDate), "ccrpDtp1", this);
    m_ccrpDtp2 = makeDate(stored.text(SearchKey::EndDate), "ccrpDtp2", this);

    m_List1 = new QListWidget(this);
    m_List1->setObjectName("List1");
    m_List1->setSelectionMode(QAbstractItemView::MultiSelection);
    const QString storedDrives = stored.text(SearchKey::Drives);
    for (const QString& root : drives.mid(0, FixedDrives::kMaxDrives)) {
        auto* item = new QListWidgetItem(root, m_List1);
        item->setSelected(FixedDrives::isSelected(storedDrives, root));
    }
    auto* drivesPanel = new QGroupBox("Select Drives", this);
    drivesPanel->setObjectName("fraDrives");
    auto* drivesLayout = new QVBoxLayout(drivesPanel);
    drivesLayout->addWidget(m_List1);

    m_btnStart = makeButton(" &Search", "Start the search", "btnStart", this);
    m_btnHelp = makeButton("  &Help", "Search options help contents", "btnHelp", this);
    m_btnExit = makeButton(" &Cancel", "Cancel", "btnExit", this);
    m_btnStart->setDefault(true);

    auto* criteria = new QGridLayout;
    criteria->addWidget(m_SSOption1, 0, 0);
    criteria->addWidget(m_Combo1, 0, 1);
    criteria->addWidget(m_txtFindSize, 0, 2);
    criteria->addWidget(makeLabel("KB", "lblKB", this), 0, 3);
    criteria->addWidget(m_SSOption2, 1, 0);
    criteria->addWidget(m_txtFindFP, 1, 1, 1, 3);
    criteria->addWidget(m_SSOption3, 2, 0);
    criteria->addWidget(m_txtFindText, 2, 1, 1, 2);
    criteria->addWidget(m_Check1, 2, 3);
    criteria->addWidget(m_SSOption4, 3, 0);
    criteria->addWidget(m_Combo2, 3, 1);
    auto* between = new QHBoxLayout;
    between->addWidget(makeLabel("between:", "lblBetween", this));
    between->addWidget(m_ccrpDtp1);
    between->addWidget(makeLabel("and", "lblAnd", this));
    between->addWidget(m_ccrpDtp2);
    between->addStretch();
    criteria->addLayout(between, 4, 1, 1, 3);
    criteria->setColumnStretch(2, 1);

    auto* buttons = makeButtonRow({m_btnStart, m_btnHelp, m_btnExit});

    auto* body = new QHBoxLayout;
    body->addLayout(criteria, 3);
    body->addWidget(drivesPanel, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(body);
    layout->addLayout(buttons);

    // The drive list is wide enough for the usual roots; a longer one scrolls.
    int widest = 0;
    for (int i = 0; i < m_List1->count(); ++i)
        widest = std::max(widest, m_List1->fontMetrics().horizontalAdvance(m_List1->item(i)->text()));
    const int scrollBar = m_List1->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    m_List1->setMinimumWidth(std::min(widest, m_List1->fontMetrics().averageCharWidth() * 32) + scrollBar +
                             4 * m_List1->frameWidth() + 8);

    // Tab goes through the criteria row by row, then the drives and the buttons.
    QWidget* order[] = {m_SSOption1,   m_Combo1,   m_txtFindSize, m_SSOption2, m_txtFindFP, m_SSOption3,
                        m_txtFindText, m_Check1,   m_SSOption4,   m_Combo2,    m_ccrpDtp1,  m_ccrpDtp2,
                        m_List1,       m_btnStart, m_btnHelp,     m_btnExit};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    enableFields();
    const std::pair<QCheckBox*, SearchKey> ticks[] = {{m_SSOption1, SearchKey::SizeTicked},
                                                      {m_SSOption2, SearchKey::NameTicked},
                                                      {m_SSOption3, SearchKey::TextTicked},
                                                      {m_SSOption4, SearchKey::DateTicked},
                                                      {m_Check1, SearchKey::MatchCase}};
    for (const auto& [box, key] : ticks)
        connect(box, &QCheckBox::toggled, this, [this, key = key](bool on) { tick(key, on); });
    connect(m_btnStart, &QPushButton::clicked, this, [this] {
        m_confirmed = true;
        accept();
    });
    connect(m_btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { showHelpTopic(this, kHelpContext); });
}

void fSearch::enableFields() {
    m_Combo1->setEnabled(m_SSOption1->isChecked());
    m_txtFindSize->setEnabled(m_SSOption1->isChecked());
    m_txtFindFP->setEnabled(m_SSOption2->isChecked());
    m_txtFindText->setEnabled(m_SSOption3->isChecked());
    m_Check1->setEnabled(m_SSOption3->isChecked());
    m_Combo2->setEnabled(m_SSOption4->isChecked());
    m_ccrpDtp1->setEnabled(m_SSOption4->isChecked());
    m_ccrpDtp2->setEnabled(m_SSOption4->isChecked());
}

void fSearch::tick(SearchKey key, bool on) {
    SearchOptions::storeTick(m_store, key, on);
    enableFields();
    if (!on) return;
    // The date criterion has no box to type into first; its fields are reached by the mouse.
    QWidget* first = key == SearchKey::SizeTicked   ? m_txtFindSize
                     : key == SearchKey::NameTicked ? m_txtFindFP
                     : key == SearchKey::TextTicked ? m_txtFindText
                                                    : nullptr;
    if (first) first->setFocus();
}

SearchOptions fSearch::options() const {
    SearchOptions o;
    QStringList selected;
    for (int i = 0; i < m_List1->count(); ++i)
        if (m_List1->item(i)->isSelected()) selected << m_List1->item(i)->text();
    o.setText(SearchKey::Drives, FixedDrives::joined(selected));
    o.setText(SearchKey::SizeCompare, m_Combo1->currentText());
    o.setText(SearchKey::SizeLimit, m_txtFindSize->text());
    o.setText(SearchKey::NamePattern, m_txtFindFP->text());
    o.setText(SearchKey::Text, m_txtFindText->text());
    o.setText(SearchKey::DateKind, m_Combo2->currentText());
    o.setText(SearchKey::StartDate, searchDateText(m_ccrpDtp1->date()));
    o.setText(SearchKey::EndDate, searchDateText(m_ccrpDtp2->date()));
    o.setTicked(SearchKey::SizeTicked, m_SSOption1->isChecked());
    o.setTicked(SearchKey::NameTicked, m_SSOption2->isChecked());
    o.setTicked(SearchKey::TextTicked, m_SSOption3->isChecked());
    o.setTicked(SearchKey::DateTicked, m_SSOption4->isChecked());
    o.setTicked(SearchKey::MatchCase, m_Check1->isChecked());
    return o;
}

void fSearch::done(int result) {
    if (!m_stored) {
        m_stored = true;
        options().store(m_store);
    }
    AnswerableDialog::done(result);
}

void fSearch::answerWith(const QString& answer) {
    if (answer == QLatin1String("search") || isYes(answer)) {
        m_confirmed = true;
        accept();
    } else {
        reject();
    }
}
