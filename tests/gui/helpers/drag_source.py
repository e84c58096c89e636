#!/usr/bin/python3
"""A file drag source for drop tests: a small GTK 3 window at the screen's
top left that drags a text/uri-list (XDND) to a screen point, moved there
with xdotool as a user's mouse would, and prints how the drag ended:
"dropped" when the target took it, "refused" otherwise. The list is sent
byte for byte as given, as any program may write one.

usage: drag_source.py LIST X Y
"""
import os
import subprocess
import sys
import threading

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gdk, Gtk  # noqa: E402

uri_list, target_x, target_y = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
accepted = threading.Event()
outcome = "refused"


def xdotool(*args):
    subprocess.run(["timeout", "10", "xdotool", *map(str, args)], check=True)


def drag():
    xdotool("mousemove", "--sync", 30, 30)
    xdotool("mousedown", 1)
    # A few steps, so that the drag starts in the source and then crosses
    # into the target as a hand would move it.
    for step in range(1, 6):
        x = 30 + (target_x - 30) * step // 5
        y = 30 + (target_y - 30) * step // 5
        xdotool("mousemove", "--sync", x, y)
    # One step more on the spot: the target answers each position.
    xdotool("mousemove", "--sync", target_x + 1, target_y)
    xdotool("mousemove", "--sync", target_x, target_y)
    # Release once the target has said it takes the file; a target that
    # refuses says nothing to wait for, so it gets ample time to say yes.
    accepted.wait(8)
    xdotool("mouseup", 1)


def on_begin(widget, context):
    def changed(ctx, action):
        if action != 0:
            accepted.set()
    context.connect("action-changed", changed)


def on_get(widget, context, data, info, time):
    data.set(data.get_target(), 8, os.fsencode(uri_list))


def on_end(widget, context):
    GLib.timeout_add(100, Gtk.main_quit)


def on_failed(widget, context, result):
    return False


def on_finished(context):
    global outcome
    outcome = "dropped"


def on_map(widget, event):
    threading.Thread(target=drag, daemon=True).start()
    return False


window = Gtk.Window(type=Gtk.WindowType.POPUP)
window.move(0, 0)
window.set_default_size(60, 60)
box = Gtk.EventBox()
box.add(Gtk.Label(label="file"))
window.add(box)
box.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
box.drag_source_add_uri_targets()
box.connect("drag-begin", lambda w, c: (on_begin(w, c), c.connect("dnd-finished", on_finished)))
box.connect("drag-data-get", on_get)
box.connect("drag-end", on_end)
box.connect("drag-failed", on_failed)
window.connect("map-event", on_map)
window.show_all()
GLib.timeout_add(30000, Gtk.main_quit)
Gtk.main()
print(outcome)
