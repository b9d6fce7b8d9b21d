#pragma once
// The capability block `\dump_state` answers, protocol version 1: what the
// client learns of the radio when it opens.

#include <string>
#include <vector>

namespace rigctl {

// Bits of the get-level capability mask.
inline constexpr unsigned kLevelRawStrength = 0x4000000; // l RAWSTR
inline constexpr unsigned kLevelStrength = 0x40000000;   // l STRENGTH

// One entry per line, without line ends, ending with "done".
std::vector<std::string> DumpStateLines();

} // namespace rigctl
