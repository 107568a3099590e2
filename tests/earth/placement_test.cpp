#include <gtest/gtest.h>

#include "earth/earth_link.h"
#include "support/fakes.h"

namespace qv {
namespace {

TEST(GetWindowCentre, RoundsInTwipsHalfToEven) {
    test::Events events;
    test::FakeWindowApi windows{events};
    windows.rects[7] = {100, 50, 901, 650};
    int32_t x = -1, y = -1;
    GetWindowCentre(windows, 7, x, y);
    EXPECT_EQ(x, 7508);  // 500.5 pixels is 7507.5 twips, which goes to the even 7508
    EXPECT_EQ(y, 5250);
    windows.rects[8] = {0, 0, 1, 3};
    windows.twipsPerPixel = 1;
    GetWindowCentre(windows, 8, x, y);
    EXPECT_EQ(x, 0);  // 0.5 goes to 0
    EXPECT_EQ(y, 2);  // 1.5 goes to 2
    x = y = 99;
    GetWindowCentre(windows, 0, x, y);  // no window: left as they were
    EXPECT_EQ(x, 99);
    EXPECT_EQ(y, 99);
    int32_t w = 5, h = 6;
    EXPECT_FALSE(GetClientSize(windows, 0, w, h));
    EXPECT_FALSE(GetClientSize(windows, 9, w, h));
    EXPECT_EQ(w, 5);
    EXPECT_TRUE(GetClientSize(windows, 7, w, h));
    EXPECT_EQ(w, 801);
    EXPECT_EQ(h, 600);
}

struct PlaceFixture : ::testing::Test {
    test::Events events;
    test::FakeWindowApi windows{events};
    test::FakeMarker marker{events};
    EarthLink link;
    PlaceFixture() {
        link.hGEMap = 42;
        windows.rects[42] = {0, 60, 1280, 1024};
    }
};

TEST_F(PlaceFixture, MovesAndShowsOnlyWhenTheMapCentreMoved) {
    PlaceVehicleMarker(link, marker, windows, 84.4, true);
    EXPECT_EQ(events, (test::Events{"topmost 16448 on", "marker move 9360 7890", "marker show"}));
    EXPECT_EQ(marker.azimuth, 84.4);
    EXPECT_TRUE(marker.north);
    events.clear();
    PlaceVehicleMarker(link, marker, windows, -10, false);
    EXPECT_EQ(events, (test::Events{"topmost 16448 on"}));  // still made top-most, not moved
    EXPECT_EQ(marker.azimuth, -10);
    EXPECT_FALSE(marker.north);
    windows.rects[42] = {1, 60, 1281, 1024};  // one pixel, 15 twips, to the right
    events.clear();
    PlaceVehicleMarker(link, marker, windows, 0, true);
    EXPECT_EQ(events, (test::Events{"topmost 16448 on", "marker move 9375 7890", "marker show"}));
}

TEST_F(PlaceFixture, AMapWindowThatWentAwayParksTheMarkerOffScreen) {
    PlaceVehicleMarker(link, marker, windows, 0, true);
    windows.rects.erase(42);
    events.clear();
    PlaceVehicleMarker(link, marker, windows, 0, true);
    EXPECT_EQ(events, (test::Events{"topmost 16448 on", "marker move -240 -240", "marker show"}));
    events.clear();
    link.hGEMap = 0;
    PlaceVehicleMarker(link, marker, windows, 0, true);
    EXPECT_EQ(events, (test::Events{"topmost 16448 on"}));
}

}  // namespace
}  // namespace qv
