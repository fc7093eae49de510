#pragma once
// The self-extracting package maker: copies the extractor program and appends the open package to it, making a
// Linux program that extracts the package when run. The copy is a SfxJob, which the dialog's JobRunner runs off
// the window thread. A made program can be tried at once, or handed to the splitter.

#include "app/ui/FormControls.h"
#include "app/ui/JobRunner.h"

#include <QDialog>
#include <QProcess>

class AppState;
class QLabel;
class QLineEdit;
class QPushButton;

class fSFX : public QDialog {
    Q_OBJECT
  public:
    /// package: the package open in the main window. The hand-over to the splitter is emptied here.
    fSFX(AppState& state, const QString& package, QWidget* parent = nullptr);
    ~fSFX() override;

    /// What btnStart does: makes the program off the window thread; makeFinished() follows the end.
    void makeNow();
    /// What btnTest does after a make: the program runs in a terminal window, or, without a terminal, its own
    /// test runs and its answer is shown; testFinished() follows that.
    void testNow();
    /// What btnSpilt does after a make: the program is handed to the splitter and the dialog closes.
    void splitNow();
    /// A folder picked by the browse button: into the box with its trailing "/", and stored.
    void usePickedFolder(const QString& folder);
    /// The program made last, or "" before a successful make.
    QString madeProgram() const { return m_made; }
    /// The terminal program Test starts the made program in ("" for none); tests set their own.
    void setTerminal(const QString& terminal) { m_terminal = terminal; }

  signals:
    void makeFinished();
    void testFinished();

  protected:
    void done(int result) override;

  private:
    void browse();

    AppState& m_state;
    QString m_package;
    QString m_made;
    QString m_terminal;
    bool m_closeWhenDone = false;
    FormControls::BusyPointer m_busy;
    QProcess m_test;
    JobRunner m_runner; ///< last, so it is gone (and its worker joined) before anything the job uses

    QLineEdit* m_txtFile;
    QLineEdit* m_txtSize;
    QLineEdit* m_txtPath;
    QLineEdit* m_txtNewName;
    QLabel* m_status;
    QPushButton* m_btnBrowse;
    QPushButton* m_btnStart;
    QPushButton* m_btnTest;
    QPushButton* m_btnSpilt;
    QPushButton* m_btnHelp;
    QPushButton* m_btnExit;
};
