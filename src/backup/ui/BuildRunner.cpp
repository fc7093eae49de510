#include "BuildRunner.h"

#include "app/AppState.h"
#include "app/ui/MessageDialogs.h"
#include "fLoad.h"
#include "fZipOK.h"
#include "fZipSet.h"

#include <QApplication>
#include <QEventLoop>
#include <QWidget>

BuildRunner::BuildRunner(AppState& state, BuildParams params, QWidget* owner)
    : m_state(state), m_params(std::move(params)), m_owner(owner), m_comment(m_params.comment) {}

BuildRunner::~BuildRunner() = default;

void BuildRunner::setSeams(const BuildCallbacks& seams) {
    m_seams.afterWalk = seams.afterWalk;
    m_seams.beforeCheck = seams.beforeCheck;
}

BuildCallbacks BuildRunner::callbacks() {
    BuildCallbacks c;
    QWidget* owner = m_owner;
    c.askReplace = [owner](const ReplaceQuestion& q) {
        return callOnWindowThread(
            [&] { return MessageDialogs::askReplace(owner, q.path, q.sizeText, q.dateText) == QLatin1String("y"); });
    };
    // Only changes go to the window: the zip layer reports many times per percent.
    c.selecting = [this](int percent) {
        if (m_lastSelecting.exchange(percent) != percent) emit selecting(percent);
    };
    c.compressing = [this](int percent) {
        if (m_lastCompressing.exchange(percent) != percent) emit compressing(percent);
    };
    c.fileLocked = [this](const QString& path, qint64 count) { emit fileLocked(path, count); };
    c.afterWalk = m_seams.afterWalk;
    c.beforeCheck = m_seams.beforeCheck;
    return c;
}

BuildResult BuildRunner::run() {
    m_confirmed = false;
    m_comment = m_params.comment;
    m_lastSelecting = -1;
    m_lastCompressing = -1;

    // The build takes its options and the password from the stored settings; with a settings file that could not
    // be read it would run on the defaults (a package meant to be encrypted would come out plain).
    if (const QString problem = m_state.settings.problem(); !problem.isEmpty()) {
        BuildResult refused;
        refused.outcome = BuildOutcome::Stopped;
        refused.message = problem + QStringLiteral(" The build was not run.");
        MessageDialogs::showError(m_owner, refused.message);
        return refused;
    }

    BuildJob job(m_params, callbacks());
    job.setCancelFlag(&m_state.cancel);

    // The checks and the replace question come first, so the user is not asked for settings of a build that
    // cannot happen. They run here on the window thread; nothing on disk changes yet.
    if (!job.prepare()) {
        if (!job.result().message.isEmpty()) MessageDialogs::showError(m_owner, job.result().message);
        return job.result();
    }
    storeBuildTarget(m_state, m_params);

    {
        fZipSet settings(m_state, m_params.mode, m_params.comment, m_params.packagePath, m_owner);
        settings.exec();
        m_confirmed = settings.confirmed();
        m_comment = settings.comment();
        job.params().comment = m_comment;
        // However the dialog was closed, its settings are kept for the next time, with one write of the store.
        settings.settings().store(m_state);
        job.params().zip = settings.settings();
    }
    if (!m_confirmed) return job.result();

    const BuildParams& params = job.params();
    // The shared flag is ours to clear, once, before the build starts; the progress window's Cancel sets it and
    // the job only reads it, so a Cancel at any moment is kept.
    m_state.cancel.store(false);
    fLoad load(m_state.cancel, params.mode, params.targetPath(), params.selectedFiles, params.selectedBytes,
               params.appFolder, m_owner);
    // The package is the build's until it ends, so the other windows wait; the progress window itself keeps
    // answering, and its Cancel is how the user stops the build.
    load.setWindowModality(Qt::ApplicationModal);
    m_load = &load;
    connect(this, &BuildRunner::selecting, &load, &fLoad::setSelecting, Qt::QueuedConnection);
    connect(this, &BuildRunner::compressing, &load, &fLoad::setCompressing, Qt::QueuedConnection);
    connect(this, &BuildRunner::fileLocked, &load, &fLoad::addLocked, Qt::QueuedConnection);

    const bool hideOwner = m_hideOwner && m_owner && m_owner->isVisible();
    if (hideOwner) m_owner->hide();
    load.show();
    QApplication::setOverrideCursor(Qt::BusyCursor);

    // The build runs on a thread of its own; this thread keeps serving the windows until it has ended.
    BuildResult result;
    QEventLoop loop;
    QThread* worker = QThread::create([&job, &result] { result = job.run(); });
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;

    QApplication::restoreOverrideCursor();
    load.finish();
    m_load = nullptr;
    if (hideOwner) m_owner->show();

    if (result.ok()) {
        fZipOK done(result, m_state.folders.app, m_owner);
        done.exec();
    } else if (!result.message.isEmpty()) {
        MessageDialogs::showError(m_owner, result.message);
    }
    return result;
}

BuildResult runBuild(QWidget* owner, AppState& state, BuildParams params) {
    BuildRunner runner(state, std::move(params), owner);
    return runner.run();
}
