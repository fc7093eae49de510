#pragma once
// What build and update print while a BuildJob runs and once it has ended: the progress bars one after the other,
// the files that did not go in as they were, and the result's counters.

#include "TerminalProgress.h"
#include "backup/BuildJob.h"

#include <optional>

class AppState;

namespace cli {

// The bars of the desktop program's progress window, one after the other on the terminal.
struct BuildBars {
    std::optional<TerminalProgress> selecting;
    std::optional<TerminalProgress> compressing;
    std::optional<TerminalProgress> checking;
    void select(int percent);
    void compress(int percent);
    void check(int percent);
    void finish();
    /// The job's progress callbacks, moving these bars.
    void connect(BuildCallbacks& callbacks);
};

/// On stderr: each locked, left-out and changed file with its tag, then what the build found beside the package.
void printSkippedFiles(const BuildResult& result);
/// On stdout: the heading, the package, the totals and counters of a completed build or update, and where the
/// list of the files left out was saved.
void printBuildCounters(const AppState& state, const BuildResult& result, BuildMode mode);

} // namespace cli
