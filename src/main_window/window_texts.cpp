#include "window_texts.h"

#include "cat_protocol.h"
#include "frequency_display.h"

namespace {

const QString kHowToStop = QStringLiteral(" Escape or Stop TX ends the transmission.");
const QString kAtTheRadio = QStringLiteral(" It is keyed at the radio: let go of its microphone or foot switch.");

} // namespace

QString RefusalText(Press press, bool transmitting, bool satellite, bool keyedAtRadio)
{
    if (!transmitting)
        return {};
    const QString& kHowToStop = keyedAtRadio ? kAtTheRadio : ::kHowToStop;
    if (press == Press::SatelliteSwitch)
        return QStringLiteral("Not while transmitting: satellite mode cannot be switched.") + kHowToStop;
    if (!satellite)
        return QStringLiteral("Not while transmitting: nothing may retune the transmitter.") + kHowToStop;
    if (press == Press::Jump)
        return QStringLiteral("Not while transmitting: a band or memory would leave satellite mode.") + kHowToStop;
    return {}; // the downlink may be retuned while the uplink transmits
}

QString TransmitStateText(bool transmitting, const QString& holder, bool keyedAtRadio)
{
    if (!transmitting)
        return QStringLiteral("Receiving");
    if (keyedAtRadio)
        return QStringLiteral("Transmitting, keyed at the radio");
    if (holder.isEmpty())
        return QStringLiteral("Transmitting");
    return QStringLiteral("Transmitting, keyed by %1").arg(holder);
}

QString SatelliteStateText(bool on)
{
    return on ? QStringLiteral("Satellite mode on: the big box shows the downlink, the box beside SAT the uplink.")
              : QStringLiteral("Satellite mode off");
}

QString UplinkText(const QString& frequencyDigits, std::optional<std::uint8_t> modeCode, bool showDecimals)
{
    if (frequencyDigits.isEmpty())
        return {};
    const QString frequency = QStringLiteral("↑ ") + FormatFrequencyText(frequencyDigits, showDecimals).trimmed();
    return modeCode ? frequency + QLatin1Char(' ') + cat::ModeText(*modeCode).trimmed() : frequency;
}

QString KeyingButtonCaption(bool keyingStopped)
{
    return keyingStopped ? QStringLiteral("Allow &TX") : QStringLiteral("Stop &TX");
}

QString KeyingButtonName(bool keyingStopped)
{
    return keyingStopped ? QStringLiteral("Allow transmitting") : QStringLiteral("Stop transmitting");
}

QString AssumedReadingsNotice()
{
    return QStringLiteral("This radio cannot be read ([Radio] Answers=false): the display shows what Solvane last "
                          "set, not what the radio reads, and there is no S-meter.");
}

QString AssumedReadingsCaption() { return QStringLiteral(" As set, not read from radio"); }

QString MeterUnavailableText(bool powerOut)
{
    return QStringLiteral("%1 not available: the radio cannot be read ([Radio] Answers=false)")
        .arg(powerOut ? QStringLiteral("Power out") : QStringLiteral("S-meter"));
}

QString AsLastSet(const QString& name) { return name + QStringLiteral(", as last set"); }
