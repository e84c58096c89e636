#!/usr/bin/python3
"""Reads the window program's controls through AT-SPI, the program started
in German: its own names, a notice, and the toolkit's file chooser (whose
buttons are GTK's own words) must all be German. Prints each fault and
exits 1 if there was any.

usage: language_check.py (with the program running on the same
accessibility bus, in de_DE.UTF-8)
"""
import os
import sys
import tempfile
import time

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

NAMES = ["Nach der zu verschlüsselnden Datei suchen", "Nach der Schlüsseldatei suchen", "Verschlüsseln",
         "Entschlüsseln", "Zu verschlüsselnde Datei", "Schlüsseldatei", "Versatz"]


def wait_for(find, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    return None


def windows():
    return [window for app in pyatspi.Registry.getDesktop(0) if app is not None
            for window in app if window is not None]


def named(root, name):
    return pyatspi.findDescendant(root, lambda node: node is not None and node.name == name)


def press(node):
    # By the keyboard, as its user would (see accessibility_check.py).
    node.queryComponent().grabFocus()
    wait_for(lambda: pyatspi.STATE_FOCUSED in node.getState().getStates(), 10)
    Atspi.generate_keyboard_event(0x20, None, Atspi.KeySynthType.SYM)


faults = []
window = wait_for(lambda: next((w for w in windows() if w.name == "Veltrane"), None))
if window is None:
    print("the window never showed")
    sys.exit(1)
controls = {name: named(window, name) for name in NAMES}
faults += [f"no control is named {name!r}" for name, node in controls.items() if node is None]

if not faults:
    folder = tempfile.mkdtemp()
    data = os.path.join(folder, "fehlt.bin")
    controls["Schlüsseldatei"].queryEditableText().setTextContents(os.path.join(folder, "key"))
    controls["Zu verschlüsselnde Datei"].queryEditableText().setTextContents(data)
    press(controls["Verschlüsseln"])
    alert = wait_for(lambda: next((w for w in windows() if w.getRole() == pyatspi.ROLE_ALERT), None))
    if alert is None or (alert.name, alert.description) != ("Fehler beim Verschlüsseln der Datei.",
                                                            f"{data} wurde nicht gefunden."):
        faults.append(f"the notice reads {alert and (alert.name, alert.description)!r}")
    if alert is not None:
        Atspi.generate_keyboard_event(0xff0d, None, Atspi.KeySynthType.SYM)  # Return
        wait_for(lambda: not any(w.getRole() == pyatspi.ROLE_ALERT for w in windows()))

    press(controls["Nach der Schlüsseldatei suchen"])
    chooser = wait_for(lambda: next((w for w in windows() if w.getRole() == pyatspi.ROLE_FILE_CHOOSER or
                                     named(w, "Abbrechen") is not None), None))
    buttons = chooser and {node.name for node in pyatspi.findAllDescendants(
        chooser, lambda node: node is not None and node.getRole() == pyatspi.ROLE_PUSH_BUTTON)}
    if not buttons or not {"Abbrechen", "Öffnen"} <= buttons:
        faults.append(f"the file chooser's buttons read {buttons!r}")
    Atspi.generate_keyboard_event(0xff1b, None, Atspi.KeySynthType.SYM)  # Escape

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
