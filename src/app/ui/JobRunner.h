#pragma once
// Runs one long job of the core off the window thread. The job's own shape stays plain (params in, result out,
// progress callbacks, a CancelToken it only reads); the runner gives it a thread and brings its progress and its
// end back to the window thread through queued calls, so no form writes thread plumbing of its own and no form
// waits in a nested event loop.
//
//     auto result = std::make_shared<FindResult>();
//     m_runner.start([=, &token] { *result = job.run(token, progress); },
//                    [=] { showRows(*result); });
//
// Progress callbacks that run on the worker hand their values over with post(). A job that must ask the user
// something (replace this file?) calls askOnWindowThread(), which waits for the answer on the worker.

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

class JobRunner : public QObject {
    Q_OBJECT
  public:
    explicit JobRunner(QObject* parent = nullptr);
    /// Waits for a job still running; whoever owns the job's token cancels it first.
    ~JobRunner() override;

    /// Runs work on a thread of its own and then done on this object's thread, followed by finished(). One job at
    /// a time: false (and nothing started) while one runs.
    bool start(std::function<void()> work, std::function<void()> done = {});
    /// True from start() until done has run.
    bool isRunning() const { return m_running; }
    /// Blocks until the running job's work has returned (for a window that closes); done still runs later from the
    /// event queue unless the runner is destroyed first.
    void wait();

    /// Runs f on this object's thread, queued behind what is already waiting there; callable from the worker.
    void post(std::function<void()> f);

  signals:
    /// After done has run, on this object's thread.
    void finished();

  private:
    std::unique_ptr<QThread> m_thread;
    bool m_running = false;
};

/// Runs f on the window thread and returns its value: directly when called there, else through a blocking
/// queued call, so a job on a worker can ask the user a question and wait for the answer. The window thread
/// must not be blocked waiting for that worker meanwhile (JobRunner never blocks it).
template <typename F> auto askOnWindowThread(F&& f) -> decltype(f()) {
    using Value = decltype(f());
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return f();
    Value value{};
    QMetaObject::invokeMethod(
        app, [&] { value = f(); }, Qt::BlockingQueuedConnection);
    return value;
}
