#include "RecentList.h"

#include "OptionKeys.h"
#include "RegSettings.h"

void LoadTheEntry(const CRegSettings& settings, QStringList& xEntry) {
    xEntry.clear();
    for (int slot = 1; slot <= kRecentSlots; ++slot)
        xEntry << settings.GetSetting(kSettingsSection, OptionKeys::recentKey(slot), "");
}

void AddTheEntry(CRegSettings& settings, const QString& xName, QStringList& xEntry) {
    if (xName.isEmpty()) return;
    while (xEntry.size() < kRecentSlots)
        xEntry << QString();
    int found = kRecentSlots + 1; // 1-based slot of the name; 10 when absent
    for (int slot = 1; slot <= kRecentSlots; ++slot) {
        if (xEntry[slot - 1] == xName) {
            found = slot;
            break;
        }
    }
    for (int slot = qMin(found, kRecentSlots); slot >= 2; --slot)
        xEntry[slot - 1] = xEntry[slot - 2];
    xEntry[0] = xName;
    QList<QPair<QString, QString>> values;
    for (int slot = 1; slot <= kRecentSlots; ++slot)
        values.append({OptionKeys::recentKey(slot), xEntry[slot - 1]});
    settings.SaveSettings(kSettingsSection, values);
}
