#include "RegSettings.h"

#include "utility/TextUtil.h"

#include "utility/SystemError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString visibleKey(const QString& stored) {
    return stored == "@default" ? QStringLiteral("*") : stored;
}

// QSettings passes over much that is not an INI file at all (binary data, text without sections) and would
// then write its defaults over it. The program's own files are UTF-8 text of section lines, "key=value" lines
// and blank lines; anything else is taken for a damaged file.
bool looksLikeSettings(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) return false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        for (QChar c : line)
            if (c.unicode() < 0x20 && c != u'\t') return false;
        const QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#')) continue;
        if (trimmed.startsWith(u'[') ? !trimmed.endsWith(u']') : !trimmed.contains(u'=')) return false;
    }
    return true;
}

// Why the file behind the store cannot be used, or "" when it can (a missing file is simply empty). QSettings
// itself only reports a problem through its status and then carries on with no values at all.
QString unusableBecause(const QString& path, QSettings::Status status) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT) return {};
        return QStringLiteral("cannot be read: %1").arg(SystemError::lastErrorText());
    }
    if (S_ISDIR(st.st_mode)) return QStringLiteral("is a folder, not a settings file");
    if (!S_ISREG(st.st_mode)) return QStringLiteral("is not a regular file");
    if (::access(native.constData(), R_OK) != 0)
        return QStringLiteral("cannot be read: %1").arg(SystemError::lastErrorText());
    if (status == QSettings::AccessError) return QStringLiteral("cannot be read");
    if (status == QSettings::FormatError || !looksLikeSettings(path))
        return QStringLiteral("is not a valid settings file (format error)");
    return {};
}

void keepToOwner(const QString& path) {
    // The store may hold the zip password.
    if (QFileInfo(path).isFile()) QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// For a file that is left as it is: others lose what access they had, and nothing is granted (a file the user made
// unreadable stays unreadable).
void withholdFromOthers(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::chmod(native.constData(), st.st_mode & 07700);
}

} // namespace

CRegSettings::CRegSettings() : m_company(kFallbackCompany), m_appName(productName()) {}

CRegSettings::CRegSettings(const QString& company, const QString& appName) : CRegSettings() {
    Company(company);
    AppName(appName);
}

CRegSettings::~CRegSettings() {
    delete m_settings;
}

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
    if (!m_settings) {
        m_settings = new QSettings(QSettings::IniFormat, QSettings::UserScope, m_company, m_appName);
        m_settings->sync(); // reads the file now, so status() tells whether it could be read
        m_problem = unusableBecause(m_settings->fileName(), m_settings->status());
    }
    return *m_settings;
}

QString CRegSettings::problem() const {
    const QString path = store().fileName();
    if (m_problem.isEmpty()) return {};
    return QStringLiteral("The settings file %1 %2; the stored settings are not used and the file is left as it is.")
        .arg(path, m_problem);
}

QString CRegSettings::fileName() const {
    return store().fileName();
}

bool CRegSettings::usable() const {
    store();
    return m_problem.isEmpty();
}

bool CRegSettings::writable() {
    if (usable()) return true;
    // Nothing is written into a file that could not be read, but it may hold the password all the same.
    withholdFromOthers(store().fileName());
    return false;
}

bool CRegSettings::commit() {
    QSettings& s = store();
    // A new file is made owner-only before anything is written into it, so the password is never readable by
    // others, not even for a moment.
    const QString path = s.fileName();
    if (!QFileInfo::exists(path) && QDir().mkpath(QFileInfo(path).absolutePath())) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
    }
    s.sync();
    ++m_writes;
    keepToOwner(path); // also when the write reported a problem
    return s.status() == QSettings::NoError;
}

bool CRegSettings::DeleteSetting(const QString& section, const QString& key) {
    if (section.isEmpty() || !writable()) return false;
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
    if (section.isEmpty() || !usable()) return rows;
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
    if (section.isEmpty() || key.isEmpty() || !usable() || !s.contains(stored)) return defaultValue;
    const QVariant value = s.value(stored);
    if (value.metaType().id() == QMetaType::QStringList) return value.toStringList().join(u',');
    return value.toString();
}

bool CRegSettings::SaveSetting(const QString& section, const QString& key, const QString& setting) {
    // Never write over a file that could not be read: its values would be lost.
    if (section.isEmpty() || key.isEmpty() || !writable()) return false;
    store().setValue(storedKey(section, key), setting);
    return commit();
}

bool CRegSettings::SaveSettings(const QString& section, const QList<QPair<QString, QString>>& settings) {
    if (section.isEmpty() || !writable()) return false;
    QSettings& s = store();
    s.sync(); // what another run wrote meanwhile counts when values are compared below
    bool changed = false;
    for (const auto& [key, value] : settings) {
        if (key.isEmpty()) return false;
        const QString stored = storedKey(section, key);
        // A value already stored as this very text needs no write.
        if (s.contains(stored)) {
            const QVariant old = s.value(stored);
            if (old.metaType().id() == QMetaType::QString && old.toString() == value) continue;
        }
        s.setValue(stored, value);
        changed = true;
    }
    // Each commit is a safe rewrite of the whole file (written beside it, flushed to disk, renamed), so
    // writing many values at once costs one commit, not one each, and values that are all stored already none.
    if (changed) return commit();
    keepToOwner(s.fileName()); // as a write would: the store may hold the password
    return true;
}
