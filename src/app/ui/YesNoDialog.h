#pragma once
// The base of the dialogs that ask a question with Yes and No (fReplace, fDelete). The answer is "y" or "n"; any
// way of closing other than Yes answers "n", so a caller never destroys a file by accident.

#include "AnswerableDialog.h"

class QPushButton;

class YesNoDialog : public AnswerableDialog {
    Q_OBJECT
  public:
    /// "y" after Yes, else "n".
    QString answer() const { return m_answer; }
    void done(int result) override;

  protected:
    using AnswerableDialog::AnswerableDialog;

    /// Makes the buttons cmdYes and cmdNo with their tool tips. No is the default button: what these dialogs ask
    /// cannot be undone, so Enter must not say yes.
    void makeButtons(const QString& yesTip, const QString& noTip);
    /// A queued test answer: "y" counts as Yes, anything else as No.
    void answerWith(const QString& answer) override;

    QPushButton* m_cmdYes = nullptr;
    QPushButton* m_cmdNo = nullptr;

  private:
    QString m_answer = QStringLiteral("n");
};
