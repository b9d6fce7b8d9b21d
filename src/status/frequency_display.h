#pragma once
// What the status boxes show for a radio reply. Pure.

#include "cat_protocol.h"

#include <QByteArray>
#include <QString>

#include <optional>

struct StatusReading {
    QString frequencyDigits;              // eight digits, "01420000"
    cat::Frequency10Hz frequency = 0;     // 1420000
    std::uint8_t modeCode = 0;
};

// A whole read-frequency reply: exactly five bytes whose first four are BCD.
// Anything else (short, long, garbled) is no reading at all.
std::optional<StatusReading> DecodeFrequencyReply(const QByteArray& reply);

// True when the reply is whole and reads exactly this frequency and mode: a
// steady radio's reply, told apart without building its digits.
bool SameFrequencyReply(const QByteArray& reply, cat::Frequency10Hz frequency, std::uint8_t modeCode);

// "014.200.00" (or "014.200" without decimals) with leading zeros of the
// megahertz part turned into spaces: " 14.200.00".
QString FormatFrequencyText(const QString& frequencyDigits, bool showDecimals);

// Dashes in the same places ("---.---.--"): no frequency is known.
QString NoFrequencyText(bool showDecimals);

// The S-meter level in a receiver-status byte: its low five bits.
constexpr int SMeterLevel(std::uint8_t statusByte) { return statusByte & 0x1F; }
