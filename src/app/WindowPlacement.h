#pragma once
// Window placement kept as "left,top,width,height" under the window's own name.

#include "OptionKeys.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

class CRegSettings;

struct WindowPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowPlacement&) const = default;
};

/// Four comma-separated 16-bit whole numbers, or nothing for any other text.
std::optional<WindowPlacement> parsePlacement(const QString& text);
QString formatPlacement(const WindowPlacement& placement);

/// The stored placement of the window, or nothing (the caller centres the window).
std::optional<WindowPlacement> loadPlacement(const CRegSettings& settings, PlacedWindow window);
/// Stores the placement unless the window is minimised or maximised, which keeps the last normal one.
void savePlacement(CRegSettings& settings, PlacedWindow window, const WindowPlacement& placement, bool minimised,
                   bool maximised);
/// The placement shrunk to the area where it is larger, then moved so that the whole window lies inside it: a
/// placement stored on a larger or second screen, or grown by a tall status line, opens where it can be seen.
WindowPlacement fittedPlacement(const WindowPlacement& placement, const QRect& area);
/// Top-left corner that centres a window of the given size on a screen of the given size.
WindowPlacement centredPlacement(int screenWidth, int screenHeight, int width, int height);

/// The screens' available areas, as placing a window needs them.
struct ScreenAreas {
    QRect primary;                              ///< the main screen's; empty when there is no screen
    std::function<QRect(const QPoint&)> areaAt; ///< the screen's at a point, else the main screen's
};

/// Where a window of its designed size opens. A stored placement is fitted into the screen it lies on, so it always
/// opens in sight; with nothing stored the designed size is centred on the main screen. A stored text that is not
/// a placement gives nothing: the window keeps its designed size where the system puts it, and so it does when
/// there is no screen to centre on.
std::optional<WindowPlacement> openingPlacement(const CRegSettings& settings, PlacedWindow window,
                                                const QSize& designed, const ScreenAreas& screens);
