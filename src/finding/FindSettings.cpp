#include "FindSettings.h"

#include "app/OptionKeys.h"
#include "app/RegSettings.h"

FindSettings FindSettings::load(const CRegSettings& settings) {
    FindSettings s;
    s.pattern = settings.GetSetting(kSettingsSection, OptionKeys::key(Key::FindPattern), s.pattern);
    s.drives = settings.GetSetting(kSettingsSection, OptionKeys::key(Key::FindDrives), s.drives);
    return s;
}

bool FindSettings::store(CRegSettings& settings) const {
    return settings.SaveSettings(
        kSettingsSection, {{OptionKeys::key(Key::FindDrives), drives}, {OptionKeys::key(Key::FindPattern), pattern}});
}

namespace FindChecks {

QString drivesProblem(const QStringList& roots) {
    return roots.isEmpty() ? QStringLiteral("Please select hard drive(s).") : QString();
}

QString patternProblem(const QString& pattern) {
    if (pattern.isEmpty() || pattern.compare(QLatin1String("*.*"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Please enter file name pattern, example: 'read*.txt'");
    return {};
}

} // namespace FindChecks
