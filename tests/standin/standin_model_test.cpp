#include <gtest/gtest.h>

#include <cmath>

#include "standin_model.h"

namespace standin {
namespace {

TEST(ParseKmlCoordinates, ReadsEveryTupleOfEveryElement) {
    auto points = ParseKmlCoordinates(
        "<kml><Placemark><LineString><coordinates>\r\n114.0579,22.5431,0\r\n-0.5,-33.25,12\r\n"
        "\r\n</coordinates></LineString></Placemark><coordinates> 1,2 bad 3,x,0 4,5</coordinates></kml>");
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].longitude, 114.0579);
    EXPECT_EQ(points[0].latitude, 22.5431);
    EXPECT_EQ(points[1].longitude, -0.5);
    EXPECT_EQ(points[1].latitude, -33.25);
    EXPECT_EQ(points[2].latitude, 2);
    EXPECT_EQ(points[3].longitude, 4);
    EXPECT_TRUE(ParseKmlCoordinates("<kml></kml>").empty());
    EXPECT_EQ(ParseKmlCoordinates("<coordinates>1,2 3,4").size(), 2u);  // cut off: what is there counts
}

TEST(Faults, MemberListsIgnoreCaseAndBlanks) {
    Faults f;
    f.refuse = ParseMemberList(" setViewParams , OpenFile,,");
    EXPECT_TRUE(f.Refuses("SETVIEWPARAMS"));
    EXPECT_TRUE(f.Refuses("openfile"));
    EXPECT_FALSE(f.Refuses("setView"));
    f.slow = ParseMemberList("*");
    EXPECT_FALSE(f.IsSlow("GetMainHwnd"));  // no delay set
    f.slowMs = 10;
    EXPECT_TRUE(f.IsSlow("GetMainHwnd"));
}

TEST(Journal, NumbersRoundTripAndTextsAreQuoted) {
    EXPECT_EQ(JournalNumber(100.0), "100");
    EXPECT_EQ(JournalNumber(22.54013333333333), "22.54013333333333");
    EXPECT_EQ(JournalNumber(-0.0001), "-0.0001");
    EXPECT_EQ(JournalText("C:\\a \"b\".kml"), "\"C:\\\\a \\\"b\\\".kml\"");
    EXPECT_EQ(JournalText("x\r\ny"), "\"x\\x0D\\x0Ay\"");
    EXPECT_EQ(JournalText("轨迹.kml"), "\"轨迹.kml\"");
}

TEST(Projection, PutsTheCameraAtTheCentreHeadingUp) {
    Camera c;
    c.latitude = 22.5;
    c.longitude = 114;
    c.range = 1000;
    Projection p(c, 800, 500);
    EXPECT_DOUBLE_EQ(p.MetresPerPixel(), 2.0);
    double x, y;
    p.ToScreen({22.5, 114}, x, y);
    EXPECT_DOUBLE_EQ(x, 400);
    EXPECT_DOUBLE_EQ(y, 250);
    p.ToScreen({22.501, 114}, x, y);  // north is up when the heading is 0
    EXPECT_NEAR(x, 400, 1e-9);
    EXPECT_NEAR(y, 250 - 110.54 / 2, 1e-6);

    c.azimuth = 90;  // heading east: east is up, north to the left
    Projection east(c, 800, 500);
    east.ToScreen({22.5, 114.001}, x, y);
    EXPECT_NEAR(x, 400, 1e-6);
    EXPECT_LT(y, 250 - 40);
    east.ToScreen({22.501, 114}, x, y);
    EXPECT_LT(x, 400 - 40);
    EXPECT_NEAR(y, 250, 1e-6);
}

TEST(Projection, GraticuleStepIsOneTwoOrFiveTimesAPowerOfTen) {
    for (double range : {400.0, 5000.0, 123456.0, 2e7}) {
        Camera c;
        c.range = range;
        Projection p(c, 1280, 960);
        double step = p.GraticuleStep();
        double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6)
            << range << " " << step;
        double lines = 2 * p.HalfSpanDegrees() / step;
        EXPECT_GE(lines, 2.5) << range;
        EXPECT_LE(lines, 15) << range;
    }
    Camera broken;
    broken.range = std::nan("");
    Projection p(broken, 100, 100);  // a camera with no height still draws something
    EXPECT_GT(p.MetresPerPixel(), 0);
}

}  // namespace
}  // namespace standin
