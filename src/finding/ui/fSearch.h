#pragma once
// The search options dialog: the size, name, text and date criteria of the wizard's file search, each behind a
// tick, and the drives to search. It only edits the criteria in the settings store: a tick is written the moment
// it changes, everything else when the dialog closes by either button. The caller reads searchConfirmed()
// after exec() and runs the search only when it is true.

#include "app/ui/AnswerableDialog.h"
#include "finding/SearchOptions.h"

#include <QStringList>

class CRegSettings;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QPushButton;

class fSearch : public AnswerableDialog {
    Q_OBJECT
  public:
    /// Reads the criteria from store and offers the fixed drives of this machine.
    explicit fSearch(CRegSettings& store, QWidget* parent = nullptr);
    /// The same with the drives given (tests; a machine's own list comes from FixedDrives::roots()).
    fSearch(CRegSettings& store, const QStringList& drives, QWidget* parent = nullptr);

    /// True when the dialog was left with Search.
    bool searchConfirmed() const { return m_confirmed; }
    /// The criteria as the controls show them now, the drives and dates in their stored form.
    SearchOptions options() const;

  public slots:
    void done(int result) override; ///< both buttons, Escape and the close box: stores the criteria

  protected:
    /// "search", "y" or "ok" presses Search; anything else Cancel.
    void answerWith(const QString& answer) override;

  private:
    void tick(SearchKey key, bool on);
    void enableFields();

    CRegSettings& m_store;
    bool m_confirmed = false;
    bool m_stored = false;
    QCheckBox* m_SSOption1;
    QCheckBox* m_SSOption2;
    QCheckBox* m_SSOption3;
    QCheckBox* m_SSOption4;
    QCheckBox* m_Check1;
    QComboBox* m_Combo1;
    QLineEdit* m_txtFindSize;
    QLineEdit* m_txtFindFP;
    QLineEdit* m_txtFindText;
    QComboBox* m_Combo2;
    QDateEdit* m_ccrpDtp1;
    QDateEdit* m_ccrpDtp2;
    QListWidget* m_List1;
    QPushButton* m_btnStart;
    QPushButton* m_btnHelp;
    QPushButton* m_btnExit;
};
