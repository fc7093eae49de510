#pragma once
// A spanned package is replaced volume by volume, so the renames are made safe by a journal: a small work file
// beside the package, ".<name>.rebuild-journal.vhw-<pid>-<n>", that lists every rename and removal. It is
// written and flushed only after all new volumes are on disk; from then on the new set is decided, and the next
// writer of that package that finds the journal of an ended run (recoverRebuild) completes it; readers only
// report it. A journal without its closing checksum was never committed: the old set is still whole, and the
// journal and the new volumes are swept as stale work files.

#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

namespace zipdetail {

/// Puts the new volumes in place through a journal: every rename (work file, volume name) and then every
/// removal, all or, after a kill, all at the next build or update of target. False with the reason in *why.
bool placeVolumes(const QString& target, const std::vector<std::pair<QString, QString>>& renames,
                  const QStringList& removals, QString* why);

/// True when a journal of an interrupted rebuild of the spanned package lies beside it. Readers only report it:
/// reading never renames or removes anything.
bool hasInterruptedRebuild(const QString& package);

struct RebuildRecovery {
    bool complete = true; ///< false when a journal was left: the work files it names must not be swept
    QStringList refused;  ///< journals left alone or that could not be carried out, each with its reason
};

/// For a writer of the package: completes the rebuilds of it whose runs ended after their journal was committed,
/// and removes journals that were never committed (the package was not touched). A journal is carried out only
/// when it asks for nothing but what a rebuild of this one package leaves: that run's own volume work files put
/// in the package's volume names and the package's earlier volumes removed, all plain names in its folder, the
/// journal owned by this user and writable by nobody else. Any other journal is left alone and reported.
RebuildRecovery recoverRebuild(const QString& package);

/// For tests: called at the steps of a spanned rebuild ("volumes-written", "journal-partly-written",
/// "journal-committed", "volume-renamed" after each rename, "old-volumes-removed").
void setRebuildSeam(std::function<void(const char*)> seam);

} // namespace zipdetail
