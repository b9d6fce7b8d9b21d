#!/usr/bin/python3
"""Reads Solvane's window over the AT-SPI bus, as a screen reader does, and
checks what a reader would say: the window is a frame, every control has a
spoken name and the right role, the frequency box holds the display text,
the S-meter says its reading in S-units, decoration stays out of the tree,
the Decimals button tells its state after a press through AT-SPI, and with
--rig-port a reader hears the radio keyed and unkeyed (transmit_checks.py).

Exits 0 when all hold; prints every failed check otherwise."""

import argparse
import re
import sys
import time

import pyatspi

import transmit_checks

TEXT_ROLES = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY}
BUTTON = {pyatspi.ROLE_PUSH_BUTTON}

# Spoken name -> the roles a reader may find it with.
EXPECTED_CONTROLS = {
    "Frequency": TEXT_ROLES,
    "Mode": TEXT_ROLES,
    "S-meter": {pyatspi.ROLE_PROGRESS_BAR},
    "Fine tuning, 10 Hz steps, ±500 Hz": {pyatspi.ROLE_SLIDER},
    "Medium tuning, 100 Hz steps, ±5 kHz": {pyatspi.ROLE_SLIDER},
    "Coarse tuning, 1 kHz steps, ±50 kHz": {pyatspi.ROLE_SLIDER},
    "160 metres, 1.825 MHz, LSB": BUTTON,
    "20 metres, 14.2 MHz, USB": BUTTON,
    "70 centimetres, 433.425 MHz, FM": BUTTON,
    "LSB": BUTTON,
    "CW reverse": BUTTON,
    "Decimals on": BUTTON,
    "Exit": BUTTON,
    "Speak": BUTTON,
    "Stop transmitting": BUTTON,
    "Satellite mode": {pyatspi.ROLE_CHECK_BOX},
    "Uplink": TEXT_ROLES,
    "Transmitting": {pyatspi.ROLE_LABEL},
    "Notice": {pyatspi.ROLE_NOTIFICATION},
}

SCALE_CAPTION = re.compile(r"^[ .0-9+]+$")


def fresh(acc):
    """The client library caches names; read them as they are now."""
    try:
        acc.clearCache()
    except Exception:  # an older binding without it: the cache is short-lived
        pass
    return acc


def wait_until(seconds, probe, pause=0.2):
    """Returns probe()'s first true value, or its last value after `seconds`."""
    deadline = time.monotonic() + seconds
    value = probe()
    while not value and time.monotonic() < deadline:
        time.sleep(pause)
        value = probe()
    return value


def find_frame(app_name, seconds):
    def probe():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None or app.name != app_name:
                continue
            for child in app:
                if child is not None and child.name.startswith("Solvane"):
                    return child
        return None

    return wait_until(seconds, probe)


def text_of(acc):
    try:
        text = fresh(acc).queryText()
    except NotImplementedError:
        return None
    return text.getText(0, text.characterCount)


def dump(acc, depth=0, out=sys.stderr):
    """The tree under `acc`, one line a node, for a failure's report."""
    if acc is None or depth > 6:
        return
    fresh(acc)
    text = text_of(acc)
    extra = f" text={text!r}" if text else ""
    print(f"{'  ' * depth}{acc.getRoleName()} {acc.name!r} {acc.description!r}{extra}", file=out)
    for child in acc:
        dump(child, depth + 1, out)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--app", default="Solvane")
    parser.add_argument("--timeout", type=float, default=30, help="seconds to wait for the window")
    parser.add_argument("--settle", type=float, default=10, help="seconds to wait for each change")
    parser.add_argument("--expect-text", required=True, help="frequency box text, e.g. 21.074.00")
    parser.add_argument("--expect-smeter", required=True, help="S-meter description, e.g. S9+20")
    parser.add_argument("--rig-port", type=int, help="the sharing server's loopback port, to key the radio")
    args = parser.parse_args()
    failures = []

    def check(ok, message):
        if not ok:
            failures.append(message)
        return ok

    frame = find_frame(args.app, args.timeout)
    if frame is None:
        print(f"no window of {args.app} on the accessibility bus within {args.timeout} s", file=sys.stderr)
        return 1
    check(frame.getRole() == pyatspi.ROLE_FRAME, f"the window is a {frame.getRoleName()}, not a frame")

    children = [c for c in frame if c is not None]
    by_name = {}
    for child in children:
        name = fresh(child).name
        role = child.getRoleName()
        by_name.setdefault(name, child)
        check(name.strip() != "", f"a {role} without a name")
        check(not SCALE_CAPTION.match(name) or not name.strip(), f"a {role} read as numbers: {name!r}")
        check(child.getRole() != pyatspi.ROLE_FILLER, f"a filler in the window: {name!r}")
        label_text = text_of(child) if child.getRole() == pyatspi.ROLE_LABEL else None
        check(not (label_text and SCALE_CAPTION.match(label_text)), f"the scale is read out: {label_text!r}")

    for name, roles in EXPECTED_CONTROLS.items():
        acc = by_name.get(name)
        if check(acc is not None, f"no control named {name!r}; names: {sorted(by_name)}"):
            check(acc.getRole() in roles, f"{name!r} is a {acc.getRoleName()}")

    for name, acc in by_name.items():
        if acc.getRole() == pyatspi.ROLE_SLIDER:
            labels = [t for r in acc.getRelationSet() if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
                      for t in (r.getTarget(i) for i in range(r.getNTargets()))]
            check(labels, f"slider {name!r} has no label")

    freq = by_name.get("Frequency")
    meter = by_name.get("S-meter")
    decimals = by_name.get("Decimals on")
    if freq is not None:
        shown = wait_until(args.settle, lambda: text_of(freq))
        check(shown == args.expect_text, f"frequency text {shown!r}, display shows {args.expect_text!r}")
    if meter is not None:
        said = wait_until(args.settle, lambda: fresh(meter).description == args.expect_smeter and args.expect_smeter)
        check(said, f"S-meter description {fresh(meter).description!r}, expected {args.expect_smeter!r}")

    # A press through AT-SPI, as a reader's "activate" does.
    if decimals is not None and freq is not None:
        action = decimals.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if check("Press" in names, f"Decimals has no Press action: {names}"):
            action.doAction(names.index("Press"))
            renamed = wait_until(args.settle, lambda: fresh(decimals).name == "Decimals off")
            check(renamed, f"after a press Decimals is named {fresh(decimals).name!r}")
            short = args.expect_text.rsplit(".", 1)[0]
            shown = wait_until(args.settle, lambda: text_of(freq) == short)
            check(shown, f"after Decimals off the frequency reads {text_of(freq)!r}, expected {short!r}")

    if args.rig_port:
        transmit_checks.run(args.rig_port, args.settle, check)

    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    if failures:
        dump(frame.parent)
    if not failures:
        print(f"checked {len(children)} controls of {frame.name!r}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
