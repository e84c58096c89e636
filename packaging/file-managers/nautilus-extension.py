# GNOME Files (Nautilus) reads no action files, and its scripts folder is
# each user's own; what a package can give every user is an extension, which
# python3-nautilus loads from /usr/share/nautilus-python/extensions. This one
# puts on a file's context menu what Thunar, Nemo and Dolphin have from their
# action files: one local file, handed to the window program.
import gettext

from gi.repository import GLib, GObject, Nautilus

# The words in the user's language, from the program's own catalogue.
_ = gettext.translation("veltrane", fallback=True).gettext


class VeltraneMenu(GObject.GObject, Nautilus.MenuProvider):
    # Older nautilus-python passes the window before the files.
    def get_file_items(self, *arguments):
        files = arguments[-1]
        if len(files) != 1 or files[0].is_directory() or files[0].get_uri_scheme() != "file":
            return []
        path = files[0].get_location().get_path()
        item = Nautilus.MenuItem(
            name="Veltrane::EncryptOrDecrypt",
            label=_("Encrypt or decrypt with Veltrane"),
            tip=_("Open the file in Veltrane, ready for its key file"),
            icon="org.veltrane.Veltrane",
        )
        item.connect("activate", lambda _item: GLib.spawn_async(["veltrane", path], flags=GLib.SpawnFlags.SEARCH_PATH))
        return [item]
