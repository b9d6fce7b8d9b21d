// Slider and megahertz requests, carried out by the poll: targets, order,
// blocking at range ends, and nothing before the radio has been read.

#include "tuning_requests.h"

#include <QTest>

namespace {

struct Recorder {
    QList<int> sent;
    std::function<bool(cat::Frequency10Hz)> sender()
    {
        return [this](cat::Frequency10Hz f) {
            if (!cat::InTuningRange(f))
                return false;
            sent << f;
            return true;
        };
    }
};

constexpr std::array<int, 3> kCentred{50, 50, 50};

} // namespace

class TestTuning : public QObject {
    Q_OBJECT
private slots:
    void midSliderDrag()
    {
        TuningRequests t;
        Recorder r;
        t.SliderMouseDown(TuningSlider::Mid, 1420000, true);
        t.SliderScroll(TuningSlider::Mid);
        t.ApplyPendingTuning(1420000, true, {50, 53, 50}, r.sender());
        QCOMPARE(r.sent, QList<int>{1420030});
        // The radio now reads 1420030, but the drag is measured from the press.
        t.SliderScroll(TuningSlider::Mid);
        t.ApplyPendingTuning(1420030, true, {50, 47, 50}, r.sender());
        QCOMPARE(r.sent, (QList<int>{1420030, 1419970}));
        t.SliderMouseUp(TuningSlider::Mid);
        QVERIFY(!t.pending(TuningSlider::Mid));
        QVERIFY(!t.dragging(TuningSlider::Mid));
        t.ApplyPendingTuning(1419970, true, kCentred, r.sender());
        QCOMPARE(r.sent.size(), 2);
    }

    void sliderSteps()
    {
        TuningRequests t;
        Recorder r;
        t.SliderMouseDown(TuningSlider::Low, 1420000, true);
        t.SliderScroll(TuningSlider::Low);
        t.SliderMouseDown(TuningSlider::High, 1420000, true);
        t.SliderScroll(TuningSlider::High);
        t.ApplyPendingTuning(1420000, true, {100, 50, 0}, r.sender());
        QCOMPARE(r.sent, (QList<int>{1420050, 1415000}));
    }

    void keyboardMovesRequestNothing()
    {
        TuningRequests t;
        Recorder r;
        t.SliderScroll(TuningSlider::High);
        t.ApplyPendingTuning(1420000, true, {50, 50, 90}, r.sender());
        QVERIFY(r.sent.isEmpty());
    }

    void keyStepsTuneFromTheReading()
    {
        TuningRequests t;
        Recorder r;
        t.SliderKeyStep(TuningSlider::Mid, 1);  // Right: +100 Hz
        t.SliderKeyStep(TuningSlider::Mid, 1);  // pressed again before the pass
        t.SliderKeyStep(TuningSlider::Low, -10); // PageDown: -100 Hz
        QCOMPARE(t.pendingKeyUnits(TuningSlider::Mid), 2);
        t.ApplyPendingTuning(0, false, kCentred, r.sender());
        QVERIFY(r.sent.isEmpty()); // no reading yet: kept
        t.ApplyPendingTuning(1420000, true, kCentred, r.sender());
        QCOMPARE(r.sent, (QList<int>{1419990, 1420020}));
        QCOMPARE(t.pendingKeyUnits(TuningSlider::Mid), 0);
        // The next key counts from the reading of that later pass.
        t.SliderKeyStep(TuningSlider::High, 1);
        t.ApplyPendingTuning(1420020, true, kCentred, r.sender());
        QCOMPARE(r.sent.last(), 1420120);
    }

    void keyStepPastARangeEndIsDroppedNotKept()
    {
        TuningRequests t;
        Recorder r;
        t.SliderKeyStep(TuningSlider::High, -10); // 100 kHz - 100 kHz
        t.MhzUp();
        t.ApplyPendingTuning(10000, true, kCentred, r.sender());
        QCOMPARE(t.pendingKeyUnits(TuningSlider::High), 0);
        QCOMPARE(r.sent, QList<int>{110000}); // the later step still goes
    }

    void releaseCancelsUnsentRequest()
    {
        TuningRequests t;
        Recorder r;
        t.SliderMouseDown(TuningSlider::Low, 1420000, true);
        t.SliderScroll(TuningSlider::Low);
        t.SliderMouseUp(TuningSlider::Low);
        t.ApplyPendingTuning(1420000, true, {60, 50, 50}, r.sender());
        QVERIFY(r.sent.isEmpty());
    }

    void megahertzSteps()
    {
        TuningRequests t;
        Recorder r;
        t.MhzUp();
        t.MhzUp(); // a flag, not a counter
        t.ApplyPendingTuning(1420000, true, kCentred, r.sender());
        QCOMPARE(r.sent, QList<int>{1520000});
        t.ApplyPendingTuning(1520000, true, kCentred, r.sender());
        QCOMPARE(r.sent.size(), 1);
        t.MhzDown();
        t.ApplyPendingTuning(1520000, true, kCentred, r.sender());
        QCOMPARE(r.sent, (QList<int>{1520000, 1420000}));
    }

    void outOfRangeBlocksThePass()
    {
        TuningRequests t;
        Recorder r;
        t.MhzUp();
        t.MhzDown();
        // 75.5 MHz + 1 MHz = 76.5 MHz lies above the first range.
        t.ApplyPendingTuning(7550000, true, kCentred, r.sender());
        QVERIFY(r.sent.isEmpty());
        QVERIFY(t.mhzUpPending());
        QVERIFY(t.mhzDownPending());
        // Once the radio moves so the step lands in range, both go out.
        t.ApplyPendingTuning(7000000, true, kCentred, r.sender());
        QCOMPARE(r.sent, (QList<int>{7100000, 6900000}));
        QVERIFY(!t.mhzUpPending());
    }

    void blockedSliderStopsLaterRequests()
    {
        TuningRequests t;
        Recorder r;
        t.SliderMouseDown(TuningSlider::High, 12000, true); // 120 kHz
        t.SliderScroll(TuningSlider::High);
        t.MhzUp();
        t.ApplyPendingTuning(12000, true, {50, 50, 0}, r.sender()); // 120 - 50 kHz: below range
        QVERIFY(r.sent.isEmpty());
        QVERIFY(t.pending(TuningSlider::High));
        QVERIFY(t.mhzUpPending());
    }

    void nothingBeforeTheFirstReading()
    {
        TuningRequests t;
        Recorder r;
        t.MhzUp();
        t.SliderMouseDown(TuningSlider::Mid, 0, false);
        t.SliderScroll(TuningSlider::Mid);
        t.ApplyPendingTuning(0, false, {50, 53, 50}, r.sender());
        QVERIFY(r.sent.isEmpty());
        QVERIFY(t.mhzUpPending());
        // The first real frequency becomes the base of the drag and the step.
        t.ApplyPendingTuning(1420000, true, {50, 53, 50}, r.sender());
        QCOMPARE(r.sent, (QList<int>{1420030, 1520000}));
    }
};

QTEST_APPLESS_MAIN(TestTuning)
#include "test_tuning.moc"
