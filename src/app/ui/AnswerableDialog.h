#pragma once
// The base of the program's modal dialogs. exec() first takes an answer a test queued through DialogHook and,
// when there is one, closes the dialog as that answer says without showing it; a test can so walk a flow that
// asks questions.

#include <QDialog>

class AnswerableDialog : public QDialog {
    Q_OBJECT
  public:
    using QDialog::QDialog;

    /// Closes the dialog by the next queued test answer and returns its result; without one, shows the dialog.
    int exec() override;

  protected:
    /// Closes the dialog as answer says (the dialog's own words: "y", "ok", "extract", ...). By default any answer
    /// accepts, as the Exit or OK button of a dialog without a choice does.
    virtual void answerWith(const QString& answer);
    /// True for the answers every dialog reads as yes ("y" and "ok").
    static bool isYes(const QString& answer);
};
