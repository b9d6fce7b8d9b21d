#pragma once
// What a screen reader says for the main window's controls, worked out from
// the same tables that lay the window out and drive the radio. Pure.

#include "band_table.h"
#include "tuning_requests.h"

#include <QString>

// The S-meter reading in S-units ("S0", "S5", "S9+20"): the highest mark of
// the scale label the bar has reached for a raw level of 0..31.
QString SMeterSpoken(int raw0to31);

// The power-out meter (0..31 while transmitting) as a share of its full
// scale: "65 %". The radio's meter is not calibrated in watts.
QString PowerOutSpoken(int raw0to31);

// The amateur band a frequency lies in ("160 metres", "70 centimetres"),
// empty outside the bands.
QString AmateurBandName(int kilohertz);

// "160 metres, 1.825 MHz, LSB" for the "1.8" button.
QString BandButtonName(const BandButton& band);

// A mode button's caption in words: "CW(R)" is "CW reverse".
QString ModeButtonName(const char* caption);

// "±500 Hz": how far a tuning slider reaches either side of its centre.
QString TuningReachText(TuningSlider slider);

// "Fine tuning, 10 Hz steps, ±500 Hz".
QString TuningSliderName(TuningSlider slider);
