#pragma once
// Who may key the transmitter through the server, and for how long at most,
// from [Transmit]. Pure: the settings in, a plan and what to tell the user
// out. Keying is for this computer unless Allow names other addresses; a
// setting Solvane cannot read turns keying off for the run, never on.

#include "allowed_sources.h"
#include "settings_store.h"

struct TransmitPlan {
    static constexpr int kDefaultLimitS = 180;
    static constexpr int kMinLimitS = 10;
    static constexpr int kMaxLimitS = 3600;

    bool keying = true;
    int limitSeconds = kDefaultLimitS;
    AllowedSources allowed; // besides this computer; none unless [Transmit] Allow names some
    // Why keying is off although the user did not turn it off; names the setting.
    QString problem;

    // Whether a program at `source` may key the transmitter.
    bool MayKey(const QHostAddress& source) const;
};

TransmitPlan PlanTransmit(const TransmitChoice& choice);
