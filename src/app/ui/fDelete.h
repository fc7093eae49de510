#pragma once
// Asks before something is deleted for good. The answer is "y" or "n"; the "Don't show " box lets the user
// stop the question for the rest of the package (or run), which the caller keeps as "-1" / "0".

#include "YesNoDialog.h"

class QCheckBox;
class QLabel;

class fDelete : public YesNoDialog {
    Q_OBJECT
  public:
    static const QString kFileQuestion; ///< the question asked for an entry of the zip package

    /// suppressed is the caller's "don't show" value ("-1" ticks the box); name is what is to be deleted.
    explicit fDelete(const QString& suppressed, const QString& name = {}, QWidget* parent = nullptr);

    /// Callers deleting something other than a package entry ask their own question.
    void setQuestion(const QString& question);

    /// The box as the caller's value: "-1" ticked, "0" not.
    QString suppressed() const;

  private:
    QLabel* m_questionLabel;
    QLabel* m_lblName;
    QCheckBox* m_dontShowCheck;
};
