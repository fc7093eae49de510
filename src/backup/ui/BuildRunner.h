#pragma once
// The window side of a build: the checks and the replace question, the zip settings dialog, the build itself on
// a thread of its own with the progress window showing, and the message or the result dialog at the end.

#include "backup/BuildJob.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>

class AppState;
class QWidget;
class fLoad;

/// Runs f on the window thread and returns its value: directly when called there, else through a blocking
/// queued call, so a worker can ask the user a question and wait for the answer. The window thread must not be
/// waiting for that worker meanwhile.
template <typename F> auto callOnWindowThread(F&& f) -> decltype(f()) {
    using Value = decltype(f());
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return f();
    Value value{};
    QMetaObject::invokeMethod(
        app, [&] { value = f(); }, Qt::BlockingQueuedConnection);
    return value;
}

class BuildRunner : public QObject {
    Q_OBJECT
  public:
    /// owner is the window the dialogs sit over (the wizard).
    BuildRunner(AppState& state, BuildParams params, QWidget* owner = nullptr);
    ~BuildRunner() override;

    /// Passes the job's test seams on (afterWalk, beforeCheck); they are called on the build's thread.
    void setSeams(const BuildCallbacks& seams);
    /// Hides the owner while the build runs and shows it again before the result. Off by default: hiding a
    /// QDialog ends its exec(), so only an owner shown with show() may ask for it.
    void setHideOwner(bool hide) { m_hideOwner = hide; }

    /// The whole build; returns the job's result. A build the settings dialog did not confirm returns an
    /// outcome of Stopped without a message and leaves everything on disk as it was.
    BuildResult run();

    /// After run(): whether the settings dialog was confirmed, and the comment it handed back (the wizard puts
    /// it back into its comment box whether or not the build went on).
    bool settingsConfirmed() const { return m_confirmed; }
    QString comment() const { return m_comment; }

    /// The progress window while the build runs, else null.
    fLoad* progressWindow() const { return m_load; }

  signals:
    // Emitted on the build's thread; the progress window takes them queued, on the window thread.
    void selecting(int percent);
    void compressing(int percent);
    void fileLocked(const QString& path, qint64 lockedCount);

  private:
    BuildCallbacks callbacks();

    AppState& m_state;
    BuildParams m_params;
    QWidget* m_owner;
    BuildCallbacks m_seams;
    bool m_hideOwner = false;
    bool m_confirmed = false;
    QString m_comment;
    QPointer<fLoad> m_load;
    std::atomic_int m_lastSelecting{-1};
    std::atomic_int m_lastCompressing{-1};
};

/// BuildRunner(state, params, owner).run().
BuildResult runBuild(QWidget* owner, AppState& state, BuildParams params);
