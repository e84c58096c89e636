#!/usr/bin/python3
"""Finds a control of the Veltrane window by the name a screen reader reads
for it, and prints where it is on the screen: "X Y WIDTH HEIGHT". With
"focus", it is also given the keyboard focus; with "press", it is pressed as
a screen reader would, which needs no keyboard focus at all. With "text", the
text a screen reader reads in it follows on a line of its own, then whether
it has the keyboard focus ("focused" or "not focused"). Exits 1 if there is
no such control within 20 seconds.

usage: control.py NAME [focus|press|text]
"""
import sys
import time

import pyatspi


def find(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        for window in app or []:
            if window is None or window.name != "Veltrane":
                continue
            found = pyatspi.findDescendant(window, lambda node: node is not None and node.name == name)
            if found is not None:
                return found
    return None


name = sys.argv[1]
deadline = time.monotonic() + 20
control = find(name)
while control is None and time.monotonic() < deadline:
    time.sleep(0.2)
    control = find(name)
if control is None:
    print(f"no control named {name!r}", file=sys.stderr)
    sys.exit(1)
component = control.queryComponent()
if len(sys.argv) > 2 and sys.argv[2] == "focus" and not component.grabFocus():
    print(f"{name!r} took no focus", file=sys.stderr)
    sys.exit(1)
box = component.getExtents(pyatspi.DESKTOP_COORDS)
print(box.x, box.y, box.width, box.height, flush=True)
if len(sys.argv) > 2 and sys.argv[2] == "text":
    print(control.queryText().getText(0, -1))
    print("focused" if pyatspi.STATE_FOCUSED in control.getState().getStates() else "not focused", flush=True)
if len(sys.argv) > 2 and sys.argv[2] == "press" and not control.queryAction().doAction(0):
    print(f"{name!r} could not be pressed", file=sys.stderr)
    sys.exit(1)
