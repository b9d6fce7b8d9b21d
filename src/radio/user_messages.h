#pragma once
#include <QString>

// The one message the program shows. Behind an interface so tests can count
// it without a modal box in the way.
inline const QString kPortNotAvailableMessage =
    QStringLiteral("COM Port not available. Change the CommPort to another port.");

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // `details` says which device the port number named and anything that
    // bears on it (a settings file that could not be read); may be empty.
    virtual void showPortNotAvailable(const QString& details) = 0;
    // The message no longer applies (the device came back): close it if shown.
    virtual void dismissPortNotAvailable() {}
};
