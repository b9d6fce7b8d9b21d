#pragma once
// What the window's transmit and satellite lines say: the uplink readout,
// the transmitter's state, and why a press did nothing. Pure.

#include <QString>

#include <cstdint>
#include <optional>

// The controls that a keyed transmitter holds back. Tune: the sliders,
// keyboard tuning, ±1 MHz and the mode buttons; Jump: the band buttons and
// the memory channels, which also leave satellite mode; SatelliteSwitch:
// the satellite toggle.
enum class Press { Tune, Jump, SatelliteSwitch };

// Why `press` must do nothing now, for the notice line; empty when it may go.
// Keyed outside satellite mode nothing retunes the transmitter; keyed in
// satellite mode only the downlink may be retuned, and the mode not switched.
QString RefusalText(Press press, bool transmitting, bool satellite, bool keyedAtRadio = false);

// "Transmitting", with the program that keyed when there is one, or "Receiving".
QString TransmitStateText(bool transmitting, const QString& holder, bool keyedAtRadio = false);

QString SatelliteStateText(bool on);

// "↑ 145.900.00 USB": the uplink's reading in the display's dotted format;
// empty with no reading, and no mode word with no mode known.
QString UplinkText(const QString& frequencyDigits, std::optional<std::uint8_t> modeCode, bool showDecimals);

// The stop control's caption and spoken name: what pressing it does.
QString KeyingButtonCaption(bool keyingStopped);
QString KeyingButtonName(bool keyingStopped);

// A radio that cannot answer reads ([Radio] Answers=false): what the notice
// line says, the caption over the empty meter, and the meter's spoken name
// and tooltip (as the S-meter, or while transmitting as power out).
QString AssumedReadingsNotice();
QString AssumedReadingsCaption();
QString MeterUnavailableText(bool powerOut);
// The readouts' spoken names then: "Frequency, as last set".
QString AsLastSet(const QString& name);
