#include "SearchOptions.h"

#include "app/OptionKeys.h"
#include "app/RegSettings.h"

#include <QList>
#include <QPair>
#include <QRegularExpression>

namespace {

struct KeyInfo {
    const char* name;
    const char* defaultValue;
};

// Indexed by SearchKey.
constexpr std::array<KeyInfo, kSearchKeyCount> kKeys{{
    {"Drives", "All"},
    {"SSOption1", "0"},
    {"SSOption2", "0"},
    {"SSOption3", "0"},
    {"SSOption4", "0"},
    {"SSOption5", "0"},
    {"so1", "at lease"},
    {"so2", "0"},
    {"so3", "*.*"},
    {"so4", ""},
    {"so5", "modified date"},
    {"so6", ""},
    {"so7", ""},
}};

// The order the dialog writes its values in when it closes.
constexpr std::array<SearchKey, kSearchKeyCount> kStoreOrder{
    SearchKey::Drives,     SearchKey::SizeCompare, SearchKey::SizeLimit, SearchKey::NamePattern, SearchKey::Text,
    SearchKey::DateKind,   SearchKey::StartDate,   SearchKey::EndDate,   SearchKey::SizeTicked,  SearchKey::NameTicked,
    SearchKey::TextTicked, SearchKey::DateTicked,  SearchKey::MatchCase};

} // namespace

QString searchKeyName(SearchKey key) {
    return QString::fromLatin1(kKeys[size_t(key)].name);
}

QString searchKeyDefault(SearchKey key) {
    return QString::fromLatin1(kKeys[size_t(key)].defaultValue);
}

SearchOptions::SearchOptions() {
    for (int i = 0; i < kSearchKeyCount; ++i)
        m_values[size_t(i)] = searchKeyDefault(SearchKey(i));
}

bool SearchOptions::ticked(SearchKey key) const {
    return OptionKeys::isYes(text(key));
}

void SearchOptions::setTicked(SearchKey key, bool yes) {
    setText(key, OptionKeys::yesNo(yes));
}

SearchOptions SearchOptions::load(const CRegSettings& store) {
    SearchOptions options;
    for (int i = 0; i < kSearchKeyCount; ++i) {
        const auto key = SearchKey(i);
        options.setText(key, store.GetSetting(kSettingsSection, searchKeyName(key), searchKeyDefault(key)));
    }
    return options;
}

bool SearchOptions::store(CRegSettings& store) const {
    QList<QPair<QString, QString>> values;
    for (SearchKey key : kStoreOrder)
        values.append({searchKeyName(key), text(key)});
    return store.SaveSettings(kSettingsSection, values);
}

bool SearchOptions::storeTick(CRegSettings& store, SearchKey key, bool yes) {
    return store.SaveSetting(kSettingsSection, searchKeyName(key), OptionKeys::yesNo(yes));
}

QDate readSearchDate(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return {};
    return QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
}

QString searchDateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("MM/dd/yyyy")) : QString();
}
