#pragma once
// What the two backup set dialogs share: the heading, the grid of the sets folder's sets (vbalGrid1) sorted by
// name, header clicks that sort (a second click on the same header reverses), the selection label Label1, and
// Delete, Cancel and Help. fBkSet adds Select, fBkSetSave the name and comment boxes and Save.

#include "app/ui/AnswerableDialog.h"

class AppState;
class QLabel;
class QPushButton;
class QTableView;
class SetListModel;

class SetGridDialog : public AnswerableDialog {
    Q_OBJECT
  public:
    QTableView* grid() const { return m_grid; }
    const SetListModel& model() const { return *m_model; }
    /// The name Label1 shows: the selected set's name, "" when no row is selected.
    QString selectedName() const;
    /// Selects the row of a set name; false when the grid has none.
    bool selectSet(const QString& name);

  protected:
    /// Lists the sets of the sets folder (through working copies; sets that cannot be read are left out).
    SetGridDialog(AppState& state, const char* objectName, const QString& heading, const QString& helpTip,
                  int helpContext, QWidget* parent);

    /// Delete: asks unless "Don't show " was ticked before in this run, removes the file and then its row.
    void deleteSelected();

    AppState& m_state;
    QString m_setsFolder; ///< ends in "/"
    QLabel* m_headingLabel;
    QTableView* m_grid;
    QLabel* m_lblSelected; ///< Label1
    QPushButton* m_btnDelete;
    QPushButton* m_btnExit;
    QPushButton* m_btnHelp;

  private:
    void showSelection();

    SetListModel* m_model;
};
