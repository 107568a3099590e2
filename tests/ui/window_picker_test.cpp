#include <gtest/gtest.h>

#include "ui/window_picker.h"
#include "support/fakes.h"

namespace qv {
namespace {

struct PickerFixture : ::testing::Test {
    test::Events events;
    test::FakeWindowApi windows{events};
    test::FakePanelView panel{events};
    PanelState state;
    StatusBoard status{panel, "initial"};
    WindowPicker picker{windows, status, state, 7};
    PickerFixture() {
        windows.rects[7] = {336, 0, 945, 52};      // the panel
        windows.rects[1312858] = {0, 60, 1280, 1024};  // a map window below it
        windows.titles[1312858] = "EarthStandIn 地图";
        windows.pointIgnored = 7;
    }
};

TEST_F(PickerFixture, ShowsTheHandleAndTitleUnderTheCursorWhileDragging) {
    picker.OnPress();
    EXPECT_EQ(events, (test::Events{"show txtState", "release capture", "capture 7"}));
    EXPECT_TRUE(state.bPicking);
    picker.OnMove(100.5, 200.5);  // client pixels, halves to even, then onto the screen
    EXPECT_EQ(panel.texts[PanelControl::txtState], "[1312858]EarthStandIn 地图");
    picker.OnMove(2000, 2000);  // nothing there: handle 0, no title
    EXPECT_EQ(panel.texts[PanelControl::txtState], "[0]");
    picker.OnRelease();
    EXPECT_FALSE(state.bPicking);
    EXPECT_FALSE(panel.visible[PanelControl::txtState]);
    EXPECT_EQ(panel.texts[PanelControl::txtState], "[0]");  // the read-out stays, hidden
}

TEST_F(PickerFixture, MovesWithoutPickingChangeNothingAndAReleaseAlwaysHides) {
    status.Set(StatusSource::link, "未找到 GPS 设备在串口 [3] !");
    picker.OnMove(10, 10);
    EXPECT_EQ(panel.texts[PanelControl::txtState], "未找到 GPS 设备在串口 [3] !");
    picker.OnRelease();
    EXPECT_FALSE(panel.visible[PanelControl::txtState]);
    windows.rects.erase(7);  // the panel cannot be measured: the read-out keeps its text
    state.bPicking = true;
    picker.OnMove(10, 10);
    EXPECT_EQ(panel.texts[PanelControl::txtState], "未找到 GPS 设备在串口 [3] !");
}

}  // namespace
}  // namespace qv
