#pragma once
// The widget side of a window's stored placement, shared by every window that keeps one: the screens are asked
// here, the decision is openingPlacement's (app/WindowPlacement).

#include "app/OptionKeys.h"

class CRegSettings;
class QWidget;

/// Moves and sizes the window as openingPlacement says; the window's size now is its designed size.
void restorePlacement(QWidget& window, const CRegSettings& settings, PlacedWindow which);
/// Stores where the window is, unless it is minimised, maximised or full screen, which keeps the last normal
/// placement.
void storePlacement(const QWidget& window, CRegSettings& settings, PlacedWindow which);
