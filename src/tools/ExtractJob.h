#pragma once
// Extracting one entry or all entries of the open package: parameters in, a result out, progress through a
// callback and the caller's CancelToken, which the job and the zip layer under it only read. The extract dialog
// runs it off the window thread through its JobRunner; the command-line program runs it on its own thread.

#include "utility/CancelToken.h"
#include "zip/ZipPackage.h"

#include <QString>
#include <functional>
#include <optional>

struct ExtractParams {
    std::optional<qint64> entry; ///< the index of the one entry to extract; unset extracts every entry
    QString targetFolder;        ///< nothing is written outside it
    QString password;
    ExtractOptions options;
    std::vector<qint64> several; ///< or, without entry, the indices of several entries (rows picked in the window)
};

struct ExtractCallbacks {
    /// Counts so far while entries are written, on the job's thread, a few times a second.
    std::function<void(const ZipProgress&)> progress;
};

struct ExtractResult {
    int code = kZipOk; ///< kZipOk, kZipCancelled (the token stopped it; no partly written file is left) or a failure
    QString message;   ///< the zip layer's text when code is not kZipOk
    ExtractReport report;

    bool ok() const { return code == kZipOk; }
    bool cancelled() const { return code == kZipCancelled; }
};

class ExtractJob {
  public:
    /// package is open; nothing else uses it until run() has returned.
    ExtractJob(ZipPackage& package, ExtractParams params, ExtractCallbacks callbacks = {});

    ExtractResult run(const CancelToken& cancel);

  private:
    ZipPackage& m_package;
    ExtractParams m_params;
    ExtractCallbacks m_callbacks;
};
