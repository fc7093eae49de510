#pragma once
// The program's settings store: text values under company, application, section and key, kept in a per-user
// INI file ($XDG_CONFIG_HOME/<company>/<application>.ini) that only its owner can read, since it may hold the
// zip password. The key "*" is the section's unnamed default value.

#include <QList>
#include <QPair>
#include <QString>

class QSettings;

class CRegSettings {
  public:
    /// The company used when none is given.
    static const QString kFallbackCompany;

    CRegSettings();
    CRegSettings(const QString& company, const QString& appName);
    ~CRegSettings();
    CRegSettings(const CRegSettings&) = delete;
    CRegSettings& operator=(const CRegSettings&) = delete;

    /// Trimmed; an empty text sets the fallback company.
    void Company(const QString& company);
    QString Company() const { return m_company; }
    /// Trimmed; an empty text sets the running program's product name.
    void AppName(const QString& appName);
    QString AppName() const { return m_appName; }

    /// With a key: removes that value ("*" the default value). Without one (or ""): removes the whole section.
    bool DeleteSetting(const QString& section, const QString& key = QString());
    /// Every value of the section as (key, value) rows, in the store's order; empty when the section is missing.
    QList<QPair<QString, QString>> GetAllSettings(const QString& section) const;
    /// The stored text ("" when an empty text was stored), or defaultValue when the value does not exist.
    QString GetSetting(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    /// Stores the text, creating the section when needed; true on success.
    bool SaveSetting(const QString& section, const QString& key, const QString& setting);
    /// Stores several values of one section with a single write of the file.
    bool SaveSettings(const QString& section, const QList<QPair<QString, QString>>& settings);

    /// How many times this instance has written the file behind the store: each write rewrites the whole file,
    /// so the callers batch their values and tests count the writes.
    int writeCount() const { return m_writes; }

    /// Full path of the file behind the store.
    QString fileName() const;
    /// "" when the store can be used; otherwise a message naming the file and what is wrong with it (it cannot
    /// be read, is a folder, or is not a settings file). Such a store gives every default and writes nothing.
    QString problem() const;

  private:
    QSettings& store() const;
    bool commit();
    bool usable() const;
    bool writable();

    QString m_company;
    QString m_appName;
    mutable QSettings* m_settings = nullptr;
    mutable QString m_problem;
    int m_writes = 0;
};
