#include "AppState.h"

#include "RecentList.h"

AppState::AppState(const QString& application) : settings(kCompany, application) {}

QString AppState::option(const QString& key) const {
    auto it = m_options.constFind(key);
    return it != m_options.cend() ? *it : OptionKeys::defaultFor(key, folders);
}

void AppState::setOption(const QString& key, const QString& value) { m_options.insert(key, value); }

void AppState::saveOption(const QString& key, const QString& value) {
    setOption(key, value);
    settings.SaveSetting(kSettingsSection, key, value);
}

QString AppState::reloadOption(const QString& key) {
    QString value = settings.GetSetting(kSettingsSection, key, OptionKeys::defaultFor(key, folders));
    setOption(key, value);
    return value;
}

QString AppState::workFolder(const QString& name) const { return folders.app + "/" + name + "/"; }

void AppState::addRecent(const QString& packagePath) { AddTheEntry(settings, packagePath, "File", recent); }
