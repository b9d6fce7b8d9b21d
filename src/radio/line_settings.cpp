#include "line_settings.h"

#include <QStringList>

#include <cmath>
#include <limits>

qint64 LineTimeUs(qint64 bytes, const LineSettings& settings)
{
    if (bytes <= 0 || settings.baudRate <= 0)
        return 0;
    // Counted in half bits so that 1.5 stop bits stay exact.
    qint64 halfBits = 2 * (1 + qint64(settings.dataBits));
    if (settings.parity != QSerialPort::NoParity)
        halfBits += 2;
    switch (settings.stopBits) {
    case QSerialPort::OneAndHalfStop: halfBits += 3; break;
    case QSerialPort::TwoStop: halfBits += 4; break;
    default: halfBits += 2; break;
    }
    const qint64 numerator = bytes * halfBits * 1'000'000;
    const qint64 denominator = 2 * qint64(settings.baudRate);
    return (numerator + denominator - 1) / denominator;
}

std::optional<LineSettings> ParseLineSettings(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;

    LineSettings settings;
    bool ok = false;
    const QString baud = fields[0].trimmed();
    settings.baudRate = baud.toInt(&ok);
    if (!ok || settings.baudRate <= 0 || baud.startsWith(QLatin1Char('+')))
        return std::nullopt;

    const QString parity = fields[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        settings.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("E"))
        settings.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("O"))
        settings.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("M"))
        settings.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("S"))
        settings.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const QString data = fields[2].trimmed();
    if (data == QLatin1String("5"))
        settings.dataBits = QSerialPort::Data5;
    else if (data == QLatin1String("6"))
        settings.dataBits = QSerialPort::Data6;
    else if (data == QLatin1String("7"))
        settings.dataBits = QSerialPort::Data7;
    else if (data == QLatin1String("8"))
        settings.dataBits = QSerialPort::Data8;
    else
        return std::nullopt;

    const QString stop = fields[3].trimmed();
    if (stop == QLatin1String("1"))
        settings.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        settings.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        settings.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;

    return settings;
}

std::optional<qint16> ParsePortNumber(const QString& text)
{
    // Lenient: leading blanks, then the leading number ("3", " 3", "3.4", "3 COM").
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == QLatin1Char('+') || t[end] == QLatin1Char('-')))
        ++end;
    while (end < t.size() && t[end].isDigit() && t[end].unicode() < 128)
        ++end;
    if (end < t.size() && t[end] == QLatin1Char('.')) {
        ++end;
        while (end < t.size() && t[end].isDigit() && t[end].unicode() < 128)
            ++end;
    }
    bool ok = false;
    const double value = t.left(end).toDouble(&ok);
    if (!ok)
        return qint16(0); // text that does not start with a number reads as 0
    const double rounded = std::nearbyint(value); // halves to even
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(rounded);
}
