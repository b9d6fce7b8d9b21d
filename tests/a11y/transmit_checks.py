"""What a screen reader hears while a program keys the radio, read over the
AT-SPI bus. Orca speaks an object with the notification role when it is
shown, by the labels inside it; Solvane's notice line is such a
notification, shown once for each new text. A program keys and unkeys the
radio through Solvane's sharing server, as WSJT-X or fldigi would."""

import socket
import time

import pyatspi
from gi.repository import GLib

SHOWING = "object:state-changed:showing"


def run(rig_port, settle, check):
    """Keys and unkeys the radio; records each failure with check()."""
    heard = []  # the texts of the notifications shown, in order

    def on_showing(event):
        source = event.source
        if event.detail1 and source is not None and source.getRole() == pyatspi.ROLE_NOTIFICATION:
            heard.append(" ".join(c.name for c in source if c is not None and c.getRole() == pyatspi.ROLE_LABEL))

    def wait_for(seconds, prefix, start):
        """Delivers events until a text from `start` on begins with `prefix`."""
        context = GLib.MainContext.default()
        deadline = time.monotonic() + seconds
        while not any(t.startswith(prefix) for t in heard[start:]) and time.monotonic() < deadline:
            if not context.iteration(False):
                time.sleep(0.02)

    sock = socket.create_connection(("127.0.0.1", rig_port), timeout=settle)
    replies = sock.makefile("r")

    def ask(request):
        sock.sendall(request.encode() + b"\n")
        return replies.readline().strip()

    pyatspi.Registry.registerEventListener(on_showing, SHOWING)
    try:
        # Solvane sends state changes once it knows a listener wants them:
        # switch satellite mode until a notice is heard.
        for _ in range(5):
            ask("S 1 VFOB")
            ask("S 0 VFOA")
            wait_for(1, "Satellite mode off", 0)
            if heard:
                break
        if not check(heard, "no notification heard over AT-SPI"):
            return

        # One notice a change; the satellite notice after them marks the end
        # of what keying and unkeying could have caused.
        start = len(heard)
        check(ask("T 1") == "RPRT 0", "a program could not key the radio")
        wait_for(settle, "Transmitting", start)
        check(ask("T 0") == "RPRT 0", "a program could not unkey the radio")
        wait_for(settle, "Receiving", start)
        ask("S 1 VFOB")
        wait_for(settle, "Satellite mode on", start)
        ask("S 0 VFOA")
        told = heard[start:]
        told = told[:next((i for i, t in enumerate(told) if t.startswith("Satellite mode on")), len(told))]
        keyed = [t for t in told if t.startswith("Transmitting")]
        check(len(keyed) == 1 and keyed[0].startswith("Transmitting, keyed by 127.0.0.1:"),
              f"keying was not heard once as 'Transmitting, keyed by ...': heard {told}")
        check(told.count("Receiving") == 1 and told[-1] == "Receiving",
              f"unkeying was not heard once, after keying: heard {told}")
        print(f"heard {told} for keying and unkeying")
    finally:
        pyatspi.Registry.deregisterEventListener(on_showing, SHOWING)
        sock.close()
