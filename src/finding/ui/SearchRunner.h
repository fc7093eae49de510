#pragma once
// The window side of the wizard's file search: the search options dialog, the criteria checks with their
// message, the scan off the window thread with the progress window fCount showing, and the rows handed to the
// wizard at the end.
//
// In the wizard (fKovra), once:
//
//     m_search = new SearchRunner(state.settings, state.cancel, this);
//
// btnSearch:
//
//     m_search->askAndRun([this](const SearchResult& result) {
//         // result.rows: path, size and the three times of every file taken, in the order found; also after a
//         // cancel (result.cancelled), with what was found until then.
//         model.search.clear();
//         for (const FolderRecord& file : result.rows) ... append a file row with file.modified() etc.
//         model.search.refreshSummary();
//     });
//
// The wizard clears its grid in the callback, not before: a search that is not confirmed or fails its check
// leaves the grid as it was. Before the wizard closes it cancels the token; the runner then waits for the scan.

#include "finding/FileSearch.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

class CRegSettings;
class CancelToken;
class JobRunner;
class QWidget;
class fCount;

class SearchRunner : public QObject {
    Q_OBJECT
  public:
    using Done = std::function<void(const SearchResult&)>;

    /// store holds the criteria; cancel is the program's cancel token, which fCount's Cancel sets; owner is the
    /// window the dialogs sit over.
    SearchRunner(CRegSettings& store, CancelToken& cancel, QWidget* owner);
    ~SearchRunner() override;

    /// btnSearch: shows fSearch and, when it is left with Search, runs the search. True when a search started.
    bool askAndRun(Done done);
    /// Runs the search with the stored criteria. A criterion that fails its check is shown in the message dialog
    /// and fSearch opens again so that it can be corrected: left with Search, the criteria are checked again and
    /// run once they pass; left with Cancel, nothing is searched and false comes back.
    /// Otherwise the scan starts off the window thread with fCount showing ("Scanning files", the count and the
    /// drive), true comes back at once, and done runs on the window thread at the end, when fCount has closed.
    bool run(Done done);
    bool isRunning() const;

    /// The progress window of the running search; null once the search has ended.
    fCount* progressWindow() const { return m_count; }
    /// The drives fSearch offers and "All" stands for; the fixed drives of this machine unless set.
    void setDrives(const QStringList& roots) { m_drives = roots; }
    /// Files per progress report (500); tests use small trees.
    void setProgressStep(int files) { m_progressStep = files; }

  private:
    QStringList drives() const;

    CRegSettings& m_store;
    CancelToken& m_cancel;
    QWidget* m_owner;
    JobRunner* m_runner;
    QPointer<fCount> m_count;
    std::optional<QStringList> m_drives;
    int m_progressStep = 500;
};
