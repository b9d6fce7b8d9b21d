#pragma once
// Number words as clients write them. Locale-independent: the program may
// run under a locale that writes a decimal comma.

#include <cstdint>
#include <optional>
#include <string_view>

namespace rigctl {

// A frequency in Hz, plain or as a float ("14074000.000000", "1.4074E7"),
// cut down to the radio's 10 Hz step: 14074055 gives 1407405. Nothing for a
// word that is not wholly a finite number, or a value that cannot be a
// frequency (negative, or beyond 32 bits in 10 Hz units). Range checks are
// the caller's.
std::optional<std::int32_t> ParseFrequency10Hz(std::string_view word);

// A whole number, optionally signed ("500", "-1").
std::optional<long> ParseInteger(std::string_view word);

} // namespace rigctl
