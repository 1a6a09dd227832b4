#!/usr/bin/env python3
"""The history where the desktop searches: GNOME Shell's search provider and KRunner's runner,
called over a private session bus as the shell and KRunner call them, against the real program.

Usage: test_desktop_search.py PATH/TO/tarvokelmora [unittest arguments]

One private X desktop with a tray and a session bus, and the launch test's recording default
application. The running program answers searches by shown text and pinyin and opens a result
as a click in 全部 does; with no program running, the bus starts it from the installed service
file, in the tray, without a window, and it answers the same call.
"""

import os
import shutil
import time

import dbus

from e2e_support import TITLE, DesktopTestCase, main, require_tools, wait_for
from e2e_tools import tray_icons
import test_launch
from test_launch import PAGE_WEB, RECORD_ENV, LaunchDesktop, seed_ini

BUS_NAME = "org.tarvokelmora.SearchProvider"
SHELL = ("/org/tarvokelmora/SearchProvider", "org.gnome.Shell.SearchProvider2")
RUNNER = ("/org/tarvokelmora/KRunner", "org.kde.krunner1")
FOLDERS = ("我的文档", "下载")
PAGE = "http://mailto:x@evil.example/p"
KRUNNER_PLUGIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources",
                              "desktop", "tarvokelmora-krunner.desktop")


class DesktopSearchTest(DesktopTestCase):
    DESKTOP = LaunchDesktop
    DESKTOP_ARGS = {"tray": True}
    SCOPE = "case"  # a bus of its own each: the program the bus started keeps its name
    calls = test_launch.LaunchTest.calls
    wait_calls = test_launch.LaunchTest.wait_calls
    failure = test_launch.LaunchTest.failure

    def setUp(self):
        super().setUp()
        self.desk.setup_default_applications()
        self.run_dir = os.path.join(self.desk.tmp, "case-%s" % self._testMethodName)
        os.makedirs(self.run_dir)
        self.record = os.path.join(self.run_dir, "record")
        self.desk.env[RECORD_ENV] = self.record
        self.log_name = "program"
        self.folders = [os.path.join(self.desk.home, name) for name in FOLDERS]
        for folder in self.folders:
            os.makedirs(folder, exist_ok=True)
        self.docs = [(PAGE, PAGE, 1)] + [("file://" + f, f, 3) for f in self.folders]

    def proxy(self, object_path, interface):
        bus = dbus.bus.BusConnection(self.desk.env["DBUS_SESSION_BUS_ADDRESS"])
        self.addCleanup(bus.close)
        return dbus.Interface(bus.get_object(BUS_NAME, object_path), interface)

    def test_the_shell_and_krunner_find_entries_and_open_them_as_a_click_does(self):
        self.launch(ini=seed_ini(PAGE_WEB, self.docs), folder=os.path.join(self.run_dir, "app"))
        # The program takes its name once its window is on screen, not before.
        wait_for(self.provider_on_bus, what="the search provider's name on the bus")
        shell = self.proxy(*SHELL)
        found = wait_for(lambda: [str(i) for i in shell.GetInitialResultSet(["wdwd"])],
                         what="the search provider")
        self.assertEqual(found, ["file://" + self.folders[0]], "pinyin initials of 我的文档")
        metas = shell.GetResultMetas(found + ["no such id"])
        self.assertEqual([(str(m["name"]), str(m["gicon"])) for m in metas],
                         [(self.folders[0], "folder")])
        self.assertEqual([str(i) for i in shell.GetSubsearchResultSet(found, ["wdw"])], found)
        shell.ActivateResult(found[0], ["wdwd"], dbus.UInt32(0))
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, self.folders[0]]])

        # KRunner: the page is found by its shown text and opens as its recorded address.
        os.remove(self.record)
        runner = self.proxy(*RUNNER)
        matches = runner.Match("evil")
        self.assertEqual([(str(m[0]), str(m[1])) for m in matches], [(PAGE, "mailto:x@evil.example/p")])
        self.assertEqual(len(runner.Actions()), 0)
        runner.Run(matches[0][0], "")
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, PAGE]])

    def test_a_query_typed_into_krunner_opens_the_entry(self):
        require_tools("krunner", "xdotool")
        plugins = os.path.join(self.desk.env["XDG_DATA_HOME"], "krunner", "dbusplugins")
        os.makedirs(plugins, exist_ok=True)
        shutil.copy2(KRUNNER_PLUGIN, os.path.join(plugins, "tarvokelmora.desktop"))
        self.launch(ini=seed_ini(PAGE_WEB, self.docs), folder=os.path.join(self.run_dir, "app"))
        self.desk.spawn(["krunner", "-d"], "krunner")
        app = wait_for(lambda: self.krunner_app(), what="krunner on the bus",
                       detail=lambda: self.desk.log("krunner")[-2000:])
        # Only this program's runner, as a user picking it in KRunner's list would.
        app.querySingleRunner("tarvokelmora", "wdwd")
        box = wait_for(lambda: self.desk.search_title("krunner", visible=True) or
                       self.desk.xdotool("search", "--onlyvisible", "--class", "krunner",
                                         check=False).split(),
                       what="krunner's box", detail=lambda: self.desk.log("krunner")[-2000:])
        time.sleep(2)  # the runner's answer shown
        self.desk.xdotool("windowactivate", "--sync", box[0], check=False)
        self.desk.xdotool("key", "--window", box[0], "Return")
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, self.folders[0]]])

    def provider_on_bus(self):
        bus = dbus.bus.BusConnection(self.desk.env["DBUS_SESSION_BUS_ADDRESS"])
        try:
            return bus.name_has_owner(BUS_NAME)
        finally:
            bus.close()

    def krunner_app(self):
        try:
            bus = dbus.bus.BusConnection(self.desk.env["DBUS_SESSION_BUS_ADDRESS"])
            if not bus.name_has_owner("org.kde.krunner"):
                bus.close()
                return None
            self.addCleanup(bus.close)
            return dbus.Interface(bus.get_object("org.kde.krunner", "/App"), "org.kde.krunner.App")
        except dbus.exceptions.DBusException:
            return None

    def test_the_bus_starts_the_program_in_the_tray_to_answer(self):
        # The program, its history beside it, named by a service file where the bus looks.
        app = os.path.join(self.run_dir, "app")
        os.makedirs(app)
        exe = os.path.join(app, "tarvokelmora")
        shutil.copy2(self.PROGRAM, exe)
        with open(os.path.join(app, "defualt.ini"), "w", encoding="utf-8") as f:
            f.write(seed_ini(PAGE_WEB, self.docs))
        # The private bus's own folder of services (the bus reads it when asked for the name).
        services = os.path.join(self.desk.tmp, "services")
        with open(os.path.join(services, BUS_NAME + ".service"), "w") as f:
            f.write("[D-BUS Service]\nName=%s\nExec=%s --hidden\n" % (BUS_NAME, exe))
        shell = self.proxy(*SHELL)
        found = [str(i) for i in shell.GetInitialResultSet(["xia", "zai"])]
        self.assertEqual(found, ["file://" + self.folders[1]])
        # Running now, the program copy the bus started, docked in the tray, with no window.
        bus = dbus.bus.BusConnection(self.desk.env["DBUS_SESSION_BUS_ADDRESS"])
        self.addCleanup(bus.close)
        pid = int(bus.call_blocking("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "GetConnectionUnixProcessID", "s",
                                    (BUS_NAME,)))
        self.assertEqual(os.readlink("/proc/%d/exe" % pid), exe)
        wait_for(lambda: tray_icons(self.desk.env), what="the icon in the tray")
        time.sleep(1)
        self.assertEqual(self.desk.search_title(TITLE), [], "no window pops up")


if __name__ == "__main__":
    raise SystemExit(main(__doc__))
