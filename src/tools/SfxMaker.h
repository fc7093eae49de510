#pragma once
// The self-extracting package maker: the extractor program's bytes followed by a zip package's bytes, unchanged,
// make one Linux program that extracts the package when run and stays a zip package for every other tool.
// SfxJob is a job of the core: parameters in, a result out, progress through a callback, the caller's
// CancelToken only read.

#include "utility/CancelToken.h"
#include "utility/Result.h"

#include <QString>
#include <functional>

namespace SfxTexts {
inline const QString kCompleted = QStringLiteral("Completed");
} // namespace SfxTexts

/// The made program's name for a package named packageName: the name up to and including its last ".", then
/// "run" (backup.zip gives backup.run); a name without "." gets ".run".
QString sfxDefaultName(const QString& packageName);

/// The extractor program to copy: "Kovra" in the application folder when a file of that name is there, else the
/// installed "varnhold-sfx" in programFolder (the running program's folder). The failure names both places.
Result<QString> findSfxStub(const QString& appFolder, const QString& programFolder);

struct SfxParams {
    QString stubPath;
    QString packagePath;
    QString targetPath; ///< the program to make; one already there is replaced
};

struct SfxResult {
    bool ok = false;
    bool cancelled = false;
    qint64 length = 0; ///< of the made program
    /// On failure: "Error: <reason> Error Copying File" (the stub) or "... Error Appending File" (the package).
    QString message;
};

class SfxJob {
  public:
    /// percent: the share copied so far, 0 to 100, on the job's thread after each block.
    explicit SfxJob(SfxParams params, std::function<void(int percent)> progress = {});
    /// Writes the program beside the target and renames it into place, executable, once complete: a failure or a
    /// cancel leaves whatever was there before.
    SfxResult run(const CancelToken& cancel);

  private:
    SfxParams m_params;
    std::function<void(int)> m_progress;
};
