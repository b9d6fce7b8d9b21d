#include "rigctl_dump_state.h"

#include "cat_protocol.h"
#include "fm_cat.h"
#include "rigctl_modes.h"

#include <algorithm>
#include <cstdio>

namespace rigctl {
namespace {

constexpr int kProtocolVersion = 1;
constexpr int kRigModel = 1001; // the client ignores it
constexpr unsigned kVfoAB = 0x3;
constexpr unsigned kAntenna1 = 0x1;
constexpr unsigned kHzPer10Hz = 10;

// Transmit power in mW: 100 W up to 6 m, 50 W on 2 m and 70 cm.
struct PowerRange {
    int lowMilliwatt;
    int highMilliwatt;
};
constexpr std::array<PowerRange, cat::kTuningRanges.size()> kTransmitPower{{
    {5000, 100000},
    {5000, 50000},
    {5000, 50000},
}};

std::string Format(const char* format, auto... values)
{
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string RangeLine(const cat::TuningRange& range, int low, int high)
{
    // The point is written by hand: %f follows the process locale.
    return Format("%lld.000000 %lld.000000 0x%x %d %d 0x%x 0x%x",
        static_cast<long long>(range.low) * kHzPer10Hz, static_cast<long long>(range.high) * kHzPer10Hz,
        AllModesMask(), low, high, kVfoAB, kAntenna1);
}

// The radio's tones in Hz with one decimal, and its DCS codes, each after a
// space, as the client reads them.
std::string ToneListLine()
{
    std::string line = "ctcss_list=";
    for (const auto& tone : cat::kCtcssTones)
        line += Format(" %d.%d", tone.tenthsHz / 10, tone.tenthsHz % 10);
    return line;
}

std::string DcsListLine()
{
    std::string line = "dcs_list=";
    for (int code : cat::kDcsCodes)
        line += ' ' + std::to_string(code);
    return line;
}

} // namespace

std::vector<std::string> DumpStateLines()
{
    std::vector<std::string> lines;
    lines.push_back(std::to_string(kProtocolVersion));
    lines.push_back(std::to_string(kRigModel));
    lines.push_back("0"); // old region field

    for (const auto& range : cat::kTuningRanges)
        lines.push_back(RangeLine(range, -1, -1));
    lines.push_back("0 0 0 0 0 0 0");
    for (std::size_t i = 0; i < cat::kTuningRanges.size(); ++i)
        lines.push_back(RangeLine(cat::kTuningRanges[i], kTransmitPower[i].lowMilliwatt, kTransmitPower[i].highMilliwatt));
    lines.push_back("0 0 0 0 0 0 0");

    lines.push_back(Format("0x%x %u", AllModesMask(), kHzPer10Hz)); // tuning step
    lines.push_back("0 0");

    // Modes that share their filters share a line; normal width before
    // narrow, as the client takes the first width of a mode as its normal.
    struct Filters {
        unsigned mask;
        int normalHz;
        int narrowHz;
    };
    std::vector<Filters> filters;
    for (const auto& mode : kModes) {
        auto same = std::find_if(filters.begin(), filters.end(),
            [&](const Filters& f) { return f.normalHz == mode.normalHz && f.narrowHz == mode.narrowHz; });
        if (same != filters.end())
            same->mask |= mode.maskBit;
        else
            filters.push_back({mode.maskBit, mode.normalHz, mode.narrowHz});
    }
    for (const auto& f : filters) {
        lines.push_back(Format("0x%x %d", f.mask, f.normalHz));
        if (f.narrowHz > 0)
            lines.push_back(Format("0x%x %d", f.mask, f.narrowHz));
    }
    lines.push_back("0 0");

    for (int i = 0; i < 4; ++i)
        lines.push_back("0"); // max RIT, max XIT, max IF shift, announces
    lines.push_back(""); // preamps: none
    lines.push_back(""); // attenuators: none

    // The tone modes can be set, not read.
    lines.push_back("0x0"); // get functions
    lines.push_back(Format("0x%llx", static_cast<unsigned long long>(
        kFunctionTone | kFunctionToneSquelch | kFunctionDcsSquelch))); // set functions
    lines.push_back(Format("0x%llx", static_cast<unsigned long long>(
        kLevelRawStrength | kLevelAlc | kLevelStrength))); // get levels
    lines.push_back("0x0"); // set levels
    lines.push_back("0x0"); // get parameters
    lines.push_back("0x0"); // set parameters

    for (const char* key : {"has_set_vfo=0", "has_get_vfo=1", "has_set_freq=1", "has_get_freq=1",
             "ptt_type=0x1", "targetable_vfo=0x0", "timeout=1000"})
        lines.push_back(key);
    lines.push_back(ToneListLine());
    lines.push_back(DcsListLine());
    lines.push_back("done");
    return lines;
}

} // namespace rigctl
