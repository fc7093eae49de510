#include "ExtractJob.h"

ExtractJob::ExtractJob(ZipPackage& package, ExtractParams params, ExtractCallbacks callbacks)
    : m_package(package), m_params(std::move(params)), m_callbacks(std::move(callbacks)) {}

ExtractResult ExtractJob::run(const CancelToken& cancel) {
    const ZipProgressCallback& progress = m_callbacks.progress;
    ExtractResult result;
    if (m_params.entry)
        result.code = m_package.zExtractOne(*m_params.entry, m_params.targetFolder, m_params.password, m_params.options,
                                            cancel, &result.report, progress);
    else if (!m_params.several.empty())
        result.code = m_package.zExtractEntries(m_params.several, m_params.targetFolder, m_params.password,
                                                m_params.options, cancel, progress, &result.report);
    else
        result.code = m_package.zExtractAll(m_params.targetFolder, m_params.password, m_params.options, cancel,
                                            progress, &result.report);
    if (!result.ok()) result.message = m_package.zGetLastErrorAsText();
    return result;
}
