#include "QuickUpdate.h"

#include "app/AppState.h"
#include "utility/FileOps.h"
#include "utility/TextUtil.h"
#include "zip/ZipPackage.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace QuickTexts {
QString setNotFound(const QString& setName) {
    return QStringLiteral("( %1 ) Backup set not found.").arg(setName);
}
} // namespace QuickTexts

namespace {

QString swapExtension(const QString& name, QLatin1String from, QLatin1String to) {
    return name.endsWith(from, Qt::CaseInsensitive) ? name.chopped(from.size()) + to : name;
}

} // namespace

QString quickSetName(const QString& packageFileName) {
    return swapExtension(packageFileName, QLatin1String(".zip"), QLatin1String(".set"));
}

QString findQuickSet(const QString& setsFolder, const QString& packagePath) {
    const QString wanted = TextUtil::trimBlanks(QFileInfo(packagePath).fileName());
    const QDir folder(setsFolder);
    const QStringList sets =
        folder.entryList({QStringLiteral("*.set")}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& set : sets) {
        const QString package = swapExtension(TextUtil::trimBlanks(set), QLatin1String(".set"), QLatin1String(".zip"));
        if (package.compare(wanted, Qt::CaseInsensitive) == 0) return folder.filePath(set);
    }
    return {};
}

Result<QuickSet> readQuickSet(const QString& setPath, const QString& appFolder) {
    const Result<QString> copy = makeWorkingCopy(setPath, appFolder);
    if (!copy) return Status::failure(copy.message());
    QuickSet set;
    set.path = setPath;
    set.comment = readComment(*copy);
    SetContents contents = readRows(*copy);
    // The plain copy of the set lives only as long as it is read.
    clearWorkFolder(appFolder);
    if (!contents.problems.isEmpty()) return Status::failure(damagedSetMessage(setPath, contents.problems));
    for (SelectionRow& row : contents.rows) {
        if (row.isTotal() || !FileOps::exists(row.path)) continue;
        if (!row.isFolder()) {
            const std::optional<qint64> size = FileOps::regularFileSize(row.path);
            row.files = TextUtil::formatGrouped(1);
            row.size = TextUtil::formatGrouped(size.value_or(0));
        }
        set.rows.append(row);
    }
    std::stable_sort(set.rows.begin(), set.rows.end(), [](const SelectionRow& a, const SelectionRow& b) {
        return a.path.compare(b.path, Qt::CaseInsensitive) < 0;
    });
    return set;
}

QuickSettings QuickSettings::load(AppState& state) {
    const auto stored = [&state](Key key) {
        return state.settings.GetSetting(kSettingsSection, OptionKeys::key(key), OptionKeys::defaultFor(key));
    };
    QuickSettings s;
    s.code = stored(Key::QuickUpdateCode) == QLatin1String("1") ? UpdateCode::Freshen : UpdateCode::Update;
    s.resetArchive = OptionKeys::isYes(stored(Key::QuickResetArchive));
    s.password = PasswordOptions::load(state);
    return s;
}

void QuickSettings::store(AppState& state) const {
    // A password typed here was not typed twice: a changed one is not confirmed for building.
    const QList<QPair<QString, QString>> more{
        {OptionKeys::key(Key::QuickUpdateCode),
         code == UpdateCode::Freshen ? QStringLiteral("1") : QStringLiteral("2")},
        {OptionKeys::key(Key::QuickResetArchive), OptionKeys::yesNo(resetArchive)},
        password.setIn(state, PasswordSource::Unconfirmed)};
    state.save(PasswordOptions::storedOptions(), more);
}

QuickUpdateParams QuickUpdateParams::fromState(const AppState& state) {
    QuickUpdateParams p;
    p.level = CompressionLevels::fromOption(state.text(Option::CompressionMethod));
    p.appFolder = state.folders.app;
    return p;
}

QuickUpdate::QuickUpdate(QuickUpdateParams params, BuildCallbacks callbacks)
    : m_params(std::move(params)), m_callbacks(std::move(callbacks)) {}

BuildParams QuickUpdate::buildParams() const {
    BuildParams p;
    p.mode = BuildMode::Update;
    p.packagePath = m_params.packagePath;
    p.comment = m_params.comment;
    p.zip.level = m_params.level;
    p.zip.updateCode = m_params.code;
    p.zip.password.text = m_params.password;
    // Stored under the full path without its root, whatever the build's option says.
    p.storeFullPaths = true;
    p.appFolder = m_params.appFolder;
    for (const SelectionRow& row : m_params.rows) {
        p.list.append({row.path, row.include, row.exclude});
        p.selectedFiles += TextUtil::parseGrouped(row.files);
        p.selectedBytes += TextUtil::parseGrouped(row.size);
    }
    return p;
}

BuildResult QuickUpdate::run(const CancelToken& cancel) {
    const BuildParams params = buildParams();
    {
        ZipPackage package;
        if (package.zOpenZipFile(params.packagePath) == kZipOk && package.zIsSpanned()) {
            BuildResult refused = BuildResult::notBuilt(params);
            refused.message = QuickTexts::kSpanned;
            return refused;
        }
    }
    return BuildJob(params, m_callbacks).execute(cancel);
}
