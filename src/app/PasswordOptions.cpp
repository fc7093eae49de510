#include "PasswordOptions.h"

namespace {

// The stored texts of the sources; Unconfirmed is the empty text, as a store from before the key reads.
const char* sourceText(PasswordSource source) {
    switch (source) {
    case PasswordSource::Build:
        return "build";
    case PasswordSource::Extraction:
        return "extract";
    case PasswordSource::Unconfirmed:
        break;
    }
    return "";
}

} // namespace

namespace PasswordSources {

PasswordSource stored(const AppState& state) {
    const QString text = state.settings.GetSetting(kSettingsSection, OptionKeys::key(Key::PasswordSetBy), QString());
    for (PasswordSource source : {PasswordSource::Build, PasswordSource::Extraction})
        if (text == QLatin1String(sourceText(source))) return source;
    return PasswordSource::Unconfirmed;
}

QPair<QString, QString> entryFor(const AppState& state, const QString& password, PasswordSource by) {
    PasswordSource source = by;
    if (by != PasswordSource::Build && password == state.text(Option::ZipPassword)) source = stored(state);
    return {OptionKeys::key(Key::PasswordSetBy), QString::fromLatin1(sourceText(source))};
}

QString describe(PasswordSource source) {
    switch (source) {
    case PasswordSource::Build:
        return QStringLiteral("last confirmed in the build settings");
    case PasswordSource::Extraction:
        return QStringLiteral("last set by an extraction");
    case PasswordSource::Unconfirmed:
        break;
    }
    return QStringLiteral("never confirmed for building");
}

} // namespace PasswordSources

const QList<Option>& PasswordOptions::storedOptions() {
    static const QList<Option> options = {Option::HidePassword, Option::ZipPassword};
    return options;
}

PasswordOptions PasswordOptions::fromState(const AppState& state) {
    return {state.text(Option::ZipPassword), state.flag(Option::HidePassword)};
}

PasswordOptions PasswordOptions::load(AppState& state) {
    for (Option option : storedOptions())
        state.reload(option);
    return fromState(state);
}

QPair<QString, QString> PasswordOptions::setIn(AppState& state, PasswordSource by) const {
    // Asked before the password changes: one that stays keeps where it was set.
    const auto source = PasswordSources::entryFor(state, text, by);
    state.setFlag(Option::HidePassword, hidden);
    state.setText(Option::ZipPassword, text);
    return source;
}

void PasswordOptions::store(AppState& state, PasswordSource by) const {
    const auto source = setIn(state, by);
    state.save(storedOptions(), {source});
}
