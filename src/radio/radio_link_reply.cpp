// The radio link's side of a reply: the wait for it, the quiet gap that
// proves it whole, and the settle after a wait that ran out or was broken.

#include "radio_link.h"

#include <algorithm>
#include <utility>

namespace {

int CeilMs(qint64 us) { return int((us + 999) / 1000); }

} // namespace

void RadioLink::BreakWait()
{
    // A settle in progress is not cut short: the radio may still be talking.
    if (state_ == LineState::Waiting) {
        cutWait();
    } else if (state_ == LineState::Gap) {
        port_.fetchInput();
        if (state_ == LineState::Gap)
            finishExchange(current_.replyCount, true, SettleQuiet);
    }
}

bool RadioLink::mayReadOnce()
{
    if (onTimeRun_ < OnTimeReplies)
        return false;
    readsSinceCheck_ = (readsSinceCheck_ + 1) % CheckEvery;
    return readsSinceCheck_ != 0;
}

void RadioLink::beginWaiting(qint64 stillSendingUs)
{
    state_ = LineState::Waiting;
    const qint64 now = nowUs();
    waitEndsAtUs_ = now + stillSendingUs + qint64(ReplyTimeout) * 1000;
    if (waitBreaker_ && waitBreaker_()) {
        cutWait();
        return;
    }
    // The radio answers right after the command's last bit, its bytes back
    // to back; the reply's end is the gap after its last byte, rounded up to
    // the millisecond a timer counts. A stray byte would follow one
    // byte-time after the last: what is left of the gap beyond that is the
    // spare a reply read once may spend on being late.
    lastByteDueUs_ = now + stillSendingUs + LineTimeUs(current_.replyCount, lineSettings_);
    const int dueMs = CeilMs(lastByteDueUs_ - now + qint64(quietGapMs_) * 1000);
    onTimeLimitUs_ = (now + qint64(dueMs) * 1000 - lastByteDueUs_ - LineTimeUs(1, lineSettings_)) / 2;
    replyDue_ = true;
    deadline_.start(dueMs);
    checkReply(); // a port that signals each byte may have some already
}

void RadioLink::onReplyDue()
{
    if (readOnce_)
        port_.fetchInput();
    if (state_ != LineState::Waiting)
        return; // the port failed
    const qint64 have = port_.bytesAvailable();
    if (have == 0 && !queue_.empty() && queue_.front().urgent) {
        cutWait(); // overdue, and an urgent command waits for the line
        return;
    }
    if (readOnce_) {
        if (have > current_.replyCount) {
            // More than the reply can hold: a stray, duplicated or garbage
            // byte is in it somewhere, and the radio may still be talking.
            lineFaulted();
            finishExchange(0, true, quietGapMs_);
            return;
        }
        if (have == current_.replyCount) {
            finishExchange(current_.replyCount, false, 0);
            return;
        }
        // Late: from here on each byte is watched, and the gap is counted
        // from the last one.
        lineFaulted();
        readOnce_ = false;
        port_.setInputWatched(true);
    }
    deadline_.start(std::max(0, CeilMs(waitEndsAtUs_ - nowUs())));
}

void RadioLink::checkReply()
{
    switch (state_) {
    case LineState::Settling:
        port_.discardInput();
        if (settleClock_.elapsed() < SettleLimit)
            settleTimer_.start(settleQuietMs_);
        return;
    case LineState::Waiting:
        if (port_.bytesAvailable() > current_.replyCount) {
            lineFaulted();
            finishExchange(0, true, quietGapMs_);
        } else if (port_.bytesAvailable() == current_.replyCount) {
            lastByteLateUs_ = nowUs() - lastByteDueUs_;
            deadline_.stop();
            replyDue_ = false;
            state_ = LineState::Gap;
            gapTimer_.start(quietGapMs_);
        }
        return;
    case LineState::Gap:
        if (port_.bytesAvailable() > current_.replyCount) {
            lineFaulted();
            finishExchange(0, true, quietGapMs_);
        }
        return;
    case LineState::Idle:
        // The radio talks unasked (a very late answer, line noise): the
        // line must go quiet before the next command.
        if (port_.bytesAvailable() > 0) {
            lineFaulted();
            startSettling(quietGapMs_);
        }
        return;
    case LineState::Sending:
        return;
    }
}

void RadioLink::onGapOver()
{
    if (state_ != LineState::Gap)
        return;
    // A byte may have reached the driver without its readyRead yet.
    port_.fetchInput();
    if (state_ != LineState::Gap)
        return;
    if (port_.bytesAvailable() > current_.replyCount) {
        lineFaulted();
        finishExchange(0, true, quietGapMs_);
        return;
    }
    onTimeRun_ = lastByteLateUs_ <= onTimeLimitUs_ ? onTimeRun_ + 1 : 0;
    finishExchange(current_.replyCount, false, 0);
}

void RadioLink::cutWait()
{
    port_.fetchInput();
    if (state_ != LineState::Waiting)
        return;
    lateUntilUs_ = std::max(lateUntilUs_, waitEndsAtUs_);
    finishExchange(current_.replyCount, true, SettleQuiet);
}

void RadioLink::onDeadline()
{
    if (state_ == LineState::Waiting) {
        if (std::exchange(replyDue_, false)) {
            onReplyDue();
            return;
        }
        port_.fetchInput();
        if (state_ != LineState::Waiting)
            return;
        lineFaulted();
        finishExchange(current_.replyCount, true, SettleQuiet);
    } else if (state_ == LineState::Sending) {
        // The line is stuck: this command is given up, but its bytes may
        // still leave; the next one waits until they have.
        finishExchange(0, true, SettleQuiet);
    }
}

void RadioLink::startSettling(int quietMs)
{
    port_.discardInput();
    port_.setInputWatched(true); // every byte now restarts the quiet spell
    state_ = LineState::Settling;
    settleQuietMs_ = quietMs;
    settleClock_.start();
    settleTimer_.start(quietMs);
}

void RadioLink::endSettling()
{
    if (state_ != LineState::Settling)
        return;
    if ((port_.bytesToWrite() > 0 || port_.driverBytesToWrite() > 0) && settleClock_.elapsed() < SettleLimit) {
        settleTimer_.start(settleQuietMs_);
        return;
    }
    // After a wait cut short, the answer it would have waited for may come
    // until that wait's end: the line stays quiet that long and more.
    if (const qint64 leftUs = lateUntilUs_ + qint64(SettleQuiet) * 1000 - nowUs(); lateUntilUs_ > 0 && leftUs > 0) {
        settleTimer_.start(CeilMs(leftUs));
        return;
    }
    settleTimer_.stop();
    lateUntilUs_ = 0;
    port_.discardInput();
    state_ = LineState::Idle;
    pump();
}

void RadioLink::onIdleWatch()
{
    if (state_ == LineState::Idle && port_.isOpen())
        port_.setInputWatched(true);
}
