#pragma once
// Asks for the password of encrypted entries when the one the program had did not open them. OK stores the box
// as the program-wide password (empty is accepted); Cancel changes nothing.

#include "AnswerableDialog.h"

class AppState;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class fPassword : public AnswerableDialog {
    Q_OBJECT
  public:
    explicit fPassword(AppState& state, QWidget* parent = nullptr);

    /// Shows the dialog modally; true when the password was accepted (and stored).
    static bool ask(AppState& state, QWidget* parent = nullptr);

    QString password() const;

  protected:
    /// A queued test answer: "ok" or "y" as OK with the stored password, anything else as Cancel.
    void answerWith(const QString& answer) override;

  private:
    void acceptPassword();

    AppState& m_state;
    QLabel* m_promptLabel;
    QLineEdit* m_passwordEdit;
    QCheckBox* m_hideCheck;
    QPushButton* m_cmdOK;
    QPushButton* m_btnExit;
};
