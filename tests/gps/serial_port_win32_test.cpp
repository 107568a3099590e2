// The line settings leave nothing to what the driver had before.
#include <gtest/gtest.h>

#include <cstring>

#include "gps/serial_port_win32.h"

namespace qv {
namespace {

TEST(SerialLine, EveryFlagThatStopsReadingIsSetOff) {
    DCB dcb;
    std::memset(&dcb, 0xFF, sizeof dcb);  // a driver that had everything on
    dcb.DCBlength = sizeof dcb;
    ConfigureDcb(dcb, *ParseSerialSettings("921600,e,7,2"));
    EXPECT_EQ(dcb.BaudRate, 921600u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_TRUE(dcb.fBinary && dcb.fParity);
    EXPECT_FALSE(dcb.fAbortOnError) << "a framing error would abort the reads";
    EXPECT_FALSE(dcb.fDsrSensitivity) << "a receiver not driving DSR would never be heard";
    EXPECT_FALSE(dcb.fErrorChar || dcb.fNull || dcb.fOutX || dcb.fInX || dcb.fOutxCtsFlow || dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
}

}  // namespace
}  // namespace qv
