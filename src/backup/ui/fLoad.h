#pragma once
// The progress window of a build: the package, the selection totals, an animation while the build runs, the bar
// of the files being selected, the bar of the compression, and the files passed over because another program
// holds them. It stays open beside the build; Cancel sets the cancel token the build reads.

#include "backup/BuildJob.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

class fLoad : public QDialog {
    Q_OBJECT
  public:
    /// cancel is the token the build reads (AppState::cancel); appFolder is where Zips/Locked.Txt goes.
    fLoad(CancelToken& cancel, BuildMode mode, const QString& packagePath, qint64 selectedFiles, qint64 selectedBytes,
          const QString& appFolder, QWidget* parent = nullptr);

    QStringList lockedPaths() const;
    /// The list of the files passed over, as the window names it.
    QString lockedListPath() const { return m_lockedList; }
    /// The animation, running while the window is on screen.
    QWidget* animation() const { return m_animation; }

  public slots:
    /// The first bar, "Selecting files for zip package:".
    void setSelecting(int percent);
    /// The second bar, the compression.
    void setCompressing(int percent);
    /// The third bar, "Checking the new package": the package read back before it takes the old one's place.
    void setChecking(int percent);
    /// One more locked file: its path joins the list and count is the new total.
    void addLocked(const QString& path, qint64 count);
    /// What btnCancel does: set the token and close.
    void cancelNow();
    /// Closes the window at the end of the build without touching the token; close() would count as Cancel.
    void finish();

  signals:
    /// The user asked the build to stop (Cancel, Escape or the close box).
    void cancelRequested();

  protected:
    /// Escape, the title bar's close and close() all end here: each means the user wants the build stopped.
    void reject() override;

  private:
    CancelToken& m_cancel;
    QString m_lockedList;
    QLabel* m_lblPackage;
    QLabel* m_lblFiles;
    QLabel* m_lblBytes;
    QWidget* m_animation;
    QLabel* m_selectingLabel;
    QProgressBar* m_selectingBar;
    QLabel* m_selectingPercentLabel;
    QLabel* m_compressingLabel;
    QProgressBar* m_compressingBar;
    QLabel* m_compressingPercentLabel;
    QLabel* m_checkingLabel;
    QProgressBar* m_checkingBar;
    QLabel* m_checkingPercentLabel;
    QLabel* m_lockedHeadingLabel;
    QLabel* m_lblLocked;
    QListWidget* m_lstLocked;
    QLabel* m_lockedListLabel;
    QPushButton* m_btnCancel;
};
