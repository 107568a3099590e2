#include <gtest/gtest.h>

#include "gps/serial_port.h"

namespace qv {
namespace {

TEST(SerialSettings, ReadsTheClassicForm) {
    EXPECT_EQ(ParseSerialSettings("4800,n,8,1"), (SerialSettings{4800, Parity::None, 8, StopBits::One}));
    EXPECT_EQ(ParseSerialSettings("9600,E,7,2"), (SerialSettings{9600, Parity::Even, 7, StopBits::Two}));
    EXPECT_EQ(ParseSerialSettings("115200,o,5,1.5"), (SerialSettings{115200, Parity::Odd, 5, StopBits::OneAndHalf}));
    EXPECT_EQ(ParseSerialSettings("300,M,4,1"), (SerialSettings{300, Parity::Mark, 4, StopBits::One}));
    EXPECT_EQ(ParseSerialSettings(" 4800 , s , 8 , 1 "), (SerialSettings{4800, Parity::Space, 8, StopBits::One}));
}

TEST(SerialSettings, RefusesAnythingElse) {
    const char* refused[] = {"",          "4800",        "4800,n,8",     "4800,n,8,1,x", "4801,n,8,1",
                             "-4800,n,8,1", "4800,x,8,1", "4800,nn,8,1",  "4800,n,9,1",   "4800,n,3,1",
                             "4800,n,8,3",  "4800,n,8,1.0", "4800,n,8,",  ",n,8,1",       "4800;n;8;1",
                             "48000000000000000000,n,8,1",  "4800,n,08,1", "COM3"};
    for (const char* text : refused) EXPECT_EQ(ParseSerialSettings(text), std::nullopt) << '"' << text << '"';
}

}  // namespace
}  // namespace qv
