#pragma once
// The recent list: nine slots of package paths, each under its key of OptionKeys::recentKey.

#include "OptionKeys.h"

#include <QStringList>

class CRegSettings;

using OptionKeys::kRecentSlots;

/// Fills xEntry with slots 1 to 9 (xEntry[0] is slot 1) from the store, each "" when missing.
void LoadTheEntry(const CRegSettings& settings, QStringList& xEntry);

/// Puts xName on top (slot 1), lifting it when it is already listed (exact, case counts) or dropping slot 9's
/// text otherwise, then stores all nine slots. An empty name changes nothing.
void AddTheEntry(CRegSettings& settings, const QString& xName, QStringList& xEntry);
