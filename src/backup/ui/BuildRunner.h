#pragma once
// The window side of a build: the checks and the replace question, the zip settings dialog, the build itself
// through a JobRunner with the progress window showing, and the message or the result dialog at the end.

#include "app/ui/JobRunner.h"
#include "backup/BuildJob.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

class AppState;
class QWidget;
class fLoad;

class BuildRunner : public QObject {
    Q_OBJECT
  public:
    /// owner is the window the dialogs sit over (the wizard).
    BuildRunner(AppState& state, BuildParams params, QWidget* owner = nullptr);
    /// A build still running is cancelled through the shared token and waited for; it reports nothing more.
    ~BuildRunner() override;

    /// Passes the job's test seams on (afterWalk, beforeCheck, and selecting, which runs before the report goes
    /// to the window); they are called on the build's thread.
    void setSeams(const BuildCallbacks& seams);
    /// Hides the owner while the build runs and shows it again before the result. Off by default: hiding a
    /// QDialog ends its exec(), so only an owner shown with show() may ask for it.
    void setHideOwner(bool hide) { m_hideOwner = hide; }

    /// Starts the whole build and returns at once. The checks (checkBuild), the replace question and the settings
    /// dialog run now, on the window thread, and the job is made with the parameters they leave; the build runs off it,
    /// with the progress window following it; at its end the result dialog or the message shows, then finished(result).
    /// Every start() ends in one finished(), a build that never ran too (a check stopped it, the replace question was
    /// answered no, the settings dialog was not confirmed: outcome Stopped or Declined, nothing on disk changed).
    /// False, and nothing started, while a build of this runner is under way.
    bool start();
    /// True from start() until finished() has been emitted.
    bool isRunning() const { return m_busy; }
    /// The result of the last build, valid once finished() has been emitted.
    const BuildResult& result() const { return m_result; }

    /// After the settings dialog: whether it was confirmed, and the comment it handed back (the wizard puts it
    /// back into its comment box whether or not the build went on).
    bool settingsConfirmed() const { return m_confirmed; }
    QString comment() const { return m_comment; }

    /// The progress window while the build runs, else null.
    fLoad* progressWindow() const { return m_load; }

  signals:
    /// The build has ended and its result dialog or message has been shown.
    void finished(const BuildResult& result);
    // Progress of the running build, on the window thread; the progress window follows them.
    void selecting(int percent);
    void compressing(int percent);
    void checking(int percent);
    void fileLocked(const QString& path, qint64 lockedCount);

  private:
    BuildCallbacks callbacks();
    /// Ends a start() whose build never ran: the message (if any) now, finished() from the event queue.
    void endEarly(const BuildResult& result);
    /// The done step of the build, on the window thread.
    void buildEnded();

    AppState& m_state;
    BuildParams m_params;
    QWidget* m_owner;
    BuildCallbacks m_seams;
    bool m_hideOwner = false;
    bool m_ownerHidden = false;
    bool m_busy = false;
    bool m_busyCursor = false;
    bool m_confirmed = false;
    QString m_comment;
    BuildResult m_result;
    QPointer<fLoad> m_load;
    std::atomic_int m_lastSelecting{-1};
    std::atomic_int m_lastCompressing{-1};
    std::atomic_int m_lastChecking{-1};
    std::unique_ptr<BuildJob> m_job;
    JobRunner m_runner; ///< after m_job, so it is gone (and its worker joined) before the job goes
};
