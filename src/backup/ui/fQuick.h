#pragma once
// The quick update dialog: shows the rows of the package's backup set and brings the package up to date from them
// with Freshen or Update (QuickUpdate), run off the window thread by the dialog's JobRunner. After one update the
// dialog only shows what it did: the locked files, Exit and the grid remain.

#include "app/ui/AnswerableDialog.h"
#include "app/ui/FormControls.h"
#include "app/ui/JobRunner.h"
#include "backup/QuickUpdate.h"
#include "backup/SelectionGrid.h"

class AppState;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableView;
class SelectionTableModel;

class fQuick : public AnswerableDialog {
    Q_OBJECT
  public:
    /// packagePath: the package to update (closed by its caller meanwhile); set: its backup set, read; comment: the
    /// package's comment, which the update writes as the box leaves it.
    fQuick(AppState& state, const QString& packagePath, const QuickSet& set, const QString& comment,
           QWidget* parent = nullptr);
    /// A running update is cancelled and waited for, so nothing of it outlives the dialog.
    ~fQuick() override;

    /// What btnBuild does: refuses an empty grid, else runs the update; updateFinished() follows its end.
    void updateNow();
    bool isUpdating() const { return m_runner.isRunning(); }
    /// The comment box as the dialog leaves it.
    QString comment() const;
    /// The grid's rows as shown.
    const SelectionGrid& rows() const { return m_grid; }

  signals:
    void updateFinished();

  protected:
    /// Every way of closing stores the update code, the two boxes and the password; while an update runs, closing
    /// cancels it first and closes at its end.
    void done(int result) override;

  private:
    void load(const QString& packagePath, const QuickSet& set, const QString& comment);
    QuickSettings currentSettings() const;
    void updateEnded(const BuildResult& result);
    void sortGrid(int column);
    static void showGauge(QProgressBar* gauge, int value, const QString& caption);

    AppState& m_state;
    QString m_packagePath;
    SelectionGrid m_grid{GridKind::Quick};
    SelectionTableModel* m_model;
    int m_sortColumn = -1;
    bool m_ascending = true;
    FormControls::BusyPointer m_busy;
    bool m_closeWhenDone = false;
    JobRunner m_runner; ///< last but the controls, so it is gone (and its worker joined) before what the job uses

    QLineEdit* m_txtPackage;  // Text(3)
    QLineEdit* m_txtSet;      // Text(1)
    QLineEdit* m_txtComment;  // Text(0)
    QLineEdit* m_txtPassword; // Text(2)
    QCheckBox* m_chkHide;     // SSCheck6
    QRadioButton* m_optFreshen;
    QRadioButton* m_optUpdate;
    QCheckBox* m_chkReset; // SSCheck1
    QTableView* m_view;
    QProgressBar* m_gaugeSelecting; // vsElastic2
    QProgressBar* m_gaugeUpdating;  // vsElastic3
    QProgressBar* m_gaugeUpdated;   // vsElastic4
    QProgressBar* m_gaugeLocked;    // vsElastic5
    QPushButton* m_btnBuild;
    QPushButton* m_btnView;
    QPushButton* m_btnExit;
    QPushButton* m_btnHelp;
};
