#include "RegSettings.h"

#include "utility/TextUtil.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>

const QString CRegSettings::kFallbackCompany = QStringLiteral("Brindlecot");

namespace {

QString productName() {
    QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Varnhold") : name;
}

// QSettings treats "/" and "\" as group separators; the key "*" stands for the section's own value.
QString storedKey(const QString& section, const QString& key) {
    QString k = key;
    k.replace(u'/', u'_').replace(u'\\', u'_');
    return section + u'/' + (k == "*" ? QStringLiteral("@default") : k);
}

QString visibleKey(const QString& stored) { return stored == "@default" ? QStringLiteral("*") : stored; }

} // namespace

CRegSettings::CRegSettings() : m_company(kFallbackCompany), m_appName(productName()) {}

CRegSettings::CRegSettings(const QString& company, const QString& appName) : CRegSettings() {
    Company(company);
    AppName(appName);
}

CRegSettings::~CRegSettings() { delete m_settings; }

void CRegSettings::Company(const QString& company) {
    QString trimmed = TextUtil::trimBlanks(company);
    m_company = trimmed.isEmpty() ? kFallbackCompany : trimmed;
    delete m_settings;
    m_settings = nullptr;
}

void CRegSettings::AppName(const QString& appName) {
    QString trimmed = TextUtil::trimBlanks(appName);
    m_appName = trimmed.isEmpty() ? productName() : trimmed;
    delete m_settings;
    m_settings = nullptr;
}

QSettings& CRegSettings::store() const {
    if (!m_settings) m_settings = new QSettings(QSettings::IniFormat, QSettings::UserScope, m_company, m_appName);
    return *m_settings;
}

QString CRegSettings::fileName() const { return store().fileName(); }

bool CRegSettings::commit() {
    QSettings& s = store();
    s.sync();
    if (s.status() != QSettings::NoError) return false;
    // The store may hold the zip password: keep it to its owner.
    QFile::setPermissions(s.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

bool CRegSettings::DeleteSetting(const QString& section, const QString& key) {
    if (section.isEmpty()) return false;
    QSettings& s = store();
    s.sync();
    if (key.isEmpty()) {
        if (!s.childGroups().contains(section)) return false;
        s.remove(section);
    } else {
        const QString stored = storedKey(section, key);
        if (!s.contains(stored)) return false;
        s.remove(stored);
    }
    return commit();
}

QList<QPair<QString, QString>> CRegSettings::GetAllSettings(const QString& section) const {
    QList<QPair<QString, QString>> rows;
    if (section.isEmpty()) return rows;
    QSettings& s = store();
    s.sync();
    s.beginGroup(section);
    const QStringList keys = s.childKeys();
    for (const QString& key : keys) {
        const QVariant value = s.value(key);
        // Only text values count; anything else written into the file by hand is skipped.
        if (value.metaType().id() != QMetaType::QString) continue;
        rows.append({visibleKey(key), value.toString()});
    }
    s.endGroup();
    return rows;
}

QString CRegSettings::GetSetting(const QString& section, const QString& key, const QString& defaultValue) const {
    QSettings& s = store();
    const QString stored = storedKey(section, key);
    if (section.isEmpty() || key.isEmpty() || !s.contains(stored)) return defaultValue;
    const QVariant value = s.value(stored);
    if (value.metaType().id() == QMetaType::QStringList) return value.toStringList().join(u',');
    return value.toString();
}

bool CRegSettings::SaveSetting(const QString& section, const QString& key, const QString& setting) {
    if (section.isEmpty() || key.isEmpty()) return false;
    store().setValue(storedKey(section, key), setting);
    return commit();
}

bool CRegSettings::SaveSettings(const QString& section, const QList<QPair<QString, QString>>& settings) {
    if (section.isEmpty()) return false;
    for (const auto& [key, value] : settings) {
        if (key.isEmpty()) return false;
        store().setValue(storedKey(section, key), value);
    }
    // Each commit is a safe rewrite of the whole file (written beside it, flushed to disk, renamed), so
    // writing many values at once costs one commit, not one each.
    return commit();
}
