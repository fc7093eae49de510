#include "SearchRunner.h"

#include "app/ui/JobRunner.h"
#include "app/ui/MessageDialogs.h"
#include "fSearch.h"
#include "finding/FixedDrives.h"
#include "tools/ui/fCount.h"
#include "utility/CancelToken.h"
#include "utility/TextUtil.h"

#include <memory>

SearchRunner::SearchRunner(CRegSettings& store, CancelToken& cancel, QWidget* owner)
    : QObject(owner), m_store(store), m_cancel(cancel), m_owner(owner), m_runner(new JobRunner(this)) {}

SearchRunner::~SearchRunner() {
    // The scan reads the token and posts to the runner; whoever owns the token cancels it before this.
    m_runner->wait();
}

QStringList SearchRunner::drives() const {
    return m_drives ? *m_drives : FixedDrives::roots();
}

bool SearchRunner::isRunning() const {
    return m_runner->isRunning();
}

bool SearchRunner::askAndRun(Done done) {
    if (isRunning()) return false;
    fSearch dialog(m_store, drives(), m_owner);
    dialog.exec();
    if (!dialog.searchConfirmed()) return false;
    return run(std::move(done));
}

bool SearchRunner::run(Done done) {
    if (isRunning()) return false;
    auto search = std::make_shared<FileSearch>(SearchOptions::load(m_store), drives());
    // A criterion that fails its check is shown and fSearch opens again to correct it; Search there checks the
    // corrected criteria and runs them, Cancel ends here.
    for (QString problem; !(problem = search->check()).isEmpty();) {
        MessageDialogs::showError(m_owner, problem);
        fSearch dialog(m_store, drives(), m_owner);
        dialog.exec();
        if (!dialog.searchConfirmed()) return false;
        search = std::make_shared<FileSearch>(SearchOptions::load(m_store), drives());
    }
    search->setProgressStep(m_progressStep);

    if (m_count) m_count->deleteLater();
    m_count = new fCount(m_cancel, m_owner);
    m_count->setAttribute(Qt::WA_DeleteOnClose);
    m_count->setCaptionText(SearchTexts::kScanning);
    m_count->setScanText(SearchTexts::kScanned + QStringLiteral("0"));
    const QStringList roots = search->roots();
    if (!roots.isEmpty()) m_count->setDriveText(SearchTexts::kDrive + roots.first());
    connect(m_count, &QDialog::rejected, this, [this] {
        if (isRunning()) m_cancel.cancel();
    });
    m_count->show();

    m_cancel.clear();
    auto result = std::make_shared<SearchResult>();
    QPointer<fCount> count = m_count;
    auto progress = [this, count](qint64 scanned, const QString& root) {
        m_runner->post([count, scanned, root] {
            if (!count) return;
            count->setScanText(SearchTexts::kScanned + TextUtil::formatGrouped(scanned));
            count->setDriveText(SearchTexts::kDrive + root);
        });
    };
    return m_runner->start([search, result, progress, this] { *result = search->run(m_cancel, progress); },
                           [result, count, done = std::move(done)] {
                               // The progress window has nothing left to cancel: it goes, and the grid shows
                               // what was found.
                               if (count) count->finish();
                               if (done) done(*result);
                           });
}
