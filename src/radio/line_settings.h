#pragma once
// The serial line settings text, "baud,parity,data,stop" (for example
// "57600,N,8,1"), parsed strictly so a typo never reaches the port.

#include <QSerialPort>
#include <QString>

#include <optional>

struct LineSettings {
    qint32 baudRate = 57600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    bool operator==(const LineSettings&) const = default;
};

// A reply counts as whole once the line has stayed quiet this long after its
// last expected byte: about two byte-times (ten bits a byte) at the line
// rate, and never under 3 ms, where timer and pty wake-ups dominate.
inline constexpr int kQuietGapByteTimes = 2;
inline constexpr int kMinQuietGapMs = 3;
constexpr int QuietGapMs(qint32 baudRate)
{
    if (baudRate <= 0)
        return kMinQuietGapMs;
    const qint64 ms = (qint64(kQuietGapByteTimes) * 10 * 1000 + baudRate - 1) / baudRate;
    return ms < kMinQuietGapMs ? kMinQuietGapMs : int(ms);
}

// How long `bytes` take to leave the line, in microseconds rounded up: each
// byte is a start bit, its data bits, a parity bit unless N, and its stop
// bits (1.5 counts as such). Five bytes at 4800,N,8,1 take 10417 us.
qint64 LineTimeUs(qint64 bytes, const LineSettings& settings);

// Parity N, E, O, M or S (either case); data bits 5 to 8; stop bits 1, 1.5
// or 2; a positive baud rate. Blanks around the fields are allowed.
std::optional<LineSettings> ParseLineSettings(const QString& text);

// Port-number text read leniently as a number and rounded to 16 bits, the way
// the stored "Commport" value and the settings dialog give it; nothing when
// the value does not fit a 16-bit integer.
std::optional<qint16> ParsePortNumber(const QString& text);
