#include "radio_state.h"

#include <algorithm>
#include <cstdio>

bool IsKnownMode(std::uint8_t code)
{
    switch (code) {
    case 0x00: case 0x01: case 0x02: case 0x03: case 0x04: case 0x08:
    case 0x82: case 0x83: case 0x84: case 0x88:
        return true;
    default:
        return false;
    }
}

std::optional<std::uint32_t> DecodeBcd(const std::uint8_t* bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const int high = bytes[i] >> 4;
        const int low = bytes[i] & 0x0F;
        if (high > 9 || low > 9)
            return std::nullopt;
        value = value * 100 + static_cast<std::uint32_t>(high * 10 + low);
    }
    return value;
}

std::array<std::uint8_t, 4> EncodeBcd(std::uint32_t value)
{
    std::array<std::uint8_t, 4> out{};
    for (int i = 3; i >= 0; --i) {
        const unsigned pair = value % 100;
        value /= 100;
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(((pair / 10) << 4) | (pair % 10));
    }
    return out;
}

std::string HexBytes(const std::uint8_t* bytes, std::size_t count)
{
    std::string text;
    char part[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", bytes[i]);
        text += part;
    }
    return text;
}

namespace {
Bytes FrequencyAndMode(std::uint32_t frequency, std::uint8_t mode)
{
    const auto bcd = EncodeBcd(frequency);
    return Bytes{bcd[0], bcd[1], bcd[2], bcd[3], mode};
}

// A frequency that is not all decimal digits, or a mode the radio does not
// know, leaves the VFO (or the repeater offset) as it was.
void SetFrequency(std::uint32_t& frequency, const Command& command)
{
    if (const auto value = DecodeBcd(command.data()))
        frequency = *value;
}

void SetMode(std::uint8_t& mode, const Command& command)
{
    if (IsKnownMode(command[0]))
        mode = command[0];
}

int Drift(int value, int max, std::mt19937& rng)
{
    return std::clamp(value + std::uniform_int_distribution<int>(-2, 2)(rng), 0, max);
}
} // namespace

std::optional<Bytes> RadioState::apply(const Command& command)
{
    switch (command[4]) {
    case Opcode::SetFrequency:
        SetFrequency(frequency, command);
        return std::nullopt;
    case Opcode::SetMode:
        SetMode(mode, command);
        return std::nullopt;
    case Opcode::ReadFrequencyMode:
        return FrequencyAndMode(frequency, mode);
    case Opcode::SetToneMode:
    case Opcode::SetCtcssTone:
    case Opcode::SetDcsCode:
        fm.apply(command);
        return std::nullopt;
    case Opcode::SetRepeaterShift:
        if (IsKnownShift(command[0]))
            shift = command[0];
        return std::nullopt;
    case Opcode::SetRepeaterOffset:
        SetFrequency(offset, command); // the same 8 BCD digits in 10 Hz units
        return std::nullopt;
    case Opcode::ReadRxStatus:
        return Bytes{static_cast<std::uint8_t>((statusHigh & 0xE0) | (smeter & 0x1F))};
    // The radio takes PTT and satellite mode from the opcode alone; the
    // parameter bytes may hold anything.
    case Opcode::PttOn:
    case Opcode::PttOff:
        catKey = command[4] == Opcode::PttOn;
        return std::nullopt;
    case Opcode::ReadTxStatus: // bit 7 clear while transmitting, whoever keyed it; the power-out meter below
        return Bytes{static_cast<std::uint8_t>(transmitting() ? (power & 0x1F) : 0x80)};
    case Opcode::SatelliteOn:
    case Opcode::SatelliteOff:
        satellite = command[4] == Opcode::SatelliteOn;
        return std::nullopt;
    default:
        break;
    }
    // The satellite VFOs answer only in satellite mode; outside it their
    // commands are ignored and their reads go unanswered.
    if (!satellite)
        return std::nullopt;
    switch (command[4]) {
    case Opcode::SetSatRxFrequency:
        SetFrequency(satRx.frequency, command);
        break;
    case Opcode::SetSatRxMode:
        SetMode(satRx.mode, command);
        break;
    case Opcode::ReadSatRxFrequencyMode:
        return FrequencyAndMode(satRx.frequency, satRx.mode);
    case Opcode::SetSatRxToneMode:
    case Opcode::SetSatRxCtcssTone:
    case Opcode::SetSatRxDcsCode:
        satRx.fm.apply(command);
        break;
    case Opcode::SetSatTxFrequency:
        SetFrequency(satTx.frequency, command);
        break;
    case Opcode::SetSatTxMode:
        SetMode(satTx.mode, command);
        break;
    case Opcode::ReadSatTxFrequencyMode:
        return FrequencyAndMode(satTx.frequency, satTx.mode);
    case Opcode::SetSatTxToneMode:
    case Opcode::SetSatTxCtcssTone:
    case Opcode::SetSatTxDcsCode:
        satTx.fm.apply(command);
        break;
    default: // CAT on/off and anything unknown: no reply
        break;
    }
    return std::nullopt;
}

void RadioState::driftSMeter(std::mt19937& rng) { smeter = Drift(smeter, MaxSMeter, rng); }

void RadioState::driftPower(std::mt19937& rng) { power = Drift(power, MaxPower, rng); }

std::optional<Command> Framer::push(std::uint8_t byte)
{
    buffer_[count_++] = byte;
    if (count_ < buffer_.size())
        return std::nullopt;
    count_ = 0;
    return buffer_;
}

void LoseByte(Bytes& reply, std::size_t index)
{
    reply.erase(reply.begin() + static_cast<std::ptrdiff_t>(std::min(index, reply.size() - 1)));
}

void DuplicateByte(Bytes& reply, std::size_t index)
{
    const auto at = reply.begin() + static_cast<std::ptrdiff_t>(std::min(index, reply.size() - 1));
    const std::uint8_t byte = *at;
    reply.insert(at, byte);
}

namespace {
// A byte between the first and the last, so the reply keeps its ends and
// goes wrong in the middle; a reply of one or two bytes has only its first.
std::size_t InsideIndex(std::size_t size, std::mt19937& rng)
{
    return size < 3 ? 0 : std::uniform_int_distribution<std::size_t>(1, size - 2)(rng);
}
} // namespace

Bytes ReplyShaper::shape(Bytes reply, std::mt19937& rng)
{
    if (options_.freezeAfter >= 0 && replies_ >= options_.freezeAfter)
        return {};
    ++replies_;

    if (options_.faultRate > 0 && std::uniform_real_distribution<double>(0, 1)(rng) < options_.faultRate) {
        switch (static_cast<FaultKind>(std::uniform_int_distribution<int>(0, 4)(rng))) {
        case FaultKind::Short: // by at least one byte
            reply.resize(std::uniform_int_distribution<std::size_t>(0, reply.size() - 1)(rng));
            break;
        case FaultKind::StrayByte:
            reply.push_back(0xFE);
            break;
        case FaultKind::Missing:
            reply.clear();
            break;
        case FaultKind::LoseInside:
            LoseByte(reply, InsideIndex(reply.size(), rng));
            break;
        case FaultKind::DupInside:
            DuplicateByte(reply, InsideIndex(reply.size(), rng));
            break;
        }
    }
    if (!reply.empty() && options_.loseInside)
        LoseByte(reply, 1);
    if (!reply.empty() && options_.dupInside)
        DuplicateByte(reply, 1);
    const auto drop = std::min(reply.size(), static_cast<std::size_t>(options_.shortBy));
    reply.resize(reply.size() - drop);
    reply.insert(reply.end(), static_cast<std::size_t>(options_.extra), 0xFE);
    if (options_.garbageEvery > 0 && replies_ % options_.garbageEvery == 0)
        reply.push_back(static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng)));
    return reply;
}
