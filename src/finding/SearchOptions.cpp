#include "SearchOptions.h"

#include "app/OptionKeys.h"
#include "app/RegSettings.h"

#include <QList>
#include <QPair>
#include <QRegularExpression>

namespace {

// The order the dialog writes its values in when it closes.
constexpr std::array<SearchKey, kSearchKeyCount> kStoreOrder{
    SearchKey::Drives,     SearchKey::SizeCompare, SearchKey::SizeLimit, SearchKey::NamePattern, SearchKey::Text,
    SearchKey::DateKind,   SearchKey::StartDate,   SearchKey::EndDate,   SearchKey::SizeTicked,  SearchKey::NameTicked,
    SearchKey::TextTicked, SearchKey::DateTicked,  SearchKey::MatchCase};

} // namespace

SearchOptions::SearchOptions() {
    for (int i = 0; i < kSearchKeyCount; ++i)
        m_values[size_t(i)] = OptionKeys::defaultFor(SearchKey(i));
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
        options.setText(key, store.GetSetting(kSettingsSection, OptionKeys::key(key), OptionKeys::defaultFor(key)));
    }
    return options;
}

bool SearchOptions::store(CRegSettings& store) const {
    QList<QPair<QString, QString>> values;
    for (SearchKey key : kStoreOrder)
        values.append({OptionKeys::key(key), text(key)});
    return store.SaveSettings(kSettingsSection, values);
}

bool SearchOptions::storeTick(CRegSettings& store, SearchKey key, bool yes) {
    return store.SaveSetting(kSettingsSection, OptionKeys::key(key), OptionKeys::yesNo(yes));
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
