#include <gtest/gtest.h>

#include "gps/nmea.h"
#include "gps/port_search.h"
#include "support/fakes.h"

namespace qv {
namespace {

const std::string kSecondOfNmea = NmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") +
                                  "\r\n" + NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,,M,,") +
                                  "\r\n";

// Bytes a UART makes of a stream sent at another speed: plenty, and no sentence in them.
std::string Garbage(int64_t from, int64_t to, unsigned seed) {
    std::string out;
    for (int64_t ms = from; ms < to; ++ms)
        out += static_cast<char>((ms * 2654435761u + seed) >> 13 & 0xFF);
    return out;
}

// A receiver at `baud`: a second of sentences at each whole second, garbage at any other speed.
test::FakePortScript Receiver(uint32_t baud) {
    return {0, false, -1, [baud](uint32_t at, int64_t from, int64_t to) {
                if (at != baud) return Garbage(from, to, at);
                std::string out;
                for (int64_t s = from / 1000 + (from % 1000 ? 1 : 0); s * 1000 < to; ++s) out += kSecondOfNmea;
                return out;
            }};
}

struct SearchFixture : ::testing::Test {
    test::FakeSteadyClock clock;
    test::FakePortFinder finder{clock};
    PortSearch search{finder, clock};

    // Steps every 250 ms until the search ends; the time it took.
    uint64_t RunToEnd(uint64_t limitMs = 120000) {
        uint64_t start = clock.now;
        while (search.Step() == PortSearch::State::running && clock.now - start < limitMs) clock.now += 250;
        return clock.now - start;
    }
};

TEST_F(SearchFixture, TheReceiverIsFoundAmongPortsThatBlockBabbleSayNothingOrVanish) {
    finder.ports[3] = {20000, true, -1, nullptr};  // a Bluetooth port that blocks 20 s, then fails
    finder.ports[4] = {0, false, -1, [](uint32_t, int64_t from, int64_t to) { return Garbage(from, to, 4); }};
    finder.ports[5] = {0, false, -1, nullptr};  // silent
    finder.ports[6] = Receiver(9600);
    finder.ports[6].vanishesAfterMs = 1200;  // unplugged during the search
    finder.ports[7] = Receiver(9600);
    search.Start(SearchSettings(""));
    uint64_t took = RunToEnd();
    ASSERT_EQ(search.state(), PortSearch::State::found);
    PortSearch::Found found = search.TakeFound();
    EXPECT_EQ(found.port, 7);
    EXPECT_EQ(found.settings.baud, 9600u);
    ASSERT_TRUE(found.probe);
    EXPECT_EQ(found.probe->Poll(), ProbePort::State::open);  // handed over still open
    EXPECT_EQ(finder.live, 1);                               // every other port closed or left
    // All ports are tried together: the one at 9600 is found after its 4800 window, not after the blocked one.
    EXPECT_LE(took, 2 * PortSearch::kListenMs + 1000);
    EXPECT_EQ(finder.opened, (std::vector<std::string>{"COM3 4800", "COM4 4800", "COM5 4800", "COM6 4800", "COM7 4800"}));
}

TEST_F(SearchFixture, NothingFoundEndsOnceEveryPortIsDoneAndAConfiguredSpeedIsTheOnlyOneTried) {
    finder.ports[4] = {0, false, -1, [](uint32_t, int64_t from, int64_t to) { return Garbage(from, to, 4); }};
    finder.ports[5] = {0, false, -1, nullptr};
    finder.ports[6] = Receiver(115200);
    search.Start(SearchSettings("9600,n,8,1"));
    uint64_t took = RunToEnd();
    EXPECT_EQ(search.state(), PortSearch::State::nothing);
    EXPECT_LE(took, PortSearch::kListenMs + 250);
    EXPECT_EQ(finder.live, 0);

    // Garbage gives up a speed early; silence gives up the port at once; a port still opening is left after 30 s.
    finder.ports.clear();
    finder.ports[8] = {60000, false, -1, nullptr};
    search.Start(SearchSettings(""));
    took = RunToEnd();
    EXPECT_EQ(search.state(), PortSearch::State::nothing);
    EXPECT_EQ(took, PortSearch::kOpenLimitMs);
}

TEST_F(SearchFixture, TheSpeedsTriedAndHowTheyAreWritten) {
    std::vector<std::string> texts;
    for (const SerialSettings& s : SearchSettings("")) texts.push_back(SerialSettingsText(s));
    EXPECT_EQ(texts, (std::vector<std::string>{"4800,n,8,1", "9600,n,8,1", "38400,n,8,1", "115200,n,8,1"}));
    EXPECT_EQ(SerialSettingsText(SearchSettings("19200,E,7,2")[0]), "19200,e,7,2");
    EXPECT_EQ(SearchSettings("fast").size(), 4u);  // unreadable: as if none were given
}

}  // namespace
}  // namespace qv
