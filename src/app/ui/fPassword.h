#pragma once
// Asks for the password of encrypted entries when the one the program had did not open them. OK hands back the
// box as the program-wide password (empty is accepted), which ask() stores; Cancel changes nothing.

#include "AnswerableDialog.h"
#include "app/PasswordOptions.h"

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
    /// The password and the Hide tick as OK took them (before OK: as loaded). The dialog itself stores nothing.
    const PasswordOptions& settings() const { return m_settings; }

  protected:
    /// A queued test answer: "ok" or "y" as OK with the stored password, anything else as Cancel.
    void answerWith(const QString& answer) override;

  private:
    void acceptPassword();

    AppState& m_state;
    PasswordOptions m_settings;
    QLabel* m_promptLabel;
    QLineEdit* m_passwordEdit;
    QCheckBox* m_hideCheck;
    QPushButton* m_cmdOK;
    QPushButton* m_btnExit;
};
