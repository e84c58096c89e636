# What the desktop and the file managers make of the installed files, read
# by their own libraries: GIO's list of programs (what "Open With Other
# Application" offers) and the launch of a desktop entry with a file, as
# Thunar's "Send To" launches its entries; and GNOME Files' extension, with
# Nautilus' own types. `veltrane` on PATH is a stand-in that writes its
# arguments into the FIFO named by VELTRANE_LAUNCHED.
# Usage: file_managers_check.py SHARE_DIR FILE   (with XDG_DATA_DIRS set)
import importlib.machinery
import os
import sys
import types

import gi

gi.require_version("Nautilus", "4.0")
from gi.repository import Gio, GObject, Nautilus  # noqa: E402

share, data = sys.argv[1], sys.argv[2]


def fail(message):
    sys.exit("FAIL: " + message)


def launched():
    with open(os.environ["VELTRANE_LAUNCHED"]) as fifo:
        return fifo.read().rstrip("\n")


entry = next((a for a in Gio.AppInfo.get_all() if a.get_id() == "org.veltrane.Veltrane.desktop"), None)
if not entry or not entry.should_show() or not entry.supports_files():
    fail("the desktop entry is not among the programs offered for any file")
sendto = Gio.DesktopAppInfo.new_from_filename(share + "/Thunar/sendto/org.veltrane.Veltrane.desktop")
for name, app in (("the desktop entry", entry), ("Thunar's Send To entry", sendto)):
    app.launch([Gio.File.new_for_path(data)], None)
    if launched() != data:
        fail(name + " does not start veltrane with the file")


class File(GObject.GObject, Nautilus.FileInfo):
    def __init__(self, location, directory=False):
        super().__init__()
        self.location, self.directory = location, directory

    def do_is_directory(self):
        return self.directory

    def do_get_uri_scheme(self):
        return self.location.get_uri_scheme()

    def do_get_location(self):
        return self.location


loader = importlib.machinery.SourceFileLoader("veltrane", share + "/nautilus-python/extensions/veltrane.py")
extension = types.ModuleType(loader.name)
loader.exec_module(extension)
menu = next(c for c in vars(extension).values() if isinstance(c, type) and issubclass(c, Nautilus.MenuProvider))()
one = File(Gio.File.new_for_path(data))
items = menu.get_file_items([one])
if [i.props.label for i in items] != ["Encrypt or decrypt with Veltrane"]:
    fail("GNOME Files' menu for one file: %s" % [i.props.label for i in items])
items[0].activate()
if launched() != data:
    fail("GNOME Files' menu item does not start veltrane with the file")
for files in ([one, File(Gio.File.new_for_path(data + "2"))], [File(Gio.File.new_for_path(share), True)],
              [File(Gio.File.new_for_uri("sftp://elsewhere/file"))]):
    if menu.get_file_items(files):
        fail("GNOME Files' menu offers Veltrane for several files, a folder or a remote file")
