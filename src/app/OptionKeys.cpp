#include "OptionKeys.h"

namespace {

// What a default is made of: a fixed text, the application folder itself, a folder below it (ending in "/"),
// or the viewer found on this system.
enum class Base { Text, App, AppFolder, Viewer };

struct Row {
    Option option;
    const char* key;
    Base base;
    const char* value; ///< the text, or the folder's name below the application folder
};

// The one place the stored names and defaults are written down.
constexpr Row kTable[] = {
    {Option::WizardBrowseFolder, "Options00", Base::App, ""},
    {Option::CompressionMethod, "Options01", Base::Text, "3"},
    {Option::UpdateOption, "Options02", Base::Text, "1"},
    {Option::StoredNames, "Options03", Base::Text, "2"},
    {Option::ViewerProgram, "Options04", Base::Viewer, ""},
    {Option::ResetArchiveAttribute, "Options05", Base::Text, "0"},
    {Option::TempFolder, "Options06", Base::AppFolder, "Temp"},
    {Option::ExtractFolder, "Options07", Base::AppFolder, "Extract"},
    {Option::SetsFolder, "Options08", Base::AppFolder, "Sets"},
    {Option::ZipFolder, "Options09", Base::AppFolder, "Zips"},
    {Option::ZipFileName, "Options10", Base::Text, "Test.Zip"},
    {Option::OpenPackageFolder, "Options11", Base::AppFolder, "Zips"},
    {Option::MakeFolder, "Options12", Base::AppFolder, "Make"},
    {Option::SplitFolder, "Options13", Base::AppFolder, "Split"},
    {Option::SplitPieceSize, "Options14", Base::Text, "1457664"},
    {Option::SplitModemSpeed, "Options15", Base::Text, "1"},
    {Option::ExtractToDefault, "Optionse1", Base::Text, "-1"},
    {Option::ExtractToSelected, "Optionse2", Base::Text, "0"},
    {Option::HidePassword, "Optionse3", Base::Text, "-1"},
    {Option::ZipPassword, "Optionse4", Base::Text, ""},
    {Option::ExtractOverwrite, "Optionse5", Base::Text, "-1"},
    {Option::ExtractSkipOlder, "Optionse6", Base::Text, "0"},
    {Option::ExtractUseFolderNames, "Optionse7", Base::Text, "-1"},
    {Option::ExtractRequest, "Optionse8", Base::Text, "0"},
    {Option::SelectedExtractFolder, "Optionse9", Base::AppFolder, "Extract"},
    {Option::ExtractName, "Optionsea", Base::Text, ""},
    {Option::ExtractAnswerFolder, "Optionseb", Base::Text, ""},
    {Option::ExtractIndexOrError, "Optionsec", Base::Text, ""},
};
static_assert(std::size(kTable) == OptionKeys::kCount);

constexpr bool rowsInEnumOrder() {
    for (std::size_t i = 0; i < std::size(kTable); ++i)
        if (static_cast<std::size_t>(kTable[i].option) != i) return false;
    return true;
}
static_assert(rowsInEnumOrder(), "kTable is indexed by Option");

const Row& row(Option option) {
    return kTable[static_cast<std::size_t>(option)];
}

struct Named {
    const char* key;
    const char* value; ///< the default
};

// Indexed by Key.
constexpr Named kKeys[] = {
    {"Spanning", ""},   {"PasswordSetBy", ""}, {"FindPattern", "*.*"},
    {"DrivesF", "All"}, {"Options22", "2"},    {"Options55", "0"},
};
static_assert(std::size(kKeys) == std::size_t(Key::QuickResetArchive) + 1);

// Indexed by PlacedWindow.
constexpr const char* kPlacements[] = {"fMain", "fKovra"};
static_assert(std::size(kPlacements) == std::size_t(PlacedWindow::Wizard) + 1);

// Indexed by SearchKey.
constexpr Named kSearch[] = {
    {"Drives", "All"},        {"SSOption1", "0"},  {"SSOption2", "0"}, {"SSOption3", "0"}, {"SSOption4", "0"},
    {"SSOption5", "0"},       {"so1", "at lease"}, {"so2", "0"},       {"so3", "*.*"},     {"so4", ""},
    {"so5", "modified date"}, {"so6", ""},         {"so7", ""},
};
static_assert(std::size(kSearch) == kSearchKeyCount);

struct PatternRow {
    const char* key;
    const char* value;
    // Only the pattern dialog offers "pagefile.sys", so it is in force once the dialog has been closed and has
    // stored it.
    const char* dialogValue;
};

constexpr PatternRow kPatterns[] = {
    {"Pattern01", "*.*", "*.*"},
    {"Pattern02", "", ""},
    {"Pattern03", "", ""},
    {"Pattern04", "", ""},
    {"Pattern05", "", ""},
    {"Pattern06", "*.tmp", "*.tmp"},
    {"Pattern07", "*.swp", "*.swp"},
    {"Pattern08", "system.dat", "system.dat"},
    {"Pattern09", "", "pagefile.sys"},
    {"Pattern10", "", ""},
};
static_assert(std::size(kPatterns) == OptionKeys::kPatternCount);

constexpr const char* kRecent[] = {"1File", "2File", "3File", "4File", "5File", "6File", "7File", "8File", "9File"};
static_assert(std::size(kRecent) == OptionKeys::kRecentSlots);

// Every stored name, to check that no two keys share a name (QSettings may fold the case, so neither may they).
constexpr std::size_t kNameCount = std::size(kTable) + std::size(kKeys) + std::size(kPlacements) + std::size(kSearch) +
                                   std::size(kPatterns) + std::size(kRecent);

constexpr std::array<const char*, kNameCount> allStoredNames() {
    std::array<const char*, kNameCount> names{};
    std::size_t n = 0;
    for (const Row& r : kTable)
        names[n++] = r.key;
    for (const Named& k : kKeys)
        names[n++] = k.key;
    for (const char* window : kPlacements)
        names[n++] = window;
    for (const Named& k : kSearch)
        names[n++] = k.key;
    for (const PatternRow& p : kPatterns)
        names[n++] = p.key;
    for (const char* slot : kRecent)
        names[n++] = slot;
    return names;
}

constexpr char folded(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

constexpr bool sameName(const char* a, const char* b) {
    for (; *a && folded(*a) == folded(*b); ++a, ++b) {
    }
    return folded(*a) == folded(*b);
}

constexpr bool storedNamesUnique() {
    const auto names = allStoredNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (sameName(names[i], names[j])) return false;
    return true;
}
static_assert(storedNamesUnique(), "every key of section Settings has a name of its own");

} // namespace

namespace OptionKeys {

const std::array<Option, kCount>& all() {
    static const std::array<Option, kCount> options = [] {
        std::array<Option, kCount> a{};
        for (int i = 0; i < kCount; ++i)
            a[i] = kTable[i].option;
        return a;
    }();
    return options;
}

QString key(Option option) {
    return QString::fromLatin1(row(option).key);
}

QString defaultFor(Option option, const AppFolders& f) {
    const Row& r = row(option);
    switch (r.base) {
    case Base::Text:
        return QString::fromLatin1(r.value);
    case Base::App:
        return f.app;
    case Base::AppFolder:
        return f.app + u'/' + QLatin1String(r.value) + u'/';
    case Base::Viewer:
        return f.viewer;
    }
    return {};
}

QStringList allKeys() {
    QStringList keys;
    for (Option option : all())
        keys << key(option);
    return keys;
}

QString key(Key k) {
    return QString::fromLatin1(kKeys[std::size_t(k)].key);
}

QString defaultFor(Key k) {
    return QString::fromLatin1(kKeys[std::size_t(k)].value);
}

QString key(PlacedWindow window) {
    return QString::fromLatin1(kPlacements[std::size_t(window)]);
}

QString key(SearchKey k) {
    return QString::fromLatin1(kSearch[std::size_t(k)].key);
}

QString defaultFor(SearchKey k) {
    return QString::fromLatin1(kSearch[std::size_t(k)].value);
}

QString patternKey(int n) {
    return n >= 1 && n <= kPatternCount ? QString::fromLatin1(kPatterns[n - 1].key) : QString();
}

QString patternDefault(int n, bool forPatternDialog) {
    if (n < 1 || n > kPatternCount) return {};
    const PatternRow& p = kPatterns[n - 1];
    return QString::fromLatin1(forPatternDialog ? p.dialogValue : p.value);
}

QString recentKey(int slot) {
    return slot >= 1 && slot <= kRecentSlots ? QString::fromLatin1(kRecent[slot - 1]) : QString();
}

} // namespace OptionKeys
