#pragma once
// "Save backup Set": the user names the set the wizard is about to write and may edit its comment. Save applies
// the name rule (blanks trimmed, ".set" added), refuses a name the file system would refuse, and asks before an
// existing set is replaced; No keeps the dialog open so another name can be typed. The set itself is written by
// the caller (saveBackupSet), which replaces the old file only once the new one is whole.

#include "SetGridDialog.h"
#include "sets/SetSaving.h"

#include <optional>

class QLineEdit;

class fBkSetSave : public SetGridDialog {
    Q_OBJECT
  public:
    static constexpr int kHelpContext = 137;

    /// offeredName goes into Text1 (all of it selected), comment into Text4.
    fBkSetSave(AppState& state, const QString& offeredName, const QString& comment, QWidget* parent = nullptr);

    /// Shows the dialog modally; the chosen name, path and comment, std::nullopt on Cancel.
    static std::optional<SetSaveChoice> ask(AppState& state, const QString& offeredName, const QString& comment,
                                            QWidget* parent = nullptr);

    /// What Save accepted, once it has closed the dialog; std::nullopt otherwise.
    std::optional<SetSaveChoice> choice() const;

    QLineEdit* nameBox() const { return m_txtName; }
    QLineEdit* commentBox() const { return m_txtComment; }

  protected:
    /// A queued test answer: "cancel" or "n" cancels; "y" or "ok" saves under the offered name; any other text is
    /// typed as the name and saved. A further queued answer replies to the replace question. A dialog that Save
    /// left open (No to the replace question, a refused name) counts as cancelled.
    void answerWith(const QString& answer) override;

  private:
    void saveChosen();

    QLineEdit* m_txtName;    ///< Text1
    QLineEdit* m_txtComment; ///< Text4
    QPushButton* m_btnSaveSet;
    SetSaveChoice m_choice;
};
