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
    EXPECT_FALSE(loadPlacement(s, "fMain").has_value()) << "nothing stored: the window is centred";
    savePlacement(s, "fMain", {1, 2, 300, 200}, false, false);
    EXPECT_EQ(s.GetSetting(kSettingsSection, "fMain"), "1,2,300,200");
    savePlacement(s, "fMain", {0, 0, 1920, 1080}, false, true);
    savePlacement(s, "fMain", {0, 0, 160, 30}, true, false);
    EXPECT_EQ(loadPlacement(s, "fMain"), (WindowPlacement{1, 2, 300, 200}));
    s.SaveSetting(kSettingsSection, "fKovra", "garbage");
    EXPECT_FALSE(loadPlacement(s, "fKovra").has_value());
}

TEST(Placement, CentresOnScreen) {
    EXPECT_EQ(centredPlacement(1920, 1080, 800, 600), (WindowPlacement{560, 240, 800, 600}));
}

} // namespace
