#pragma once
// What Solvane knows of one VFO: the last reading taken of it, and the last
// values set on it, each with its place in wire order, so that a read that
// follows a set answers the value set until a reading taken after it
// arrives. For a radio that cannot answer reads the reading is assumed:
// what was last set on the VFO, never read.

#include "cat_protocol.h"

#include <QElapsedTimer>
#include <QString>

struct VfoReading {
    bool have = false; // a frequency, and when read a mode with it
    cat::Frequency10Hz frequency = 0;
    QString digits; // the reply's eight digits, as the display shows them
    std::uint8_t mode = 0;
    bool haveMode = false;
    bool assumed = false; // what was last set, not read from the radio
    quint64 serial = 0; // the read's place in wire order
    QElapsedTimer clock;

    quint64 lastSetSerial = 0; // the last set that went to the line for this VFO
    cat::Frequency10Hz setFrequency = 0;
    quint64 setFrequencySerial = 0; // once it was on the line
    std::uint8_t setMode = 0;
    quint64 setModeSerial = 0;

    // Forgets the reading (the port changed, the radio switched VFOs); sets
    // since are kept out too.
    void Forget() { *this = VfoReading{}; }
    qint64 AgeMs() const { return have && clock.isValid() ? clock.elapsed() : -1; }
    // The reading was taken after the last set for this VFO; an assumed one
    // is that set itself once it is on the line.
    bool TakenAfterSets() const { return have && (assumed ? serial >= lastSetSerial : serial > lastSetSerial); }
    cat::Frequency10Hz ReportedFrequency() const { return setFrequencySerial > serial ? setFrequency : frequency; }
    std::uint8_t ReportedMode() const { return setModeSerial > serial ? setMode : mode; }
};
