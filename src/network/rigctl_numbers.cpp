#include "rigctl_numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace rigctl {
namespace {

// std::from_chars takes no leading '+'; clients may send one.
std::string_view WithoutPlus(std::string_view word)
{
    if (word.size() > 1 && word.front() == '+' && word[1] != '-')
        word.remove_prefix(1);
    return word;
}

} // namespace

std::optional<std::int32_t> ParseFrequency10Hz(std::string_view word)
{
    word = WithoutPlus(word);
    double hertz = 0;
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, hertz);
    if (error != std::errc() || stop != end || !std::isfinite(hertz) || hertz < 0)
        return std::nullopt;
    // The small allowance keeps a decimal exponent form such as 1.4074050E7,
    // which may land a hair under the whole number, from losing 10 Hz.
    const double tens = std::floor(hertz / 10.0 + 1e-7);
    if (tens > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(tens);
}

std::optional<long> ParseInteger(std::string_view word)
{
    word = WithoutPlus(word);
    long value = 0;
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace rigctl
