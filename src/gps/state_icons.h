#pragma once
// The three 20 x 20 receiver state pictures: a black satellite at the upper
// right on light grey, with a red crossed circle (no receiver), grey waves
// (no fix) or blue waves (valid fix) at the lower left.
#include <array>
#include <cstdint>

namespace qv {

inline constexpr int kStateIconSize = 20;
using StateIcon = std::array<uint32_t, kStateIconSize * kStateIconSize>;  // 0xRRGGBB, row by row from the top

inline constexpr uint32_t kIconGround = 0xC0C0C0;
inline constexpr uint32_t kIconRed = 0xFF0000;
inline constexpr uint32_t kIconGreyWaves = 0x404040;
inline constexpr uint32_t kIconBlueWaves = 0x0000FF;

// index 0: no receiver, 1: no fix, 2: valid fix.
StateIcon DrawStateIcon(int index);

}  // namespace qv
