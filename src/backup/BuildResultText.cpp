#include "BuildResultText.h"

#include "utility/NativePath.h"
#include "utility/TextUtil.h"

namespace BuildTexts {
QString buildButtonCaption(BuildMode mode) {
    return mode == BuildMode::Build ? QStringLiteral(" Build") : QStringLiteral(" Update");
}
} // namespace BuildTexts

void fillResultTexts(BuildResult& result, BuildMode mode, const QString& target) {
    result.heading = BuildTexts::buildButtonCaption(mode) + BuildTexts::kCompleted;
    result.lockedLine = BuildTexts::kLockedBypassed + TextUtil::formatGrouped(result.locked);
    result.leftOutLine =
        result.leftOut > 0 ? BuildTexts::kLeftOut + TextUtil::formatGrouped(result.leftOut) : QString();
    result.changedLine =
        result.changed > 0 ? BuildTexts::kChanged + TextUtil::formatGrouped(result.changed) : QString();
    if (mode == BuildMode::Update) {
        result.resultPackagePath = BuildTexts::kPackageUpdated + target;
        result.updatedLine = BuildTexts::kFilesUpdated + TextUtil::formatGrouped(result.entriesWritten);
    } else {
        result.resultPackagePath = target;
    }
}

QByteArray lockedListText(const BuildResult& result) {
    QByteArray text;
    for (const QString& path : result.lockedPaths)
        text += NativePath::display(path).toUtf8() + '\n';
    for (const LeftOutFile& file : result.leftOutFiles)
        text += NativePath::display(file.path).toUtf8() + '\t' + file.reason.toUtf8() + '\n';
    for (const QString& path : result.changedPaths)
        text += NativePath::display(path).toUtf8() + '\t' + BuildTexts::kChangedReason.toUtf8() + '\n';
    return text;
}
