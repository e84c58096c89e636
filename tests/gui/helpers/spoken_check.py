#!/usr/bin/python3
"""Runs the screen reader Orca beside the window program, its speech going
to its debug log and nowhere else, steps the offset, opens a notice and
runs a pass, and checks that Orca spoke the new offset, the notice's caption and text, and the pass's start
and end.
Prints each fault and exits 1 if there was any.

usage: spoken_check.py (with the program running on the same accessibility
bus and display, and a window manager, which gives the box the focus that
Orca follows)
"""
import os
import re
import subprocess
import sys
import tempfile
import time

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402


# A call into a program that doesn't answer fails after 10 s rather than
# the bus's 25.
Atspi.set_timeout(10000, 15000)
# Every wait ends by then, so that a check that can't succeed reports why
# well inside the test's own time limit.
END = time.monotonic() + 180


def until(seconds):
    return min(time.monotonic() + seconds, END)


def find(match, seconds=30):
    deadline = until(seconds)
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            for window in app or []:
                if window is not None and window.name == "Veltrane":
                    found = pyatspi.findDescendant(window, lambda node: node is not None and match(node))
                    if found is not None:
                        return found
        time.sleep(0.2)
    return None


def spoken(log):
    """What Orca said, one utterance a line, without the voice after it."""
    with open(log, errors="replace") as lines:
        said = (re.search(r"SPEECH OUTPUT: '(.*)' ?\{[^{}]*\}\s*$", line) for line in lines)
        return [match.group(1) for match in said if match]


def wait_spoken(log, text, seconds=30):
    deadline = until(seconds)
    while time.monotonic() < deadline:
        if any(text in line for line in spoken(log)):
            return True
        time.sleep(0.2)
    return False


def tail(log, lines=15):
    """The end of Orca's log, for a check that went wrong."""
    with open(log, errors="replace") as text:
        return "".join(text.readlines()[-lines:])


def press_by_keyboard(node):
    node.queryComponent().grabFocus()
    Atspi.generate_keyboard_event(0x20, None, Atspi.KeySynthType.SYM)


def start_orca():
    with open(log, "a") as out:
        # Orca's own speech server would wait for a sound device that isn't
        # there; without it, what it would say still goes to the log.
        return subprocess.Popen(["orca", "-u", folder, "-d", "speech", "--debug-file", log],
                                stdout=out, stderr=subprocess.STDOUT)


def follows_focus(seconds):
    """Moves the focus until Orca speaks the control it went to: until then
    it would miss the box."""
    deadline = until(seconds)
    while not any("Decrypt" in line for line in spoken(log)) and time.monotonic() < deadline:
        find(lambda node: node.name == "Decrypt").queryComponent().grabFocus()
        wait_spoken(log, "Decrypt", 2)
        find(lambda node: node.name == "Browse for the key file").queryComponent().grabFocus()
    return any("Decrypt" in line for line in spoken(log))


folder = tempfile.mkdtemp()
log = os.path.join(folder, "orca.log")
orca = start_orca()
faults = []
try:
    encrypt = find(lambda node: node.name == "Encrypt" and node.getRole() == pyatspi.ROLE_PUSH_BUTTON)
    file_field = find(lambda node: node.name == "File to encrypt" and node.getRole() == pyatspi.ROLE_TEXT)
    key_field = find(lambda node: node.name == "Key file" and node.getRole() == pyatspi.ROLE_TEXT)
    if not encrypt or not file_field or not key_field:
        sys.exit("FAULT: the window's controls were not found by their names")
    if not follows_focus(45):
        # Orca itself now and then never gets going on a loaded machine; a
        # user would start it again, and so does this check, once.
        print(f"Orca said nothing in 45 s, so it was started again; what it had logged: {tail(log)}")
        orca.kill()
        orca.wait()
        orca = start_orca()
        if not follows_focus(60):
            sys.exit(f"FAULT: Orca never followed the focus: {spoken(log)}\n{tail(log)}")
    # An arrow key in the offset field, heard before the screen reader's
    # press below opens a box, as its user would hear it; what Orca says of
    # it is checked at the end.
    offset = find(lambda node: node.name == "Offset" and node.getRole() == pyatspi.ROLE_SPIN_BUTTON)
    offset.queryComponent().grabFocus()
    find(lambda node: node.name == "Offset" and pyatspi.STATE_FOCUSED in node.getState().getStates())
    Atspi.generate_keyboard_event(0xff52, None, Atspi.KeySynthType.SYM)  # Up
    wait_spoken(log, "Offset 1 ", 10)
    data = os.path.join(folder, "data.bin")
    key = os.path.join(folder, "key.bin")
    with open(key, "wb") as out:
        out.write(b"key")
    key_field.queryEditableText().setTextContents(key)
    file_field.queryEditableText().setTextContents(data)
    # Pressed as the screen reader presses it: the box it opens must not
    # keep the reader from reading the box.
    if not encrypt.queryAction().doAction(0):
        faults.append("Encrypt could not be pressed by the screen reader")
    if not wait_spoken(log, "Encrypt file error.") or not wait_spoken(log, f"Cannot find {data}."):
        faults.append(f"the notice was not spoken whole: {spoken(log)}")
    Atspi.generate_keyboard_event(0xff0d, None, Atspi.KeySynthType.SYM)  # Return: OK
    with open(data, "wb") as out:
        out.write(bytes(1 << 20))
    deadline = time.monotonic() + 30
    while any(window is not None and window.getRole() == pyatspi.ROLE_ALERT
              for app in pyatspi.Registry.getDesktop(0) for window in app or []) \
            and time.monotonic() < deadline:
        time.sleep(0.2)  # the box takes the keyboard until it has gone
    file_field.queryEditableText().setTextContents(data)
    press_by_keyboard(encrypt)
    if not wait_spoken(log, "Working file data.bin "):
        faults.append(f"the pass's start was not spoken: {spoken(log)[-5:]}")
    if not wait_spoken(log, "100 percent"):
        faults.append(f"the pass's end was not spoken: {spoken(log)[-5:]}")
    said = spoken(log)
    before_notice = said[:said.index("alert Encrypt file error.")] if "alert Encrypt file error." in said else said
    if "1" not in before_notice:
        faults.append(f"the offset's step was not spoken: {before_notice}")
finally:
    orca.kill()
    orca.wait()

for fault in faults:
    print("FAULT:", fault)
if faults:
    print(tail(log))
sys.exit(1 if faults else 0)
