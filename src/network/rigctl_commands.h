#pragma once
// The network rig-control commands Solvane serves, as data: one row per
// command. The same row drives parsing (names, arguments), the plain reply
// and the extended reply (header name and value labels).

#include <array>
#include <cstddef>
#include <string_view>

namespace rigctl {

enum class Action {
    GetFrequency,
    SetFrequency,
    GetMode,
    SetMode,
    GetVfo,
    SetVfo,
    GetPtt,
    SetPtt,
    GetSplitVfo,
    SetSplitVfo,
    GetSplitFrequency,
    SetSplitFrequency,
    GetSplitMode,
    SetSplitMode,
    SetVfoOption,
    GetLevel,
    GetPowerStatus,
    CheckVfo,
    GetLockMode,
    GetDcd,
    SetFunction,      // the tone modes: U TONE, TSQL, CSQL
    SetCtcssTone,
    SetDcsCode,
    SetRepeaterShift,
    SetRepeaterOffset,
    GetFmSetting,     // the radio cannot report its FM settings
    DumpState,
    Quit,
};

struct CommandInfo {
    char shortName;            // '\0': only the long form exists
    std::string_view longName; // written "\get_freq" on the wire
    Action action;
    std::array<std::string_view, 2> arguments; // names of the words it takes
    std::array<std::string_view, 2> values;    // labels in an extended reply
    // A VFO word may follow the name, as clients in VFO mode send one; it is
    // kept apart from the arguments. Not for set_vfo, whose argument is
    // itself a VFO word.
    bool takesVfoWord;
    // The 4.5 client expects "RPRT 0" after the value even in a plain reply.
    bool reportAfterValues;

    constexpr std::size_t ArgumentCount() const
    {
        std::size_t n = 0;
        for (auto name : arguments)
            n += name.empty() ? 0 : 1;
        return n;
    }
    constexpr std::size_t ValueCount() const
    {
        std::size_t n = 0;
        for (auto label : values)
            n += label.empty() ? 0 : 1;
        return n;
    }
};

inline constexpr std::array<CommandInfo, 37> kCommands{{
    {'f', "get_freq", Action::GetFrequency, {}, {"Frequency"}, true, false},
    {'F', "set_freq", Action::SetFrequency, {"Frequency"}, {}, true, false},
    {'m', "get_mode", Action::GetMode, {}, {"Mode", "Passband"}, true, false},
    {'M', "set_mode", Action::SetMode, {"Mode", "Passband"}, {}, true, false},
    {'v', "get_vfo", Action::GetVfo, {}, {"VFO"}, true, false},
    {'V', "set_vfo", Action::SetVfo, {"VFO"}, {}, false, false},
    {'t', "get_ptt", Action::GetPtt, {}, {"PTT"}, true, false},
    {'T', "set_ptt", Action::SetPtt, {"PTT"}, {}, true, false},
    {'s', "get_split_vfo", Action::GetSplitVfo, {}, {"Split", "TX VFO"}, true, false},
    {'S', "set_split_vfo", Action::SetSplitVfo, {"Split", "TX VFO"}, {}, true, false},
    {'i', "get_split_freq", Action::GetSplitFrequency, {}, {"TX Frequency"}, true, false},
    {'I', "set_split_freq", Action::SetSplitFrequency, {"TX Frequency"}, {}, true, false},
    {'x', "get_split_mode", Action::GetSplitMode, {}, {"TX Mode", "TX Passband"}, true, false},
    {'X', "set_split_mode", Action::SetSplitMode, {"TX Mode", "TX Passband"}, {}, true, false},
    {'\0', "set_vfo_opt", Action::SetVfoOption, {"Status"}, {}, false, false},
    {'l', "get_level", Action::GetLevel, {"Level"}, {"Level Value"}, true, false},
    {'\0', "get_powerstat", Action::GetPowerStatus, {}, {"Power Status"}, false, false},
    {'\0', "chk_vfo", Action::CheckVfo, {}, {"ChkVFO"}, false, false},
    {'\0', "get_lock_mode", Action::GetLockMode, {}, {"Locked"}, true, true},
    {'\0', "get_dcd", Action::GetDcd, {}, {"DCD"}, true, false},
    {'U', "set_func", Action::SetFunction, {"Func", "Func Status"}, {}, true, false},
    {'u', "get_func", Action::GetFmSetting, {"Func"}, {"Func Status"}, true, false},
    {'C', "set_ctcss_tone", Action::SetCtcssTone, {"CTCSS Tone"}, {}, true, false},
    {'c', "get_ctcss_tone", Action::GetFmSetting, {}, {"CTCSS Tone"}, true, false},
    // The radio's tone squelch listens for the tone it sends, and its DCS
    // squelch for its one code: the squelch forms set the same.
    {'\0', "set_ctcss_sql", Action::SetCtcssTone, {"CTCSS Sql"}, {}, true, false},
    {'\0', "get_ctcss_sql", Action::GetFmSetting, {}, {"CTCSS Sql"}, true, false},
    {'D', "set_dcs_code", Action::SetDcsCode, {"DCS Code"}, {}, true, false},
    {'d', "get_dcs_code", Action::GetFmSetting, {}, {"DCS Code"}, true, false},
    {'\0', "set_dcs_sql", Action::SetDcsCode, {"DCS Sql"}, {}, true, false},
    {'\0', "get_dcs_sql", Action::GetFmSetting, {}, {"DCS Sql"}, true, false},
    {'R', "set_rptr_shift", Action::SetRepeaterShift, {"Rptr Shift"}, {}, true, false},
    {'r', "get_rptr_shift", Action::GetFmSetting, {}, {"Rptr Shift"}, true, false},
    {'O', "set_rptr_offs", Action::SetRepeaterOffset, {"Rptr Offset"}, {}, true, false},
    {'o', "get_rptr_offs", Action::GetFmSetting, {}, {"Rptr Offset"}, true, false},
    // Its lines carry no labels; the row only names the header.
    {'\0', "dump_state", Action::DumpState, {}, {}, false, false},
    {'q', "quit", Action::Quit, {}, {}, false, false},
    {'Q', "quit", Action::Quit, {}, {}, false, false},
}};

// Case-sensitive: 'f' reads the frequency and 'F' sets it.
constexpr const CommandInfo* FindShort(char name)
{
    if (name == '\0')
        return nullptr;
    for (const auto& command : kCommands)
        if (command.shortName == name)
            return &command;
    return nullptr;
}

constexpr const CommandInfo* FindLong(std::string_view name)
{
    for (const auto& command : kCommands)
        if (command.longName == name)
            return &command;
    return nullptr;
}

// Words clients use to name a VFO.
inline constexpr std::array<std::string_view, 14> kVfoWords{{
    "VFOA", "VFOB", "VFOC", "currVFO", "VFO", "MEM", "Main", "Sub",
    "TX", "RX", "MainA", "MainB", "SubA", "SubB",
}};

constexpr bool IsVfoWord(std::string_view word)
{
    for (auto vfo : kVfoWords)
        if (vfo == word)
            return true;
    return false;
}

// The words that name the transmit VFO: satellite mode's uplink on this radio.
constexpr bool NamesTransmitVfo(std::string_view word)
{
    return word == "Sub" || word == "VFOB" || word == "TX" || word == "SubA" || word == "SubB";
}

} // namespace rigctl
