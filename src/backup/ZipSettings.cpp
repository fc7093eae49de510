#include "ZipSettings.h"

#include "app/AppState.h"
#include "utility/TextUtil.h"

namespace {

struct LevelRow {
    CompressionLevel level;
    const char* option;
    const char* name;
};

// The one list of the levels: its order is the order of the stored codes, the dialog's buttons and the names.
constexpr LevelRow kLevels[] = {
    {CompressionLevel::None, "1", "none"},
    {CompressionLevel::Fast, "2", "fast"},
    {CompressionLevel::Normal, "3", "normal"},
    {CompressionLevel::Maximum, "4", "maximum"},
};
static_assert(std::size(kLevels) == CompressionLevels::kCount);

struct UpdateRow {
    UpdateCode code;
    const char* option;
};

constexpr UpdateRow kUpdates[] = {
    {UpdateCode::AddReplace, "1"},
    {UpdateCode::Freshen, "2"},
    {UpdateCode::Update, "3"},
};
static_assert(std::size(kUpdates) == UpdateCodes::kCount);

} // namespace

namespace CompressionLevels {

CompressionLevel fromOption(const QString& stored) {
    for (const LevelRow& row : kLevels)
        if (stored == QLatin1String(row.option)) return row.level;
    return CompressionLevel::Normal;
}

QString option(CompressionLevel level) {
    return QString::fromLatin1(kLevels[index(level)].option);
}

int index(CompressionLevel level) {
    for (int i = 0; i < kCount; ++i)
        if (kLevels[i].level == level) return i;
    return index(CompressionLevel::Normal);
}

CompressionLevel at(int i) {
    return i >= 0 && i < kCount ? kLevels[i].level : CompressionLevel::Normal;
}

std::optional<CompressionLevel> fromName(const QString& name) {
    for (const LevelRow& row : kLevels)
        if (name == QLatin1String(row.name)) return row.level;
    return std::nullopt;
}

} // namespace CompressionLevels

namespace UpdateCodes {

UpdateCode fromOption(const QString& stored) {
    for (const UpdateRow& row : kUpdates)
        if (stored == QLatin1String(row.option)) return row.code;
    return UpdateCode::AddReplace;
}

QString option(UpdateCode code) {
    return QString::fromLatin1(kUpdates[index(code)].option);
}

int index(UpdateCode code) {
    for (int i = 0; i < kCount; ++i)
        if (kUpdates[i].code == code) return i;
    return 0;
}

UpdateCode at(int i) {
    return i >= 0 && i < kCount ? kUpdates[i].code : UpdateCode::AddReplace;
}

} // namespace UpdateCodes

qint64 spanSizeFrom(bool noSpanning, bool automatic, bool custom, const QString& customSize) {
    qint64 size = -1;
    if (noSpanning) size = -1;
    if (automatic) size = 0;
    if (custom) size = TextUtil::trimBlanks(customSize).toLongLong();
    return size;
}

ZipSettings ZipSettings::fromState(const AppState& state) {
    ZipSettings s;
    s.level = CompressionLevels::fromOption(state.text(Option::CompressionMethod));
    s.updateCode = UpdateCodes::fromOption(state.text(Option::UpdateOption));
    s.spanSize = -1;
    s.password = PasswordOptions::fromState(state);
    s.resetArchive = state.flag(Option::ResetArchiveAttribute);
    return s;
}

ZipSettings ZipSettings::load(AppState& state) {
    for (Option option : {Option::CompressionMethod, Option::UpdateOption, Option::ResetArchiveAttribute})
        state.reload(option);
    ZipSettings s = fromState(state);
    s.password = PasswordOptions::load(state);
    s.keptSpanSize = state.settings.GetSetting(kSettingsSection, OptionKeys::key(Key::Spanning), QString());
    s.passwordSource = PasswordSources::stored(state);
    return s;
}

bool ZipSettings::needsConfirmation(const QString& typed) const {
    if (typed.isEmpty()) return false;
    return passwordSource != PasswordSource::Build || typed != password.text;
}

void ZipSettings::store(AppState& state) const {
    state.setText(Option::CompressionMethod, CompressionLevels::option(level));
    state.setText(Option::UpdateOption, UpdateCodes::option(updateCode));
    state.setFlag(Option::ResetArchiveAttribute, resetArchive);
    QList<QPair<QString, QString>> more{
        password.setIn(state, passwordConfirmed ? PasswordSource::Build : PasswordSource::Unconfirmed)};
    if (keptSpanSize) more.append({OptionKeys::key(Key::Spanning), *keptSpanSize});
    state.save(QList<Option>{Option::CompressionMethod, Option::UpdateOption, Option::ResetArchiveAttribute} +
                   PasswordOptions::storedOptions(),
               more);
}
