#pragma once

namespace tv {

// The largest power of ten that the extended format holds exactly (5^27 < 2^64).
inline constexpr int kMaxExactPowerOfTen = 27;

// 10^0 to 10^27, each exact: one multiplication or division by them rounds only once.
inline constexpr long double kExactPowersOfTen[kMaxExactPowerOfTen + 1] = {
    1E0L,  1E1L,  1E2L,  1E3L,  1E4L,  1E5L,  1E6L,  1E7L,  1E8L,  1E9L,
    1E10L, 1E11L, 1E12L, 1E13L, 1E14L, 1E15L, 1E16L, 1E17L, 1E18L, 1E19L,
    1E20L, 1E21L, 1E22L, 1E23L, 1E24L, 1E25L, 1E26L, 1E27L};

} // namespace tv
