#pragma once
#include <QString>

// The one message the program shows. Behind an interface so tests can count
// it without a modal box in the way.
inline const QString kPortNotAvailableMessage =
    QStringLiteral("COM Port not available. Change the CommPort to another port.");

class UserMessages {
public:
    virtual ~UserMessages() = default;
    virtual void showPortNotAvailable() = 0;
};
