#pragma once
// The port message counted instead of shown, for tests.

#include "user_messages.h"

class CountingMessages final : public UserMessages {
public:
    int portMessages = 0;
    int dismissals = 0;
    QString lastDetails;
    void showPortNotAvailable(const QString& details) override
    {
        ++portMessages;
        lastDetails = details;
    }
    void dismissPortNotAvailable() override { ++dismissals; }
};
