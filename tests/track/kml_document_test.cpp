#include <gtest/gtest.h>

#include "track/kml_document.h"

namespace qv {
namespace {

const char kOpening[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
    "<Document>\r\n"
    "<name>Track 2026-03-07 09:05:03</name>\r\n"
    "<Placemark>\r\n"
    "<name>Road Name</name>\r\n"
    "<Style>\r\n"
    "<LineStyle>\r\n"
    "<color>fc00ffff</color>\r\n"
    "<width>3</width>\r\n"
    "</LineStyle>\r\n"
    "</Style>\r\n"
    "<LineString>\r\n"
    "<tessellate>1</tessellate>\r\n"
    "<coordinates>\r\n";
const char kClosing[] = "\r\n</coordinates>\r\n</LineString>\r\n</Placemark>\r\n</Document>\r\n</kml>\r\n";

TEST(KmlDocument, FileImagesWithNoneOneAndManyPoints) {
    KmlDocument doc;
    doc.Begin({2026, 3, 7, 9, 5, 3});
    EXPECT_EQ(doc.FileImage(), std::string(kOpening) + kClosing);
    doc.AppendPoint(121.4737, 31.2304, 12);
    EXPECT_EQ(doc.FileImage(), std::string(kOpening) + "121.4737,31.2304,12\r\n" + kClosing);
    doc.AppendPoint(-0.5, 51.48, 0);
    doc.AppendPoint(0, 0, -3.5);
    doc.AppendPoint(-179.99995, -89.99994, 8848.5);
    EXPECT_EQ(doc.FileImage(), std::string(kOpening) +
                                   "121.4737,31.2304,12\r\n"
                                   "-0.5000,51.4800,0\r\n"
                                   "0.0000,0.0000,-4\r\n"
                                   "-180.0000,-89.9999,8849\r\n" +
                                   kClosing);
    EXPECT_EQ(doc.points(), 4u);
}

TEST(KmlDocument, CoordinateLinesRoundAndNeverShowMinusZero) {
    EXPECT_EQ(CoordinateLine(0, 0, 0), "0.0000,0.0000,0\r\n");
    EXPECT_EQ(CoordinateLine(-0.00004, -0.00001, -0.4), "0.0000,0.0000,0\r\n");
    EXPECT_EQ(CoordinateLine(-0.00006, 0.00005, 0.5), "-0.0001,0.0001,1\r\n");
    EXPECT_EQ(CoordinateLine(113.26745, 22.5, -1.5), "113.2675,22.5000,-2\r\n");
    EXPECT_EQ(CoordinateLine(1e6, 5, 12), "1000000.0000,5.0000,12\r\n");
}

TEST(KmlDocument, ASecondDocumentKeepsNothingOfTheFirst) {
    KmlDocument doc;
    doc.Begin({2026, 3, 7, 9, 5, 3});
    doc.AppendPoint(1, 2, 3);
    std::string first = doc.FileImage();
    doc.Begin({2026, 3, 7, 9, 5, 4});
    EXPECT_EQ(doc.points(), 0u);
    std::string second = doc.FileImage();
    EXPECT_EQ(second.find("1.0000,2.0000,3"), std::string::npos);
    EXPECT_NE(second.find("<name>Track 2026-03-07 09:05:04</name>"), std::string::npos);
    doc.AppendPoint(1, 2, 3);
    std::string expected = first;
    expected.replace(expected.find("09:05:03"), 8, "09:05:04");
    EXPECT_EQ(doc.FileImage(), expected);  // only line 4 differs
}

TEST(KmlDocument, MemoryGrowsInSmallSteps) {
    KmlDocument doc;
    doc.Begin({2026, 3, 7, 9, 5, 3});
    for (int i = 0; i < 100000; ++i) doc.AppendPoint(121.5 + i * 1e-5, 31.12 + i * 1e-5, 10);
    // 21 bytes a line; growth by half the size keeps at most a third of the memory unused.
    EXPECT_LE(static_cast<double>(doc.capacityBytes()) / doc.points(), 40.0);
}

}  // namespace
}  // namespace qv
