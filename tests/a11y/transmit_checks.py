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


class RigClient:
    """A rig-control program on the sharing server's loopback port."""

    def __init__(self, port, seconds):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=seconds)
        self.buffer = b""

    def ask(self, request):
        """Sends one request line; its one reply line, or None."""
        self.sock.sendall(request.encode() + b"\n")
        try:
            while b"\n" not in self.buffer:
                chunk = self.sock.recv(4096)
                if not chunk:
                    return None
                self.buffer += chunk
        except socket.timeout:
            return None
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode()

    def close(self):
        self.sock.close()


class NoticeListener:
    """The texts of every notification shown, in the order they were shown."""

    def __init__(self):
        self.heard = []
        pyatspi.Registry.registerEventListener(self._on_showing, SHOWING)

    def _on_showing(self, event):
        source = event.source
        if not event.detail1 or source is None or source.getRole() != pyatspi.ROLE_NOTIFICATION:
            return
        labels = [child.name for child in source if child is not None and child.getRole() == pyatspi.ROLE_LABEL]
        self.heard.append(" ".join(labels))

    def wait_for(self, seconds, probe):
        """Delivers events until probe() holds, at most `seconds`."""
        context = GLib.MainContext.default()
        deadline = time.monotonic() + seconds
        while not probe() and time.monotonic() < deadline:
            if not context.iteration(False):
                time.sleep(0.02)
        return probe()

    def heard_since(self, start, prefix):
        return [text for text in self.heard[start:] if text.startswith(prefix)]

    def close(self):
        pyatspi.Registry.deregisterEventListener(self._on_showing, SHOWING)


def run(rig_port, settle, check):
    """Keys and unkeys the radio; records each failure with check()."""
    listener = NoticeListener()
    client = RigClient(rig_port, settle)
    try:
        # Solvane sends state changes once it knows a listener wants them:
        # switch satellite mode until a notice is heard.
        start = len(listener.heard)
        for on in [1, 0] * 5:
            client.ask(f"S {on} {'VFOB' if on else 'VFOA'}")
            if listener.wait_for(1, lambda: len(listener.heard) > start):
                break
        client.ask("S 0 VFOA")
        listener.wait_for(settle, lambda: listener.heard_since(start, "Satellite mode off"))
        if not check(listener.heard[start:], f"no notification heard over AT-SPI; heard {listener.heard}"):
            return

        # One notice a change: keyed, then receiving; the satellite notice
        # after them marks the end of what they could have caused.
        start = len(listener.heard)
        check(client.ask("T 1") == "RPRT 0", "a program could not key the radio")
        listener.wait_for(settle, lambda: listener.heard_since(start, "Transmitting"))
        check(client.ask("T 0") == "RPRT 0", "a program could not unkey the radio")
        listener.wait_for(settle, lambda: listener.heard_since(start, "Receiving"))
        client.ask("S 1 VFOB")
        listener.wait_for(settle, lambda: listener.heard_since(start, "Satellite mode on"))
        client.ask("S 0 VFOA")
        heard = listener.heard[start:]
        end = next((i for i, text in enumerate(heard) if text.startswith("Satellite mode on")), len(heard))
        heard = heard[:end]
        keyed = [text for text in heard if text.startswith("Transmitting")]
        check(len(keyed) == 1 and keyed[0].startswith("Transmitting, keyed by 127.0.0.1:"),
              f"keying was heard as {keyed}, not once as 'Transmitting, keyed by ...'; heard {heard}")
        check(heard.count("Receiving") == 1, f"unkeying was heard {heard.count('Receiving')} times; heard {heard}")
        if keyed and "Receiving" in heard:
            check(heard.index(keyed[0]) < heard.index("Receiving"), f"'Receiving' came before 'Transmitting': {heard}")

        print(f"heard {len(listener.heard)} notices, the last: {listener.heard[-1]!r}")
    finally:
        client.close()
        listener.close()
