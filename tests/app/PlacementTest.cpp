#include "app/OptionKeys.h"
#include "app/RegSettings.h"
#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

namespace {

TEST(Placement, ParsesOnlyFourSixteenBitNumbers) {
    EXPECT_EQ(parsePlacement("10,20,640,480"), (WindowPlacement{10, 20, 640, 480}));
    EXPECT_EQ(parsePlacement("-5, 3 ,100,100"), (WindowPlacement{-5, 3, 100, 100}));
    for (const char* bad : {"", "10,20,640", "10,20,640,480,1", "a,b,c,d", "10;20;640;480", "10,20,70000,480",
                            "1.5,2,3,4", "10,20,0,480"})
        EXPECT_FALSE(parsePlacement(bad).has_value()) << bad;
}

TEST(Placement, RoundTripAndMaximisedKeepsLastNormal) {
    CRegSettings s("Brindlecot", "PlacementTest");
    EXPECT_FALSE(loadPlacement(s, PlacedWindow::Main).has_value()) << "nothing stored: the window is centred";
    savePlacement(s, PlacedWindow::Main, {1, 2, 300, 200}, false, false);
    EXPECT_EQ(s.GetSetting(kSettingsSection, "fMain"), "1,2,300,200");
    savePlacement(s, PlacedWindow::Main, {0, 0, 1920, 1080}, false, true);
    savePlacement(s, PlacedWindow::Main, {0, 0, 160, 30}, true, false);
    EXPECT_EQ(loadPlacement(s, PlacedWindow::Main), (WindowPlacement{1, 2, 300, 200}));
    s.SaveSetting(kSettingsSection, "fKovra", "garbage");
    EXPECT_FALSE(loadPlacement(s, PlacedWindow::Wizard).has_value());
}

TEST(Placement, FitsInsideTheAvailableAreaOrCentresOnScreen) {
    const QRect area(0, 30, 1280, 770); // a screen of 1280 x 800 under a 30 pixel panel
    const struct {
        WindowPlacement stored, expected;
    } cases[] = {
        {{100, 100, 800, 600}, {100, 100, 800, 600}},   // inside: unchanged
        {{0, 0, 1000, 2400}, {0, 30, 1000, 770}},       // taller than the screen (a 60-line status line)
        {{-3000, -3000, 600, 400}, {0, 30, 600, 400}},  // left on a screen that is gone
        {{2500, 1500, 600, 400}, {680, 400, 600, 400}}, // beyond the right and bottom edges
        {{-10, 500, 2000, 400}, {0, 400, 1280, 400}},   // wider than the screen
    };
    for (const auto& c : cases)
        EXPECT_EQ(fittedPlacement(c.stored, area), c.expected) << formatPlacement(c.stored).toStdString();
    EXPECT_EQ(centredPlacement(1920, 1080, 800, 600), (WindowPlacement{560, 240, 800, 600}));
}

} // namespace
