// The main window's tuning controls: the spring-loaded sliders by mouse and
// by key, the band and mode buttons and the megahertz steps. A keyed
// transmitter holds them back (window_texts.h says which and why).

#include "main_window.h"

#include "band_table.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSlider>

#include <algorithm>

namespace {

// Slider units a key asks for: arrows one, page keys ten. Home and End
// would throw the thumb to an end, so they tune nothing.
int keyUnits(int key)
{
    switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Up: return 1;
    case Qt::Key_Left:
    case Qt::Key_Down: return -1;
    case Qt::Key_PageUp: return 10;
    case Qt::Key_PageDown: return -10;
    default: return 0;
    }
}

bool isSliderKey(int key) { return keyUnits(key) != 0 || key == Qt::Key_Home || key == Qt::Key_End; }

} // namespace

bool MainWindow::sliderEvent(QSlider* slider, QEvent* event)
{
    const int s = int(std::find(sliders.begin(), sliders.end(), slider) - sliders.begin());
    if (s < 0 || s > 2)
        return false;
    const auto which = static_cast<TuningSlider>(s);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        if (refused(Press::Tune))
            return true; // the thumb does not move
        radio_.SliderMouseDown(which);
        return false;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            // Let the slider finish its own release first, then spring back.
            QMetaObject::invokeMethod(this, [this, slider, which] {
                radio_.SliderMouseUp(which);
                slider->setValue(kSliderCentre);
            }, Qt::QueuedConnection);
        }
        return false;
    case QEvent::KeyPress: {
        // Keys tune from the reading like a drag, and the thumb never
        // leaves the centre, so the next drag measures from there.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (!isSliderKey(key))
            return false;
        if (refused(Press::Tune))
            return true;
        if (const int units = keyUnits(key))
            radio_.SliderKeyStep(which, units);
        return true;
    }
    case QEvent::Wheel:
        return true; // a wheel would move the thumb off centre and send nothing
    default:
        return false;
    }
}

// The person's commands go out together, before any client's and with no
// read between them.
void MainWindow::Command1_Click(int Index)
{
    if (Index < 0 || Index >= int(kBandButtons.size()) || refused(Press::Jump))
        return;
    const BandButton& band = kBandButtons[Index];
    // A band is on the main VFO: satellite mode ends first (nothing goes
    // when it is off already).
    radio_.SetSatellite(false);
    radio_.SetFrequencyKhz(band.kilohertz); // every band spot is in range
    radio_.SetMode(band.modeCode);
}

void MainWindow::Command2_Click(int Index)
{
    if (Index >= 0 && Index < int(kModeButtons.size()) && !refused(Press::Tune))
        radio_.SetMode(kModeButtons[Index].modeCode);
}

void MainWindow::cmdMhzPlus_Click()
{
    if (!refused(Press::Tune))
        radio_.MhzUp();
}

void MainWindow::cmdMhzMinus_Click()
{
    if (!refused(Press::Tune))
        radio_.MhzDown();
}
