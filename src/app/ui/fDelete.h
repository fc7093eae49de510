#pragma once
// Asks before something is deleted for good. The answer is "y" or "n"; the "Don't show " box lets the user
// stop the question for the rest of the package (or run), which the caller keeps as "-1" / "0".

#include "AnswerableDialog.h"

class QCheckBox;
class QLabel;
class QPushButton;

class fDelete : public AnswerableDialog {
    Q_OBJECT
  public:
    static const QString kFileQuestion; ///< the question asked for an entry of the zip package

    /// suppressed is the caller's "don't show" value ("-1" ticks the box); name is what is to be deleted.
    explicit fDelete(const QString& suppressed, const QString& name = {}, QWidget* parent = nullptr);

    /// Callers deleting something other than a package entry ask their own question.
    void setQuestion(const QString& question);

    /// "y" after Yes, else "n".
    QString answer() const { return m_answer; }
    /// The box as the caller's value: "-1" ticked, "0" not.
    QString suppressed() const;
    void done(int result) override;

  protected:
    /// A queued test answer: "y" counts as Yes, anything else as No.
    void answerWith(const QString& answer) override;

  private:
    QString m_answer = QStringLiteral("n");
    QLabel* m_questionLabel;
    QLabel* m_lblName;
    QCheckBox* m_dontShowCheck;
    QPushButton* m_cmdYes;
    QPushButton* m_cmdNo;
};
