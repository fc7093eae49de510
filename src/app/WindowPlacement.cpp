#include "WindowPlacement.h"

#include "OptionKeys.h"
#include "RegSettings.h"

#include <QStringList>
#include <limits>

std::optional<WindowPlacement> parsePlacement(const QString& text) {
    const QStringList parts = text.split(u',');
    if (parts.size() != 4) return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int v = parts[i].trimmed().toInt(&ok);
        if (!ok || v < std::numeric_limits<qint16>::min() || v > std::numeric_limits<qint16>::max())
            return std::nullopt;
        values[i] = v;
    }
    // A window of no size cannot be shown; treat it like a text that is not a placement.
    if (values[2] <= 0 || values[3] <= 0) return std::nullopt;
    return WindowPlacement{values[0], values[1], values[2], values[3]};
}

QString formatPlacement(const WindowPlacement& p) {
    return QString("%1,%2,%3,%4").arg(p.left).arg(p.top).arg(p.width).arg(p.height);
}

std::optional<WindowPlacement> loadPlacement(const CRegSettings& settings, PlacedWindow window) {
    return parsePlacement(settings.GetSetting(kSettingsSection, OptionKeys::key(window), ""));
}

void savePlacement(CRegSettings& settings, PlacedWindow window, const WindowPlacement& placement, bool minimised,
                   bool maximised) {
    if (minimised || maximised) return;
    settings.SaveSetting(kSettingsSection, OptionKeys::key(window), formatPlacement(placement));
}

WindowPlacement fittedPlacement(const WindowPlacement& p, const QRect& area) {
    if (area.isEmpty()) return p;
    WindowPlacement fitted = p;
    fitted.width = qMin(p.width, area.width());
    fitted.height = qMin(p.height, area.height());
    fitted.left = qBound(area.left(), p.left, area.left() + area.width() - fitted.width);
    fitted.top = qBound(area.top(), p.top, area.top() + area.height() - fitted.height);
    return fitted;
}

WindowPlacement centredPlacement(int screenWidth, int screenHeight, int width, int height) {
    return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

std::optional<WindowPlacement> openingPlacement(const CRegSettings& settings, PlacedWindow window,
                                                const QSize& designed, const ScreenAreas& screens) {
    const QString text = settings.GetSetting(kSettingsSection, OptionKeys::key(window), "");
    if (const std::optional<WindowPlacement> stored = parsePlacement(text)) {
        const QRect rect(stored->left, stored->top, stored->width, stored->height);
        return fittedPlacement(*stored, screens.areaAt ? screens.areaAt(rect.center()) : screens.primary);
    }
    if (!text.isEmpty() || screens.primary.isEmpty()) return std::nullopt;
    const QRect& area = screens.primary;
    const WindowPlacement centred = centredPlacement(area.width(), area.height(), designed.width(), designed.height());
    return WindowPlacement{area.left() + centred.left, area.top() + centred.top, centred.width, centred.height};
}
