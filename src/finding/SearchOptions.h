#pragma once
// The criteria of the file search as the search dialog leaves them in section "Settings": four ticks, "Match case",
// the size, name, text and date criteria and the drives (SearchKey; their names and defaults are in app/OptionKeys).
// The values are kept as the stored texts, so what the dialog shows, what the search reads and what the settings file
// holds never drift apart.

#include "app/OptionKeys.h"

#include <QDate>
#include <QString>
#include <array>

class CRegSettings;

namespace SearchWords {
inline const QString kAtLeast = QStringLiteral("at lease"); // stored with this spelling
inline const QString kAtMost = QStringLiteral("at most");
inline const QString kModified = QStringLiteral("modified date");
inline const QString kCreated = QStringLiteral("created date");
inline const QString kAccessed = QStringLiteral("last accessed date");
} // namespace SearchWords

class SearchOptions {
  public:
    /// Every value at its default.
    SearchOptions();

    QString text(SearchKey key) const { return m_values[size_t(key)]; }
    void setText(SearchKey key, const QString& value) { m_values[size_t(key)] = value; }
    /// A tick is set when it holds "-1".
    bool ticked(SearchKey key) const;
    void setTicked(SearchKey key, bool yes);

    /// The values in the store, defaults for those it lacks.
    static SearchOptions load(const CRegSettings& store);
    /// Writes every value with one write of the settings file, in the order the dialog closes: the drives, the
    /// texts of the criteria, then the ticks.
    bool store(CRegSettings& store) const;
    /// Writes one tick at once, as the dialog does when it is clicked.
    static bool storeTick(CRegSettings& store, SearchKey key, bool yes);

  private:
    std::array<QString, kSearchKeyCount> m_values;
};

/// A stored date read as month/day/year ("MM/DD/YYYY"; one-digit month and day allowed, four-digit year); an
/// invalid QDate when it is none.
QDate readSearchDate(const QString& text);
/// The stored form of a date, "MM/DD/YYYY".
QString searchDateText(const QDate& date);
