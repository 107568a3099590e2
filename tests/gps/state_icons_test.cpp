#include <gtest/gtest.h>

#include "gps/state_icons.h"

namespace qv {
namespace {

int Count(const StateIcon& icon, uint32_t colour, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += icon[y * kStateIconSize + x] == colour;
    return n;
}

TEST(StateIcons, EachShowsItsSignOnlyAtTheLowerLeftBesideTheSatellite) {
    const uint32_t signs[] = {kIconRed, kIconGreyWaves, kIconBlueWaves};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        StateIcon icon = DrawStateIcon(i);
        EXPECT_GT(Count(icon, 0x000000, 10, 0, 20, 10), 15);  // the satellite, upper right
        EXPECT_GT(Count(icon, signs[i], 0, 10, 10, 20), 10);  // the sign, lower left
        EXPECT_EQ(Count(icon, signs[i], 10, 0, 20, 10), 0);
        for (int j = 0; j < 3; ++j) {
            if (j != i) {
                EXPECT_EQ(Count(icon, signs[j], 0, 0, 20, 20), 0);
            }
        }
        EXPECT_GT(Count(icon, kIconGround, 0, 0, 20, 20), 200);
    }
}

}  // namespace
}  // namespace qv
