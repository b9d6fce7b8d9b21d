#pragma once
// The spring-loaded sliders and the megahertz steps only record requests;
// the poll carries them out after it has read the radio. Pure.

#include "cat_protocol.h"

#include <array>
#include <functional>

enum class TuningSlider { Low = 0, Mid = 1, High = 2 };

struct SliderStep {
    const char* caption;
    int step10Hz; // per slider unit
};

// The reach of each slider from its centre (50), in slider order.
inline constexpr std::array<SliderStep, 3> kSliderSteps{{
    {"+/- 50", 1},    // ±500 Hz
    {"+/- 5K", 10},   // ±5 kHz
    {"+/- 50K", 100}, // ±50 kHz
}};

inline constexpr int kSliderCentre = 50;
inline constexpr cat::Frequency10Hz kOneMegahertz = 100000;

class TuningRequests {
public:
    // `haveFrequency` false: no usable reading yet (none at all, or one taken
    // before the last command went out), so the base is taken from the first
    // usable frequency the radio reports.
    void SliderMouseDown(TuningSlider slider, cat::Frequency10Hz currentFrequency, bool haveFrequency);
    void SliderScroll(TuningSlider slider);
    void SliderMouseUp(TuningSlider slider);
    // A key on a focused slider: tune by `units` slider units from the
    // reading at the next pass. Keys pressed before that pass add up.
    void SliderKeyStep(TuningSlider slider, int units);
    void MhzUp() { mhzUpPending_ = true; }
    void MhzDown() { mhzDownPending_ = true; }

    // Sends the waiting requests in the order low, mid, high (drags, then
    // keys), +1 MHz, -1 MHz.
    // `encodeAndSend` returns false for an out-of-range target: that request
    // keeps its flag and the pass ends there. Until the radio has reported a
    // usable frequency (`haveFrequency` false) nothing is sent: a base of 0 would
    // mean "tune to 1 MHz" rather than "one megahertz up".
    void ApplyPendingTuning(cat::Frequency10Hz currentFrequency, bool haveFrequency,
                            const std::array<int, 3>& sliderValues,
                            const std::function<bool(cat::Frequency10Hz)>& encodeAndSend);

    // Forgets every waiting request (a drag in progress keeps its base).
    void Discard();

    bool dragging(TuningSlider s) const { return dragging_[index(s)]; }
    bool pending(TuningSlider s) const { return pending_[index(s)]; }
    int pendingKeyUnits(TuningSlider s) const { return keyUnits_[index(s)]; }
    bool mhzUpPending() const { return mhzUpPending_; }
    bool mhzDownPending() const { return mhzDownPending_; }
    cat::Frequency10Hz DragBaseFrequency() const { return dragBase_; }

private:
    static int index(TuningSlider s) { return static_cast<int>(s); }

    std::array<bool, 3> dragging_{};
    std::array<bool, 3> pending_{};
    std::array<int, 3> keyUnits_{};
    bool mhzUpPending_ = false;
    bool mhzDownPending_ = false;
    cat::Frequency10Hz dragBase_ = 0;
    // Captured before the first reading: re-based on the first real frequency.
    bool dragBaseValid_ = false;
};
