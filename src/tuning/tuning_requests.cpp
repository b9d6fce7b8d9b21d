#include "tuning_requests.h"

#include <algorithm>
#include <cstdint>

void TuningRequests::SliderMouseDown(TuningSlider slider, cat::Frequency10Hz currentFrequency,
                                     bool haveFrequency)
{
    dragBase_ = currentFrequency;
    dragBaseValid_ = haveFrequency;
    dragging_[index(slider)] = true;
}

void TuningRequests::SliderScroll(TuningSlider slider)
{
    // A move by keyboard or wheel while the mouse is not held asks for nothing.
    if (dragging_[index(slider)])
        pending_[index(slider)] = true;
}

void TuningRequests::SliderMouseUp(TuningSlider slider)
{
    pending_[index(slider)] = false;
    dragging_[index(slider)] = false;
}

void TuningRequests::SliderKeyStep(TuningSlider slider, int units)
{
    // Bounded so a held key can never overflow the sum.
    const int sum = keyUnits_[index(slider)] + units;
    keyUnits_[index(slider)] = std::clamp(sum, -kSliderCentre * 100, kSliderCentre * 100);
}

void TuningRequests::ApplyPendingTuning(cat::Frequency10Hz currentFrequency, bool haveFrequency,
                                        const std::array<int, 3>& sliderValues,
                                        const std::function<bool(cat::Frequency10Hz)>& encodeAndSend)
{
    if (!haveFrequency)
        return;
    if (!dragBaseValid_) {
        dragBase_ = currentFrequency;
        dragBaseValid_ = true;
    }

    for (int s = 0; s < 3; ++s) {
        if (!pending_[s])
            continue;
        // 64-bit so no slider value can overflow before the range test.
        const std::int64_t target = std::int64_t(sliderValues[s] - kSliderCentre) * kSliderSteps[s].step10Hz + dragBase_;
        if (target < INT32_MIN || target > INT32_MAX || !encodeAndSend(static_cast<cat::Frequency10Hz>(target)))
            return;
        pending_[s] = false;
    }
    for (int s = 0; s < 3; ++s) {
        if (keyUnits_[s] == 0)
            continue;
        // Past a range end the step is dropped: a held key must not leave a
        // request behind that blocks every later one.
        const std::int64_t target = std::int64_t(keyUnits_[s]) * kSliderSteps[s].step10Hz + currentFrequency;
        keyUnits_[s] = 0;
        if (target >= INT32_MIN && target <= INT32_MAX)
            encodeAndSend(static_cast<cat::Frequency10Hz>(target));
    }
    if (mhzUpPending_) {
        if (!encodeAndSend(currentFrequency + kOneMegahertz))
            return;
        mhzUpPending_ = false;
    }
    if (mhzDownPending_) {
        if (!encodeAndSend(currentFrequency - kOneMegahertz))
            return;
        mhzDownPending_ = false;
    }
}

void TuningRequests::Discard()
{
    pending_ = {};
    keyUnits_ = {};
    mhzUpPending_ = false;
    mhzDownPending_ = false;
}
