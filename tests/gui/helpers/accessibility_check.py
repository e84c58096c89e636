#!/usr/bin/python3
"""Reads the window program's accessible tree through AT-SPI, as a screen
reader would, and checks that every control says what it is for; then
works the window as a screen reader's user would (a step of the offset, a
notice, a pass) and checks what each tells. Prints each fault and exits 1
if there was any.

usage: accessibility_check.py (with the program running on the same
accessibility bus)
"""
import os
import sys
import tempfile
import time

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

FIELDS = ["File to encrypt", "Key file", "Offset"]
BUTTONS = ["Browse for the file to encrypt", "Browse for the key file", "Encrypt", "Decrypt"]


def find_window():
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None:
                continue
            for window in app:
                if window is not None and window.name == "Veltrane":
                    return window
        time.sleep(0.2)
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def wait_for(condition, seconds=60):
    """Lets events arrive until the condition holds; False if it never did."""
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        while context.iteration(False):
            pass
        if condition():
            return True
        time.sleep(0.05)
    return False


def states(node):
    return set(node.getState().getStates())


def value(node):
    return node.queryValue().currentValue


def press(node):
    # By the keyboard, as its user would: a click action would run the
    # command, and a notice's modal loop, inside the bus's own call, which
    # then answers nothing until the box is closed.
    node.queryComponent().grabFocus()
    wait_for(lambda: pyatspi.STATE_FOCUSED in states(node), 10)
    Atspi.generate_keyboard_event(0x20, None, Atspi.KeySynthType.SYM)


def related(node, relation):
    return [target.name for rel in node.getRelationSet() if rel.getRelationType() == relation
            for target in (rel.getTarget(i) for i in range(rel.getNTargets()))]


window = find_window()
if window is None:
    print("no window named Veltrane on the accessibility bus")
    sys.exit(1)

nodes = list(walk(window))
faults = []
by_role = {}
for node in nodes:
    by_role.setdefault(node.getRoleName(), []).append(node)
    print(f"{node.getRoleName()}: {node.name!r} "
          f"label-for={related(node, pyatspi.RELATION_LABEL_FOR)} "
          f"labelled-by={related(node, pyatspi.RELATION_LABELLED_BY)}")

texts = {node.name: node for node in by_role.get("text", []) + by_role.get("spin button", [])}
labels = {node.name: node for node in by_role.get("label", [])}
for name in FIELDS:
    if name not in texts:
        faults.append(f"no text field named {name!r}")
        continue
    if related(texts[name], pyatspi.RELATION_LABELLED_BY) != [name]:
        faults.append(f"field {name!r} is not labelled by the label {name!r}")
    if name not in labels or related(labels[name], pyatspi.RELATION_LABEL_FOR) != [name]:
        faults.append(f"label {name!r} is not the label of the field {name!r}")
for node in by_role.get("label", []):
    for target in related(node, pyatspi.RELATION_LABEL_FOR):
        if target not in FIELDS:
            faults.append(f"label {node.name!r} claims to label {target!r}")

buttons = [node.name for node in by_role.get("push button", [])]
for name in BUTTONS:
    if name not in buttons:
        faults.append(f"no button named {name!r} (buttons: {buttons})")
if not any(node.name == "About Veltrane" for node in by_role.get("icon", []) +
           by_role.get("image", [])):
    faults.append("the icon has no name")

offset = next((node for node in nodes if node.name == "Offset" and
               node.getRole() == pyatspi.ROLE_SPIN_BUTTON), None)
progress = next((node for node in nodes if node.getRole() == pyatspi.ROLE_PROGRESS_BAR), None)
encrypt = next((node for node in by_role.get("push button", []) if node.name == "Encrypt"), None)
if offset is None:
    faults.append("the offset is no spin button")
else:
    values = offset.queryValue()
    if (values.minimumValue, values.maximumValue, values.currentValue) != (0, 255, 0):
        faults.append(f"the offset's range and value are {values.minimumValue}..."
                      f"{values.maximumValue}, {values.currentValue}")
if progress is None:
    faults.append("no progress bar for a pass")
elif pyatspi.STATE_SHOWING in states(progress):
    faults.append("a progress bar shows with no pass running")

events = []
listener = Atspi.EventListener.new(
    lambda event: events.append((event.type, event.source, event.detail1)))
for kind in ("object:property-change:accessible-value", "object:state-changed:sensitive"):
    listener.register(kind)

# The arrows can't be pointed at by a screen reader's user, who sets the
# offset by its value instead; the field shows it, and the change is told.
if offset is not None:
    offset.queryValue().currentValue = 1
    if not wait_for(lambda: value(offset) == 1 and offset.queryText().getText(0, -1) == "1", 10):
        faults.append(f"setting the value left the offset at {value(offset)}")
    if not wait_for(lambda: any(source == offset and "value" in kind
                                for kind, source, _ in events), 10):
        faults.append("a change of the offset was not announced")

fields = {node.name: node for node in by_role.get("text", [])}
folder = tempfile.mkdtemp()
data = os.path.join(folder, "data.bin")
key = os.path.join(folder, "key.bin")
with open(key, "wb") as out:
    out.write(b"key")
application = window.get_application()
if encrypt is not None and {"File to encrypt", "Key file"} <= fields.keys():
    # A notice: an alert that carries its caption and its text.
    fields["Key file"].queryEditableText().setTextContents(key)
    fields["File to encrypt"].queryEditableText().setTextContents(data)
    press(encrypt)
    alert = []
    wait_for(lambda: alert.extend(node for node in application
                                  if node is not None and node.getRole() == pyatspi.ROLE_ALERT)
             or alert, 20)
    if not alert:
        faults.append("a notice opened no alert: "
                      f"{[(node.getRoleName(), node.name) for node in application]}")
    else:
        box = alert[0]
        if (box.name, box.description) != ("Encrypt file error.", f"Cannot find {data}."):
            faults.append(f"the notice reads {box.name!r}, {box.description!r}")
        ok = pyatspi.findDescendant(box, lambda node: node is not None and node.name == "OK")
        press(ok)
        wait_for(lambda: not any(node is not None and node.getRole() == pyatspi.ROLE_ALERT
                                 for node in application), 20)

    # A pass: the progress bar follows it to 100, and what takes input
    # reads as unavailable until it ends.
    with open(data, "wb") as out:
        out.write(os.urandom(1 << 20) * 16)
    fields["File to encrypt"].queryEditableText().setTextContents(data)
    events.clear()
    press(encrypt)
    if not wait_for(lambda: fields["File to encrypt"].queryText().characterCount == 0, 120):
        faults.append("the pass did not end")
    # The news of the controls' return may come after the field's: the
    # registry hands events on in its own time.
    def sensitivity():
        return [detail for kind, source, detail in events if source == offset and "sensitive" in kind]
    wait_for(lambda: len(sensitivity()) >= 2, 20)
    dropped = sensitivity()
    if dropped != [0, 1]:
        faults.append(f"the offset's sensitivity went {dropped} during the pass, not [0, 1]")
    if not any(source == progress for _, source, _ in events):
        faults.append("the progress bar never changed during the pass")
    if value(progress) != progress.queryValue().maximumValue or pyatspi.STATE_SHOWING in states(progress):
        faults.append(f"after the pass the progress bar shows {value(progress)}")
    if pyatspi.STATE_SENSITIVE not in states(fields["Key file"]):
        faults.append("the key field stays unavailable after the pass")

# The About box, by F1: a dialog whose texts are read as it opens.
if encrypt is not None:
    encrypt.queryComponent().grabFocus()
    wait_for(lambda: pyatspi.STATE_FOCUSED in states(encrypt), 10)
    Atspi.generate_keyboard_event(0xffbe, None, Atspi.KeySynthType.SYM)  # F1
    about = []
    wait_for(lambda: about.extend(node for node in application if node is not None and
                                  node.name == "About Veltrane") or about, 20)
    if not about or about[0].getRole() != pyatspi.ROLE_DIALOG or \
            "WARNING!!!" not in about[0].description:
        faults.append(f"the About box reads {[(node.getRoleName(), node.description) for node in about]}")
    Atspi.generate_keyboard_event(0xff1b, None, Atspi.KeySynthType.SYM)  # Escape

for fault in faults:
    print("FAULT:", fault)
sys.exit(1 if faults else 0)
