#include <gtest/gtest.h>

#include <cmath>

#include "base/file_io.h"
#include "ui/button_pictures.h"
#include "ui/panel.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

// A window on a pixel grid of 15 twips, as Windows places it.
class FakePanelWindow final : public PanelWindow {
public:
    explicit FakePanelWindow(test::Events& events) : events_(events) {}
    double ScreenWidthTwips() override { return screenTwips; }
    double WidthTwips() override { return 9135; }
    void MoveTo(double left, double top) override {
        leftPx = static_cast<int>(std::nearbyint(left / 15));
        topPx = static_cast<int>(std::nearbyint(top / 15));
        events_.push_back("move");
    }
    void Show() override { events_.push_back("show"); }
    double LeftTwips() override { return leftPx * 15.0; }
    double TopTwips() override { return topPx * 15.0; }
    int32_t Handle() override { return 0x3030; }
    bool FollowChecked() override { return followChecked; }

    double screenTwips = 19200;
    int leftPx = -1, topPx = -1;
    bool followChecked = true;

private:
    test::Events& events_;
};

struct PanelFixture : ::testing::Test {
    test::TempDir dir;
    test::Events events;
    FakePanelWindow window{events};
    test::FakeWindowApi windows{events};
    test::FakeSleeper sleeper{events};
    AppSettings settings;
    test::FakeClock clock;
    RunLog log{settings, clock};
    Panel panel{window, windows, sleeper, log};

    PanelFixture() {
        settings.WriteLog = true;
        settings.LogFile = dir.File("Log.txt");
    }
    std::string Log() { return ReadWholeFile(settings.LogFile).value_or(""); }
};

TEST_F(PanelFixture, LoadPlacesTheWindowAtTheTopCentreAndRaisesIt) {
    panel.OnLoad();
    // (19200 - 9135) / 2 = 5032.5 twips: pixel 335.5 goes to the even 336, read back as 5040.
    EXPECT_EQ(window.leftPx, 336);
    EXPECT_EQ(window.topPx, 0);
    EXPECT_EQ(Log(), "2026/12/8 16:32:43          3. Open Quorvane Window at : 0,5040\r\n"
                     "2026/12/8 16:32:43          4. Set Quorvane Window On Top\r\n");
    EXPECT_EQ(events, (test::Events{"move", "show", "sleep 1000", "topmost 12336 on"}));
    EXPECT_TRUE(panel.state().bNorthUp);
    EXPECT_FALSE(panel.state().b3D);
    EXPECT_FALSE(panel.state().bRecordTrack);
    EXPECT_FALSE(panel.state().bZooming);
    EXPECT_TRUE(panel.state().bLockMap);
}

TEST_F(PanelFixture, TheFollowSwitchSetsTheLock) {
    window.followChecked = false;
    panel.OnLoad();
    EXPECT_FALSE(panel.state().bLockMap);
}

TEST_F(PanelFixture, OddScreensStillCentre) {
    window.screenTwips = 1024 * 15;
    panel.OnLoad();
    // 3112.5 twips is pixel 207.5, which goes to the even 208.
    EXPECT_EQ(window.leftPx, 208);
    EXPECT_NE(Log().find("at : 0,3120\r\n"), std::string::npos);
}

TEST(Pictures, AreScaledWithTheDisplayPixelForPixel) {
    EXPECT_EQ(PictureSize(96), 20);
    EXPECT_EQ(PictureSize(120), 25);
    EXPECT_EQ(PictureSize(144), 30);
    EXPECT_EQ(PictureSize(192), 40);
    EXPECT_EQ(PictureSize(72), 20);  // never below its own size
    StateIcon picture = DrawStateIcon(2);
    std::vector<uint32_t> twice = ScalePicture(picture, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(twice[y * 40 + x], picture[(y / 2) * 20 + x / 2]) << x << "," << y;
    std::vector<uint32_t> same = ScalePicture(picture, 20);
    EXPECT_TRUE(std::equal(same.begin(), same.end(), picture.begin()));
}

}  // namespace
}  // namespace qv
