#include "AppState.h"

#include "RecentList.h"

AppState::AppState(const QString& application) : settings(kCompany, application) {}

namespace {
std::size_t indexOf(Option option) {
    return static_cast<std::size_t>(option);
}
} // namespace

QString AppState::text(Option option) const {
    const std::optional<QString>& value = m_options[indexOf(option)];
    return value ? *value : OptionKeys::defaultFor(option, folders);
}

QString AppState::path(Option option) const {
    const QString folder = text(option);
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

void AppState::setText(Option option, const QString& value) {
    m_options[indexOf(option)] = value;
}

bool AppState::save(const QList<Option>& options, const QList<QPair<QString, QString>>& moreKeys) {
    QList<QPair<QString, QString>> values;
    for (Option option : options)
        values.append({OptionKeys::key(option), text(option)});
    values.append(moreKeys);
    return settings.SaveSettings(kSettingsSection, values);
}

bool AppState::saveText(Option option, const QString& value) {
    setText(option, value);
    return save({option});
}

QString AppState::reload(Option option) {
    QString value =
        settings.GetSetting(kSettingsSection, OptionKeys::key(option), OptionKeys::defaultFor(option, folders));
    setText(option, value);
    return value;
}

QString AppState::workFolder(const QString& name) const {
    return folders.app + "/" + name + "/";
}

void AppState::addRecent(const QString& packagePath) {
    AddTheEntry(settings, packagePath, recent);
}
