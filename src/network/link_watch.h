#pragma once
// A program on another computer whose link dies (a cable pulled, Wi-Fi
// gone, a laptop suspended) never closes its connection: only TCP itself
// can tell that the link is dead. Its connection gets keepalive probes and
// a bound on unacknowledged data, so a dead link ends the connection, and
// any transmission it holds, within kDeadLinkSeconds. A connection from
// this computer is closed by its kernel the moment its program goes, and
// is left as it is.
//
// Not an application-level silence timeout: fldigi never reads `t` and
// pauses its polling while it transmits, so a live holder can be silent.

#include <QHostAddress>

inline constexpr int kDeadLinkSeconds = 10;

// Whether a connection from `peer` gets the watch. Pure.
bool WatchesLink(const QHostAddress& peer);

// Sets the keepalive and user-timeout options on a connected TCP socket;
// false when the system refused one of them.
bool WatchLink(qintptr socketDescriptor);
