#pragma once
// The folders the user ticks in the wizard's tree, in the order they were ticked. Each tick needs a count of the
// folder, which runs off the window thread one at a time; this class decides which count runs next and what an
// untick means for a count that is queued or running, so rows always come in the order of the ticks. It runs
// nothing itself: the window starts each count and reports its end.

#include "SelectionModel.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

class FolderTicks {
  public:
    /// One count to run: the folder and the patterns in force when it was ticked.
    struct Count {
        QString folder;
        CurrentPatterns patterns;
    };

    explicit FolderTicks(SelectionModel& model) : m_model(model) {}

    /// A folder was ticked: its count is queued (a folder that does not exist is ignored; false).
    bool tick(const QString& path);
    /// A folder was unticked: a queued count is dropped, its row is removed. Returns true when the running count
    /// is this folder's, which the caller then cancels (its end will add no row).
    bool untick(const QString& path);
    /// Every tick is forgotten: the queue is emptied and the running count will add no row. True when a count
    /// runs, which the caller then cancels.
    bool clear();

    /// The next count to start, when none runs; it is running from now on.
    std::optional<Count> startNext();
    /// The running count has ended: its row is added unless it was unticked or cleared meanwhile. Returns true when
    /// a row was added.
    bool finished(const FolderCount& count, bool cancelled);

    /// The folders ticked whose counts run or wait, in the order of their ticks: the grid shows them as counting.
    QStringList pending() const;

    bool isRunning() const { return m_running.has_value(); }
    /// True while a count runs or waits.
    bool busy() const { return m_running.has_value() || !m_queue.empty(); }

  private:
    struct Entry {
        Count count;
        bool dropped = false;
    };
    SelectionModel& m_model;
    std::deque<Count> m_queue;
    std::optional<Entry> m_running;
};
