#include "OptionKeys.h"

#include <QStandardPaths>

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

} // namespace OptionKeys

QString findDefaultViewer() {
    static const char* candidates[] = {"gnome-text-editor", "gedit",   "mousepad", "kate", "kwrite", "pluma", "xed",
                                       "featherpad",        "leafpad", "xdg-open"};
    for (const char* name : candidates) {
        QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) return found;
    }
    return QStringLiteral("/usr/bin/xdg-open");
}
