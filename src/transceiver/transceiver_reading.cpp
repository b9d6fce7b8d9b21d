// The Transceiver's readings: the poll's reads and their replies, what a
// client reads back after a set, and the tuning carried out from them.

#include "transceiver.h"

#include "frequency_display.h"

void Transceiver::read(radio::PollRead what)
{
    const bool txStatus = what == radio::PollRead::Meter
                       && radio::ReadsTransmitterStatus(turn_.Transmitting(), lastStatusWasTx_);
    if (what == radio::PollRead::Meter)
        lastStatusWasTx_ = txStatus;
    const cat::Opcode opcode = radio::ReadOpcode(what, txStatus);
    RadioLink::ReplyHandler handler;
    // serial_ + 1 is the number dispatch gives this read.
    const quint64 serial = serial_ + 1;
    switch (what) {
    case radio::PollRead::Main:
    case radio::PollRead::Downlink:
        handler = [this, serial](const QByteArray& reply) { takeFrequencyReply(radio::Vfo::Current, serial, reply); };
        break;
    case radio::PollRead::Uplink:
        handler = [this, serial](const QByteArray& reply) { takeFrequencyReply(radio::Vfo::Uplink, serial, reply); };
        break;
    case radio::PollRead::Meter:
        if (opcode == cat::ReadTxStatus) {
            handler = [this](const QByteArray& reply) {
                if (reply.size() == 1)
                    takeTransmitterStatus(static_cast<std::uint8_t>(reply[0]));
            };
        } else {
            handler = [this](const QByteArray& reply) {
                if (reply.size() != 1)
                    return;
                const auto status = static_cast<std::uint8_t>(reply[0]);
                meterClock_.start();
                rxStatusClock_.start();
                squelchOpen_ = cat::SquelchOpenIn(status);
                sMeterLevel_ = ::SMeterLevel(status);
                emit sMeterRead(sMeterLevel_);
            };
        }
        break;
    }
    // The read goes on the line at once (a turn is taken only with the line
    // free), so the time to its handler is the time it was out; a read that
    // never went (reads held) comes back at once and adds nothing.
    QElapsedTimer out;
    out.start();
    dispatch(RadioLink::Make(cat::MakeCommand(opcode), [this, out, handler = std::move(handler)](const QByteArray& reply) {
        if (silence_.ReadEnded(out.elapsed(), reply.size()))
            emit silenceHint(SilenceHintText(link_.Device(), settingsText_));
        handler(reply);
    }));
}

void Transceiver::takeTransmitterStatus(std::uint8_t status)
{
    meterClock_.start();
    txStatusClock_.start();
    const bool onAir = cat::TransmittingIn(status);
    powerOutLevel_ = onAir ? cat::PowerOutLevel(status) : 0;
    // Right after Solvane's own key or receive the radio may still report
    // the state before it: what it reports then is not news.
    if (!ownKeyChange_.isValid() || ownKeyChange_.elapsed() >= OwnKeySettleMs)
        applyTx(onAir ? radio::TxEvent::SeenTransmitting : radio::TxEvent::SeenReceiving);
    emit powerOutRead(powerOutLevel_);
}

void Transceiver::takeFrequencyReply(radio::Vfo vfo, quint64 serial, const QByteArray& reply)
{
    VfoReading& r = reading(vfo);
    bool changed = false;
    // A steady radio's reply is told apart without building its digits.
    if (!r.have || !r.haveMode || r.assumed || !SameFrequencyReply(reply, r.frequency, r.mode)) {
        const auto decoded = DecodeFrequencyReply(reply);
        if (!decoded)
            return; // short, long or garbled: the last reading stands
        changed = !r.have || decoded->frequencyDigits != r.digits || decoded->modeCode != r.mode;
        r.digits = decoded->frequencyDigits;
        r.frequency = decoded->frequency;
        r.mode = decoded->modeCode;
        r.have = true;
        r.haveMode = true;
        r.assumed = false;
    }
    r.serial = serial;
    r.clock.start();
    if (vfo == radio::Vfo::Uplink)
        emit uplinkRead(changed);
    else
        emit frequencyRead(changed);
}

void Transceiver::commitSet(const radio::Request& request, quint64 serial)
{
    // What a client reads back after its set: only a set that reached the
    // line, and only while it still describes the VFO it was sent to.
    VfoReading& r = reading(request.vfo);
    if (request.kind == radio::Request::Kind::SetFrequency) {
        r.setFrequency = request.value;
        r.setFrequencySerial = serial;
    } else {
        r.setMode = std::uint8_t(request.value);
        r.setModeSerial = serial;
    }
    if (!answers_)
        assumeReadings(serial);
}

void Transceiver::assumeReadings(quint64 serial)
{
    for (const radio::Vfo vfo : {radio::Vfo::Current, radio::Vfo::Uplink}) {
        const radio::SetValues values = lastSet_.Of(vfo, turn_.satellite);
        VfoReading& r = reading(vfo);
        const bool changed = !r.assumed || r.have != values.frequency.has_value()
                          || r.frequency != values.frequency.value_or(0) || r.haveMode != values.mode.has_value()
                          || r.mode != values.mode.value_or(0);
        r.assumed = true;
        r.have = values.frequency.has_value();
        r.frequency = values.frequency.value_or(0);
        r.digits = r.have ? QString::number(r.frequency).rightJustified(8, QLatin1Char('0')) : QString();
        r.haveMode = values.mode.has_value();
        r.mode = values.mode.value_or(0);
        r.serial = serial;
        r.clock.start();
        if (!changed)
            continue;
        if (vfo == radio::Vfo::Uplink)
            emit uplinkRead(true);
        else
            emit frequencyRead(true);
    }
}

void Transceiver::forgetReadings()
{
    ++readingsForgotten_;
    for (VfoReading& r : readings_)
        r.Forget();
    meterClock_.invalidate();
    rxStatusClock_.invalidate();
    txStatusClock_.invalidate();
    // What was set is all there is to know of a radio that cannot answer,
    // whatever port it is on.
    if (!answers_)
        assumeReadings(serial_);
}

void Transceiver::SetRadioAnswers(bool answers)
{
    if (answers == answers_)
        return;
    answers_ = answers;
    // The reads still to go in a round under way are not sent.
    if (roundRunning_ && !roundReads_.empty()) {
        roundReads_.clear();
        link_.Then([this] { finishRound(); });
    }
    // Without the transmitter's status nothing is known of a key at the radio.
    radio::TurnState after = turn_;
    after.keyedAtRadio = after.receiveTried = false;
    setTurn(after);
    sMeterLevel_ = powerOutLevel_ = 0;
    squelchOpen_ = false;
    forgetReadings();
}

void Transceiver::SetLastSet(const radio::LastSet& values)
{
    lastSet_ = values;
    if (!answers_)
        forgetReadings();
}

// --- Tuning -------------------------------------------------------------------------

void Transceiver::SliderMouseDown(TuningSlider slider)
{
    // A reading older than the last command is no base for a drag: the
    // first reading after it becomes the base instead.
    tuning_.SliderMouseDown(slider, CurrentFrequency(), readingCurrent());
}

void Transceiver::SliderMoved(TuningSlider slider, int value)
{
    sliderValues_[static_cast<int>(slider)] = value;
    tuning_.SliderScroll(slider);
}

void Transceiver::SliderMouseUp(TuningSlider slider) { tuning_.SliderMouseUp(slider); }

void Transceiver::SliderKeyStep(TuningSlider slider, int units) { tuning_.SliderKeyStep(slider, units); }

void Transceiver::ApplyPendingTuning()
{
    // Nothing retunes a transmitter: what was asked meanwhile is dropped,
    // not carried out the moment it unkeys.
    // Nor does a step from a frequency nobody set on a radio that cannot answer.
    if (TuningLocked() || (!answers_ && !HaveFrequency())) {
        tuning_.Discard();
        return;
    }
    // Requests measured from the reading wait until it was taken after the
    // last set went out; otherwise "7" then "+1 MHz" in one round would step
    // from the old band.
    tuning_.ApplyPendingTuning(CurrentFrequency(), readingCurrent(), sliderValues_,
                               [this](cat::Frequency10Hz target) { return SetFrequency(target); });
}
