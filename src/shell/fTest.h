#pragma once
// The check of the open package: every entry read back and its CRC compared, with the stored password, off the
// window thread, with a progress bar and Cancel. The window shows the summary and the entries that failed.

#include "app/ui/JobRunner.h"

#include <QDialog>
#include <QStringList>

class AppState;
class QProgressBar;
class QPushButton;
class ZipPackage;

class fTest : public QDialog {
    Q_OBJECT
  public:
    fTest(AppState& state, ZipPackage& package, const QString& packageName, QWidget* parent = nullptr);
    ~fTest() override;

    /// Starts the check and shows the dialog until the check has ended.
    int exec() override;
    /// After exec(): the line for the status bar, and "name: reason" for each entry that failed.
    QString summary() const;
    const QStringList& failures() const { return m_failures; }

  protected:
    /// Cancel, Escape and the title bar stop the check; the dialog closes once it has stopped.
    void reject() override;

  private:
    AppState& m_state;
    ZipPackage& m_package;
    QString m_packageName;
    int m_result = 0;
    bool m_cancelled = false;
    QStringList m_failures;
    QProgressBar* m_progress;
    QPushButton* m_btnCancel;
    JobRunner m_runner; ///< last, so it is gone (and its worker joined) before anything the job uses
};
