#!/usr/bin/python3
"""Reads the window program's accessible tree through AT-SPI, as a screen
reader would, and checks that every control says what it is for. Prints
each fault and exits 1 if there was any.

usage: accessibility_check.py (with the program running on the same
accessibility bus)
"""
import sys
import time

import pyatspi

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

texts = {node.name: node for node in by_role.get("text", [])}
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
if not any(node.name == "Offset up and down" for node in nodes):
    faults.append("the offset arrows have no name")
if not any(node.name == "About Veltrane" for node in by_role.get("icon", []) +
           by_role.get("image", [])):
    faults.append("the icon has no name")

for fault in faults:
    print("FAULT:", fault)
sys.exit(1 if faults else 0)
