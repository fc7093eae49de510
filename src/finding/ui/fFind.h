#pragma once
// The find dialog: the zip packages on the selected fixed drives, optionally only those holding an entry whose
// file name matches a pattern. It opens with the packages of the index that still exist and writes the rows it
// shows back to the index when it closes. The find runs through a JobRunner, so the dialog stays responsive and
// Cancel stops a running find at once (the rows found so far stay); Cancel when idle closes the dialog.

#include "app/ui/AnswerableDialog.h"
#include "app/ui/JobRunner.h"
#include "finding/FindSettings.h"
#include "utility/CancelToken.h"

#include <QStringList>
#include <optional>

class AppState;
class PackageTableModel;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class StatusPanel;

class fFind : public AnswerableDialog {
    Q_OBJECT
  public:
    /// drives is the drive list; by default the machine's fixed drives (tests give folders of their own).
    explicit fFind(AppState& state, QWidget* parent = nullptr, std::optional<QStringList> drives = std::nullopt);
    ~fFind() override;

    /// The find result flag: "y" once Open has picked a package, else "n".
    QString findResult() const { return m_findResult; }
    QString pickedPackage() const { return m_picked; }

    QString statusText() const;
    int percent() const;
    const PackageTableModel& model() const { return *m_model; }
    bool isFinding() const { return m_runner.isRunning(); }
    /// The settings as the controls hold them now.
    FindSettings currentSettings() const;
    /// The selected drives in list order.
    QStringList selectedDrives() const;

    // --- the buttons ---
    void find();
    void openPicked();
    void clearRows();
    /// btnExit: stops a running find, else closes the dialog.
    void cancelOrClose();
    /// A header click: ascending first, a second click on the same column reverses.
    void sortByColumn(int column);

  signals:
    /// A find has ended (completed or cancelled) and its rows are in the grid.
    void findFinished();

  public slots:
    void done(int result) override;
    /// Escape and the close box: during a find they stop it, as Cancel does.
    void reject() override;

  protected:
    /// A test's answer: "cancel" or "n" closes; anything else is a package path, opened as Open would.
    void answerWith(const QString& answer) override;

  private:
    void buildForm();
    void load(const QStringList& drives);
    void setStatusText(const QString& text);
    void setBusy(bool busy);

    AppState& m_state;
    CancelToken m_cancel; // outlives the runner, whose destructor waits for the job reading it
    JobRunner m_runner;
    QString m_findResult = QStringLiteral("n");
    QString m_picked;
    QString m_selectedPath; ///< the path of the row selected last
    int m_sortColumn = 1;
    bool m_sortAscending = true;
    bool m_closed = false;

    PackageTableModel* m_model = nullptr;
    QTableView* m_grid = nullptr;
    QListWidget* m_drives = nullptr;
    QLineEdit* m_pattern = nullptr;
    QCheckBox* m_searchInside = nullptr;
    StatusPanel* m_panel = nullptr;
    QPushButton* m_btnFind = nullptr;
    QPushButton* m_btnOpen = nullptr;
    QPushButton* m_btnClear = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QPushButton* m_btnExit = nullptr;
};
