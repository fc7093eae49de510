#include "BuildRunner.h"

#include "app/AppState.h"
#include "app/ui/MessageDialogs.h"
#include "fLoad.h"
#include "fZipOK.h"
#include "fZipSet.h"

#include <QApplication>
#include <QWidget>

BuildRunner::BuildRunner(AppState& state, BuildParams params, QWidget* owner)
    : m_state(state), m_params(std::move(params)), m_owner(owner), m_comment(m_params.comment) {}

BuildRunner::~BuildRunner() {
    // Nothing of the build may outlive the runner: the shared token stops it, and its done step is dropped.
    if (m_runner.isRunning()) {
        m_state.cancel.cancel();
        m_runner.wait();
    }
    if (m_busyCursor) QApplication::restoreOverrideCursor();
    delete m_load;
    if (m_ownerHidden && m_owner) m_owner->show();
}

void BuildRunner::setSeams(const BuildCallbacks& seams) {
    m_seams.afterWalk = seams.afterWalk;
    m_seams.beforeCheck = seams.beforeCheck;
    m_seams.selecting = seams.selecting;
}

BuildCallbacks BuildRunner::callbacks() {
    BuildCallbacks c;
    QWidget* owner = m_owner;
    c.askReplace = [owner](const ReplaceQuestion& q) {
        return askOnWindowThread(
            [&] { return MessageDialogs::askReplace(owner, q.path, q.sizeText, q.dateText) == QLatin1String("y"); });
    };
    // Only changes go to the window: the zip layer reports many times per percent.
    c.selecting = [this, seam = m_seams.selecting](int percent) {
        if (seam) seam(percent);
        if (m_lastSelecting.exchange(percent) != percent) m_runner.post([this, percent] { emit selecting(percent); });
    };
    c.compressing = [this](int percent) {
        if (m_lastCompressing.exchange(percent) != percent)
            m_runner.post([this, percent] { emit compressing(percent); });
    };
    c.checking = [this](int percent) {
        if (m_lastChecking.exchange(percent) != percent) m_runner.post([this, percent] { emit checking(percent); });
    };
    c.fileLocked = [this](const QString& path, qint64 count) {
        m_runner.post([this, path, count] { emit fileLocked(path, count); });
    };
    c.afterWalk = m_seams.afterWalk;
    c.beforeCheck = m_seams.beforeCheck;
    return c;
}

void BuildRunner::endEarly(const BuildResult& result) {
    m_result = result;
    if (!m_result.message.isEmpty()) MessageDialogs::showError(m_owner, m_result.message);
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_busy = false;
            emit finished(m_result);
        },
        Qt::QueuedConnection);
}

bool BuildRunner::start() {
    if (m_busy) return false;
    m_busy = true;
    m_confirmed = false;
    m_comment = m_params.comment;
    m_lastSelecting = -1;
    m_lastCompressing = -1;
    m_lastChecking = -1;

    // The build takes its options and the password from the stored settings; with a settings file that could not
    // be read it would run on the defaults (a package meant to be encrypted would come out plain).
    if (const QString problem = m_state.settings.problem(); !problem.isEmpty()) {
        BuildResult refused;
        refused.outcome = BuildOutcome::Stopped;
        refused.message = problem + QStringLiteral(" The build was not run.");
        endEarly(refused);
        return true;
    }

    // The checks and the replace question come first, so the user is not asked for settings of a build that
    // cannot happen. They run here on the window thread; nothing on disk changes yet.
    if (std::optional<BuildResult> stopped = checkBuild(m_params, callbacks().askReplace)) {
        endEarly(*stopped);
        return true;
    }
    storeBuildTarget(m_state, m_params);

    // The settings dialog gives the build its last parameters: the zip settings and the comment.
    BuildParams params = m_params;
    {
        fZipSet settings(ZipSettings::load(m_state), params.mode, params.comment, params.targetPath(), m_owner);
        settings.exec();
        m_confirmed = settings.confirmed();
        m_comment = settings.comment();
        // However the dialog was closed, its settings are kept for the next time, with one write of the store.
        settings.settings().store(m_state);
        params.zip = settings.settings();
        params.comment = m_comment;
    }
    if (!m_confirmed) {
        endEarly(BuildResult::notBuilt(params));
        return true;
    }

    m_job = std::make_unique<BuildJob>(params, callbacks());
    // The shared token is ours to clear, once, before the build starts; the progress window's Cancel sets it and
    // the job only reads it, so a Cancel at any moment is kept.
    m_state.cancel.clear();
    m_load = new fLoad(m_state.cancel, params.mode, params.targetPath(), params.selectedFiles, params.selectedBytes,
                       params.appFolder, m_owner);
    // The package is the build's until it ends, so the other windows wait; the progress window itself keeps
    // answering, and its Cancel is how the user stops the build.
    m_load->setWindowModality(Qt::ApplicationModal);
    connect(this, &BuildRunner::selecting, m_load, &fLoad::setSelecting);
    connect(this, &BuildRunner::compressing, m_load, &fLoad::setCompressing);
    connect(this, &BuildRunner::checking, m_load, &fLoad::setChecking);
    connect(this, &BuildRunner::fileLocked, m_load, &fLoad::addLocked);

    m_ownerHidden = m_hideOwner && m_owner && m_owner->isVisible();
    if (m_ownerHidden) m_owner->hide();
    m_load->show();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_busyCursor = true;

    BuildJob* job = m_job.get();
    m_runner.start([this, job] { m_result = job->run(m_state.cancel); }, [this] { buildEnded(); });
    return true;
}

void BuildRunner::buildEnded() {
    QApplication::restoreOverrideCursor();
    m_busyCursor = false;
    m_load->finish();
    delete m_load;
    if (m_ownerHidden && m_owner) m_owner->show();
    m_ownerHidden = false;
    m_job.reset();

    if (!m_result.notes.isEmpty()) MessageDialogs::showError(m_owner, m_result.notes.join(u'\n'));
    if (m_result.ok()) {
        fZipOK done(m_result, m_state.folders.app, m_owner);
        done.exec();
    } else if (!m_result.message.isEmpty()) {
        MessageDialogs::showError(m_owner, m_result.message);
    }
    m_busy = false;
    emit finished(m_result);
}
