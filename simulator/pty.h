#pragma once
// A pseudo-terminal whose slave end a serial-port client opens.

#include <string>

struct Pty {
    int master = -1;
    int slave = -1; // held open so a client's close and reopen never hangs the pty up
    std::string path;
};

// Opens the pty with the slave in raw mode and the master non-blocking.
bool OpenPty(Pty& pty, std::string& error);
void ClosePty(Pty& pty);
