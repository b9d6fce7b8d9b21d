#pragma once
// The program's messages with no window to show them in: one line each on
// standard error, where a terminal or the user's journal keeps them.

#include "user_messages.h"

#include <cstdio>

class StderrMessages final : public UserMessages {
public:
    void showPortNotAvailable(const QString& details) override
    {
        shown_ = true;
        Print(kPortNotAvailableMessage + (details.isEmpty() ? QString() : QLatin1Char(' ') + details));
    }
    void dismissPortNotAvailable() override
    {
        if (!shown_)
            return;
        shown_ = false;
        Print(QStringLiteral("The radio's port is open again."));
    }
    static void Print(const QString& line)
    {
        // One line, whatever the text holds, so a journal keeps it whole.
        QString flat = line;
        flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
        std::fprintf(stderr, "solvane: %s\n", qPrintable(flat));
        std::fflush(stderr);
    }

private:
    bool shown_ = false;
};
