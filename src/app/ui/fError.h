#pragma once
// The program's one window for error messages: the message above an Exit button.

#include "AnswerableDialog.h"

class QLabel;
class QPushButton;

class fError : public AnswerableDialog {
    Q_OBJECT
  public:
    explicit fError(const QString& message, QWidget* parent = nullptr);

    QString message() const;
    /// Records the message for DialogHook::shownMessages(), then shows the dialog unless a test queued an answer.
    int exec() override;

  private:
    QLabel* m_messageLabel;
    QPushButton* m_cmdExit;
};
