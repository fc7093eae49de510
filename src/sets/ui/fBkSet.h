#pragma once
// "Select backup Set": the user picks one set of the sets folder, which the caller then loads. Select closes the
// dialog only when the picked set's file is still there; a set that vanished meanwhile keeps the dialog open.

#include "SetGridDialog.h"

class fBkSet : public SetGridDialog {
    Q_OBJECT
  public:
    static constexpr int kHelpContext = 126;

    explicit fBkSet(AppState& state, QWidget* parent = nullptr);

    /// Shows the dialog modally; the chosen set's full path, "" on Cancel.
    static QString pick(AppState& state, QWidget* parent = nullptr);

    /// The chosen set's full path once Select has closed the dialog, else "".
    QString chosenPath() const { return result() == QDialog::Accepted ? m_chosenPath : QString(); }

  protected:
    /// A queued test answer naming a set selects it and presses Select; any other answer cancels.
    void answerWith(const QString& answer) override;

  private:
    void selectChosen();

    QPushButton* m_btnSelectSet;
    QString m_chosenPath;
};
