#include "PlaceWindow.h"

#include "app/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void restorePlacement(QWidget& window, const CRegSettings& settings, PlacedWindow which) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    ScreenAreas screens;
    screens.primary = primary ? primary->availableGeometry() : QRect();
    // The screen the window was on, or the main one when that is gone.
    screens.areaAt = [&screens](const QPoint& point) {
        const QScreen* at = QGuiApplication::screenAt(point);
        return at ? at->availableGeometry() : screens.primary;
    };
    if (const auto placement = openingPlacement(settings, which, window.size(), screens)) {
        window.move(placement->left, placement->top);
        window.resize(placement->width, placement->height);
    }
}

void storePlacement(const QWidget& window, CRegSettings& settings, PlacedWindow which) {
    savePlacement(settings, which, {window.x(), window.y(), window.width(), window.height()}, window.isMinimized(),
                  window.isMaximized() || window.isFullScreen());
}
