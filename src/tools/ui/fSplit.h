#pragma once
// The split dialog: cuts one file (as a rule a zip package) into numbered pieces of a fixed size, with the merge
// files beside them, and estimates how long one piece takes at three modem speeds. The split itself is a SplitJob,
// which the dialog's JobRunner runs off the window thread.

#include "app/ui/FormControls.h"
#include "app/ui/JobRunner.h"

#include <QDialog>

class AppState;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStringListModel;

class fSplit : public QDialog {
    Q_OBJECT
  public:
    /// openPackage: the package open in the main window, split unless the self-extractor maker handed a program
    /// over (AppState::splitHandOver).
    fSplit(AppState& state, const QString& openPackage, QWidget* parent = nullptr);
    /// A running split is cancelled and waited for, so nothing of it outlives the dialog.
    ~fSplit() override;

    /// What btnStart does: checks the file and the count, then splits off the window thread; splitFinished()
    /// follows the end.
    void splitNow();
    bool isSplitting() const { return m_runner.isRunning(); }
    /// The file to split, as the browse button takes it: size, recalculation and name.
    void useFile(const QString& path);
    /// A folder picked by the browse button: into the box with its trailing "/", and stored.
    void usePickedFolder(const QString& folder);

  signals:
    void progressChanged(int percent);
    void splitFinished();

  protected:
    /// Every way of closing stores the piece size and the modem speed.
    void done(int result) override;

  private:
    void load(const QString& openPackage);
    void storeSettings();
    void recalculate();
    void takeFile(const QString& path);
    void browseFile();
    void browseFolder();
    void splitEnded(bool ok, bool cancelled, const QString& reason, qint64 pieces);
    QString speedChoice() const;

    AppState& m_state;
    qint64 m_fileSize = 0;
    qint64 m_pieceSize = 1;
    qint64 m_pieceCount = 0;
    QString m_sourceName;
    QString m_timePrefix;
    FormControls::BusyPointer m_busy;
    bool m_closeWhenDone = false;
    JobRunner m_runner; ///< last, so it is gone (and its worker joined) before anything the job uses

    QLineEdit* m_txtFile;
    QLineEdit* m_txtSize;
    QLineEdit* m_txtPath;
    QLineEdit* m_txtSegSize;
    QLineEdit* m_txtSplitNumber;
    QLineEdit* m_txtTime;
    QRadioButton* m_speed[3];
    QProgressBar* m_progress;
    QStringListModel* m_batchLines;
    QListView* m_lstFiles;
    QPushButton* m_btnBrowseFiles;
    QPushButton* m_btnBrowse;
    QPushButton* m_btnStart;
    QPushButton* m_btnHelp;
    QPushButton* m_btnExit;
};
