#pragma once
// The program-wide zip password and whether its box hides what is typed: what the password dialog hands back.

#include "AppState.h"

struct PasswordSettings {
    QString password;         ///< Option::ZipPassword
    bool hidePassword = true; ///< Option::HidePassword

    static PasswordSettings fromState(const AppState& state) {
        return {state.text(Option::ZipPassword), state.flag(Option::HidePassword)};
    }
    /// Puts both into the shared option values and writes them with one write of the store.
    void store(AppState& state) const {
        state.setFlag(Option::HidePassword, hidePassword);
        state.setText(Option::ZipPassword, password);
        state.save({Option::HidePassword, Option::ZipPassword});
    }
};
