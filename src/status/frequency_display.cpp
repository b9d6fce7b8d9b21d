#include "frequency_display.h"

std::optional<StatusReading> DecodeFrequencyReply(const QByteArray& reply)
{
    if (reply.size() != 5)
        return std::nullopt;
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<std::uint8_t>(reply[i]);
        if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
            return std::nullopt;
    }
    StatusReading reading;
    reading.frequencyDigits = cat::FrequencyDigitsFromReply(reply);
    reading.frequency = cat::FrequencyFromDigits(reading.frequencyDigits);
    reading.modeCode = static_cast<std::uint8_t>(reply[4]);
    return reading;
}

bool SameFrequencyReply(const QByteArray& reply, cat::Frequency10Hz frequency, std::uint8_t modeCode)
{
    if (reply.size() != 5 || static_cast<std::uint8_t>(reply[4]) != modeCode)
        return false;
    cat::Frequency10Hz read = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<std::uint8_t>(reply[i]);
        if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
            return false;
        read = read * 100 + (byte >> 4) * 10 + (byte & 0x0F);
    }
    return read == frequency;
}

QString FormatFrequencyText(const QString& frequencyDigits, bool showDecimals)
{
    const QString digits = frequencyDigits.rightJustified(8, QLatin1Char('0'));
    QString text = digits.left(3) + QLatin1Char('.') + digits.mid(3, 3);
    if (showDecimals)
        text += QLatin1Char('.') + digits.mid(6, 2);
    for (int i = 0; i < 3 && text[i] == QLatin1Char('0'); ++i)
        text[i] = QLatin1Char(' ');
    return text;
}

QString NoFrequencyText(bool showDecimals)
{
    return showDecimals ? QStringLiteral("---.---.--") : QStringLiteral("---.---");
}
