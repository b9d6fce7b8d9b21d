#pragma once
// The capability block `\dump_state` answers, protocol version 1: what the
// client learns of the radio when it opens.

#include <cstdint>
#include <string>
#include <vector>

namespace rigctl {

// Bits of the capability masks, 64 bits wide: clients send a function or
// read a level only if its bit is set.
inline constexpr std::uint64_t kLevelRawStrength = 0x4000000; // l RAWSTR
inline constexpr std::uint64_t kLevelAlc = 0x20000000;        // l ALC
inline constexpr std::uint64_t kLevelStrength = 0x40000000;   // l STRENGTH
inline constexpr std::uint64_t kFunctionTone = 0x10;          // U TONE
inline constexpr std::uint64_t kFunctionToneSquelch = 0x20;   // U TSQL
inline constexpr std::uint64_t kFunctionDcsSquelch = 0x200000000; // U CSQL, bit 33

// One entry per line, without line ends, ending with "done".
std::vector<std::string> DumpStateLines();

} // namespace rigctl
