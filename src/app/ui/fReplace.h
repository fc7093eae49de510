#pragma once
// Asks whether an existing file may be replaced. The answer is "y" or "n"; any way of closing other than Yes
// answers "n", so a caller never replaces a file by accident.

#include "AnswerableDialog.h"

class QLabel;
class QPushButton;

class fReplace : public AnswerableDialog {
    Q_OBJECT
  public:
    /// path is the existing file; sizeText and dateText are optional detail lines shown below it.
    explicit fReplace(const QString& path, const QString& sizeText = {}, const QString& dateText = {},
                      QWidget* parent = nullptr);

    /// "y" after Yes, else "n".
    QString answer() const { return m_answer; }
    void done(int result) override;

  protected:
    /// A queued test answer: "y" counts as Yes, anything else as No.
    void answerWith(const QString& answer) override;

  private:
    QString m_answer = QStringLiteral("n");
    QLabel* m_lblFile;
    QLabel* m_lblSize;
    QLabel* m_lblDate;
    QPushButton* m_cmdYes;
    QPushButton* m_cmdNo;
};
