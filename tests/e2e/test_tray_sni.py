#!/usr/bin/env python3
"""The tray icon on a desktop whose panel speaks StatusNotifierItem over D-Bus instead of
docking XEmbed icons: a private session bus, the watcher and host of sni_host.py, no trayer.

Usage: test_tray_sni.py PATH/TO/tarvokelmora [unittest arguments]

The test plays the panel: it reads the item the program registers, activates it (the window
slides out and back in), asks for its context menu and reads and clicks the menu the item
exports, as a panel shows it.
"""

import os
import subprocess
import sys
import time

from e2e_support import TITLE, DesktopTestCase, main, require, wait_for, wait_for_window

HERE = os.path.dirname(os.path.abspath(__file__))
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"


def import_dbus():
    try:
        import dbus  # Debian's python3-dbus
        return dbus
    except ImportError:
        require(False, "not installed: python3-dbus")


class SniTrayTest(DesktopTestCase):
    DESKTOP_ARGS = dict(bus=True)

    def setUp(self):
        self.dbus = import_dbus()
        super().setUp()
        self.desk.spawn(["/usr/bin/python3", os.path.join(HERE, "sni_host.py")], "host")
        wait_for(lambda: "ready" in self.desk.log("host"), what="the watcher",
                 detail=lambda: self.desk.log("host"))
        self.bus = self.dbus.bus.BusConnection(self.desk.env["DBUS_SESSION_BUS_ADDRESS"])
        self.addCleanup(self.bus.close)
        history = os.path.join(self.desk.tmp, "history.ini")
        self.program = self.desk.spawn([self.PROGRAM, "--history", history], "program")
        line = wait_for(self.registration, what="the item's registration",
                        detail=lambda: self.desk.log("program") + self.desk.log("host"))
        _, self.service, self.path = line.split()
        wait_for_window(self.desk, self.program)

    def registration(self):
        lines = [l for l in self.desk.log("host").splitlines() if l.startswith("registered ")]
        return lines[0] if lines else None

    def item(self, interface=ITEM, path=None):
        return self.dbus.Interface(self.bus.get_object(self.service, path or self.path), interface)

    def prop(self, name):
        return self.item("org.freedesktop.DBus.Properties").Get(ITEM, name)

    def place(self):
        """Where the shown main window is, as (x, y), or None."""
        for wid in self.desk.search_title(TITLE):
            info = self.desk.info(wid)
            if info is not None and info.mapped:
                return info.x, info.y
        return None

    def settled_place(self):
        # Placed once the window manager has framed it: the same place twice in a row.
        first = self.place()
        time.sleep(0.2)
        return first if first is not None and self.place() == first else None

    def mapped_popups(self):
        """The program's override-redirect windows on screen: menus and tool tips."""
        found = []
        for wid, node in self.desk.tree().items():
            if node["parent"] is None and node["class"] == "TarvoKelmora":
                w = self.desk.info(wid)
                if w is not None and w.mapped and w.override_redirect:
                    found.append(wid)
        return found

    def shown(self):
        return bool(self.desk.search_title(TITLE))

    def hidden(self):
        # Unmapped by the program at the end of a slide; a search while the window manager
        # moves the window can come back empty, so emptiness alone is not taken as hidden.
        windows = self.desk.search_title(TITLE, visible=False)
        infos = [self.desk.info(wid) for wid in windows]
        return bool(infos) and all(i is not None and not i.mapped for i in infos)

    def menu_items(self):
        """The exported menu's visible entries as (id, label), in order."""
        menu = self.item(MENU, self.prop("Menu"))
        _revision, (_id, _props, children) = menu.GetLayout(0, -1, ["label", "visible", "type"])
        items = []
        for child in children:
            cid, props, _ = child
            if props.get("type") == "separator" or not props.get("visible", True):
                continue
            items.append((int(cid), str(props.get("label", ""))))
        return menu, items

    def test_item_activate_and_menu(self):
        self.assertEqual(str(self.prop("Status")), "Active")
        tooltip = self.prop("ToolTip")
        self.assertIn("TarvoKelmora", str(tooltip[2]) + str(self.prop("Title")))
        self.assertNotIn("没有找到系统托盘", self.desk.log("program"))
        place = wait_for(self.settled_place, what="the window in its start place")

        # A left click on the icon, as the panel reports it: out, then back to the same place.
        self.item().Activate(0, 0)
        wait_for(self.hidden, what="the window to slide out")
        self.item().Activate(0, 0)
        wait_for(self.shown, what="the window to slide back in")
        # At rest in the lower right again (its rest place follows the slide's steps).
        back = wait_for(self.settled_place, what="the window at rest again")
        self.assertLess(abs(back[0] - place[0]), 30, (back, place))
        self.assertLess(abs(back[1] - place[1]), 30, (back, place))

        # The context menu, asked of the item: it opens where the panel says.
        before = set(self.mapped_popups())
        self.item().ContextMenu(600, 20)
        opened = wait_for(lambda: set(self.mapped_popups()) - before, what="the context menu")
        menu_window = max((self.desk.info(w) for w in opened), key=lambda w: w.height)
        self.assertGreater(menu_window.height, 30, "two entries")
        self.desk.xdotool("key", "Escape")
        wait_for(lambda: not set(self.mapped_popups()) - before, what="the menu to close")
        # A panel that shows the exported menu itself reads the same entries.
        menu, items = self.menu_items()
        labels = [label for _, label in items]
        self.assertEqual(len(items), 2, labels)
        self.assertTrue(labels[0].startswith("隐藏"), labels)
        self.assertTrue(labels[1].startswith("退出"), labels)
        # Chosen there, 隐藏 hides the window and the entry then reads 打开.
        menu.Event(items[0][0], "clicked", self.dbus.Int32(0, variant_level=1), self.dbus.UInt32(0))
        wait_for(self.hidden, what="the window to hide from the menu")
        wait_for(lambda: self.menu_items()[1][0][1].startswith("打开"), what="the entry 打开")
        self.assertIsNone(self.program.poll())

        # The item goes with the program.
        result = subprocess.run([self.PROGRAM, "--history", os.path.join(self.desk.tmp, "history.ini"),
                                 "--quit"], env=self.desk.env, capture_output=True, text=True,
                                timeout=90)
        self.assertEqual(result.returncode, 0, result.stderr)
        wait_for(lambda: "unregistered" in self.desk.log("host"), what="the item to leave")


if __name__ == "__main__":
    sys.exit(main(__doc__))
