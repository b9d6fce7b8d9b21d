#include "cat_protocol.h"

#include <limits>

namespace cat {

QString ModeText(std::uint8_t code)
{
    for (const auto& mode : kModes)
        if (mode.code == code)
            return QString::fromLatin1(mode.displayText);
    return QStringLiteral("???");
}

std::optional<std::uint8_t> ModeCodeForWord(const QString& word)
{
    for (const auto& mode : kModes)
        if (word == QLatin1String(mode.fileWord))
            return mode.code;
    return std::nullopt;
}

DigitArray FrequencyDigitsOf(Frequency10Hz value)
{
    DigitArray digits{};
    std::int64_t rest = value < 0 ? 0 : value;
    for (int i = 7; i >= 0; --i) {
        digits[i] = static_cast<int>(rest % 10);
        rest /= 10;
    }
    return digits;
}

std::array<std::uint8_t, 4> PackBcd(Frequency10Hz value)
{
    const DigitArray digits = FrequencyDigitsOf(value);
    std::array<std::uint8_t, 4> bytes{};
    for (int k = 0; k < 4; ++k)
        bytes[k] = static_cast<std::uint8_t>(digits[2 * k] * 16 + digits[2 * k + 1]);
    return bytes;
}

std::optional<std::array<std::uint8_t, 4>> PackFrequency(Frequency10Hz value)
{
    if (!InTuningRange(value))
        return std::nullopt;
    return PackBcd(value);
}

std::optional<CommandBytes> SetFrequencyCommand(Frequency10Hz value, Opcode opcode)
{
    const auto packed = PackFrequency(value);
    if (!packed)
        return std::nullopt;
    return CommandBytes{(*packed)[0], (*packed)[1], (*packed)[2], (*packed)[3], opcode};
}

std::optional<Frequency10Hz> KilohertzTo10Hz(std::int64_t kilohertz)
{
    constexpr std::int64_t limit = std::numeric_limits<Frequency10Hz>::max() / 100;
    if (kilohertz > limit || kilohertz < -limit)
        return std::nullopt;
    return static_cast<Frequency10Hz>(kilohertz * 100);
}

QString FrequencyDigitsFromReply(const QByteArray& reply)
{
    QString digits;
    for (int i = 0; i < 4 && i < reply.size(); ++i)
        digits += QStringLiteral("%1").arg(static_cast<std::uint8_t>(reply[i]), 2, 16, QLatin1Char('0')).toUpper();
    return digits;
}

Frequency10Hz FrequencyFromDigits(const QString& digits)
{
    // Lenient reading: the leading run of decimal digits; a garbled (non-BCD)
    // byte such as 0xA5 ends the number instead of producing nonsense.
    std::int64_t value = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
    }
    return static_cast<Frequency10Hz>(value);
}

} // namespace cat
