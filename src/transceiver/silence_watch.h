#pragma once
// Whether a silent radio is worth a word to the person. To a program a
// radio that is off, a cable that is loose, a wrong speed and an FT-847
// made before serial 8G05 (which never answers a read) all look the same,
// so once reads have been out for HintAfterMs in all since the port opened
// and not one byte has come back, the hint says what to check, once per
// opening. Only the time reads were on the line counts: a paused poll (the
// Settings dialog, speech, a server with no client) brings it no nearer.
// Pure.

#include <QString>

#include <algorithm>

class SilenceWatch {
public:
    static constexpr qint64 HintAfterMs = 10000;

    // A port opened: the count starts again, and the hint may be said again.
    void PortOpened()
    {
        outMs_ = 0;
        heard_ = false;
        said_ = false;
    }
    // Bytes came in, whole reply or not (garbled ones reach no reply).
    void Heard() { heard_ = true; }
    // A read ended `outMs` after it went out, with `bytes` bytes back (a
    // short reply counts: something answered). True when the hint is due now.
    bool ReadEnded(qint64 outMs, qsizetype bytes)
    {
        heard_ = heard_ || bytes > 0;
        if (heard_ || said_)
            return false;
        outMs_ += std::max<qint64>(outMs, 0);
        if (outMs_ < hintAfterMs_)
            return false;
        said_ = true;
        return true;
    }
    // For tests that cannot wait the whole time.
    void SetHintAfterMs(qint64 ms) { hintAfterMs_ = ms; }

private:
    qint64 hintAfterMs_ = HintAfterMs;
    qint64 outMs_ = 0;
    bool heard_ = false;
    bool said_ = false;
};

// What the person is told: what to check, and the setting for a radio that
// cannot answer at all.
inline QString SilenceHintText(const QString& device, const QString& lineSettings)
{
    return QStringLiteral("The radio on %1 has not answered one read in 10 s. Check the cable, the port, the speed "
                          "(%2) against the radio's CAT rate, and that the radio is switched on. An FT-847 made "
                          "before serial 8G05 cannot answer at all: set [Radio] Answers=false (Settings, "
                          "\"Radio answers\") and Solvane drives it by what it sets.")
        .arg(device, lineSettings);
}
