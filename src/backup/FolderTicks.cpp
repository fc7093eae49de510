#include "FolderTicks.h"

#include "utility/FileOps.h"
#include "utility/TextUtil.h"

namespace {
bool samePath(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

bool FolderTicks::tick(const QString& path) {
    const QString folder = TextUtil::withSlash(path);
    if (!FileOps::exists(folder)) return false;
    // The row carries the patterns in force at the tick, whatever the user changes while it waits.
    m_queue.push_back({folder, m_model.patterns});
    return true;
}

bool FolderTicks::untick(const QString& path) {
    const QString folder = TextUtil::withSlash(path);
    // The latest tick of the folder is the one an untick takes back: the queue first, then the running count,
    // then a row already there.
    for (auto it = m_queue.rbegin(); it != m_queue.rend(); ++it) {
        if (samePath(it->folder, folder)) {
            m_queue.erase(std::next(it).base());
            return false;
        }
    }
    if (m_running && !m_running->dropped && samePath(m_running->count.folder, folder)) {
        m_running->dropped = true;
        return true;
    }
    m_model.removeFolder(folder);
    return false;
}

bool FolderTicks::clear() {
    m_queue.clear();
    if (!m_running) return false;
    m_running->dropped = true;
    return true;
}

std::optional<FolderTicks::Count> FolderTicks::startNext() {
    if (m_running || m_queue.empty()) return std::nullopt;
    m_running = Entry{std::move(m_queue.front()), false};
    m_queue.pop_front();
    return m_running->count;
}

QStringList FolderTicks::pending() const {
    QStringList folders;
    if (m_running && !m_running->dropped) folders << m_running->count.folder;
    for (const Count& waiting : m_queue)
        folders << waiting.folder;
    return folders;
}

bool FolderTicks::finished(const FolderCount& count, bool cancelled) {
    if (!m_running) return false;
    const Entry done = std::move(*m_running);
    m_running.reset();
    if (done.dropped || cancelled) return false;
    m_model.addCountedFolder(done.count.folder, done.count.patterns, count);
    return true;
}
