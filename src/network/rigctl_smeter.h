#pragma once
// The S-meter reading (0..31) in dB relative to S9, for `l STRENGTH`.

#include <array>

namespace rigctl {

// The meter's scale label: S0 to S9 over the lower half, then +20, +40 and
// +60 dB evenly over the upper half. The raw reading steps evenly along the
// needle's travel, so S9 (0 dB) falls on step 16 and each S-unit below it
// is 6 dB.
struct MeterMark {
    int raw;
    int dbOverS9;
};
inline constexpr std::array<MeterMark, 5> kMeterScale{{
    {0, -54}, // S0
    {16, 0},  // S9
    {21, 20},
    {26, 40},
    {31, 60},
}};

inline constexpr int kMeterMaxRaw = 31;

// dB over S9 for every raw level, read off the scale by straight lines
// between its marks, rounded to the nearest dB.
constexpr std::array<int, kMeterMaxRaw + 1> MakeStrengthTable()
{
    std::array<int, kMeterMaxRaw + 1> table{};
    for (int raw = 0; raw <= kMeterMaxRaw; ++raw) {
        for (std::size_t i = 0; i + 1 < kMeterScale.size(); ++i) {
            const MeterMark low = kMeterScale[i];
            const MeterMark high = kMeterScale[i + 1];
            if (raw < low.raw || raw > high.raw)
                continue;
            const int span = high.raw - low.raw;
            const int rise = (high.dbOverS9 - low.dbOverS9) * (raw - low.raw);
            table[raw] = low.dbOverS9 + (rise + span / 2) / span; // the scale only rises
            break;
        }
    }
    return table;
}
inline constexpr auto kStrengthTable = MakeStrengthTable();

constexpr int StrengthDb(int raw)
{
    if (raw < 0)
        raw = 0;
    if (raw > kMeterMaxRaw)
        raw = kMeterMaxRaw;
    return kStrengthTable[raw];
}

} // namespace rigctl
