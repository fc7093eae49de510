#include "JobRunner.h"

JobRunner::JobRunner(QObject* parent) : QObject(parent) {}

JobRunner::~JobRunner() {
    wait();
}

bool JobRunner::start(std::function<void()> work, std::function<void()> done) {
    if (m_running) return false;
    m_running = true;
    wait(); // the thread of the previous job has returned already; this only reaps it
    // The destructor waits for the worker, so the runner outlives it; the queued end is dropped by Qt when the
    // runner is destroyed before it is delivered.
    m_thread.reset(QThread::create([this, work = std::move(work), done = std::move(done)]() mutable {
        work();
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                m_running = false;
                if (done) done();
                emit finished();
            },
            Qt::QueuedConnection);
    }));
    m_thread->start();
    return true;
}

void JobRunner::wait() {
    if (m_thread) m_thread->wait();
}

void JobRunner::post(std::function<void()> f) {
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}
