#!/usr/bin/env python3
"""The built program on a GNOME Wayland session, as GNOME 49 and later offer only: the shell,
headless on a virtual monitor, with XWayland started when an X11 client first comes, no X11
session.

Usage: test_gnome_session.py PATH/TO/tarvokelmora EXTENSIONS_DIR PATH/TO/HELPER|none [unittest arguments]

EXTENSIONS_DIR holds the program's shell extension in both formats; the one the installed
shell's version loads is installed in the test's home, with the desktop's AppIndicator extension
(the tray GNOME users have) and a probe of the test's own that writes where XWayland listens and
which windows the shell shows. The program starts as the session would start it: it must tell
the user to enable its extension, dock in the AppIndicator tray, show its window (through
XWayland) and its strip, and, once the extension is enabled, record a native Wayland program
and an XWayland one.
"""

import json
import os
import re
import shutil
import subprocess
import time

from e2e_support import (TITLE, Desktop, DesktopTestCase, end_program, main, require_tools, run,
                         take_program, wait_for)
from test_sweep import read_docs
from test_wayland_sweep import helper_of

EXTENSIONS = None  # the built extensions, from the command line
HELPER = None  # the web strip's browser helper, from the command line
APPINDICATOR = "/usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com"  # Debian's uuid
PROBE = "tk-probe@tests"
SHELL_WAIT = 60.0
SWEEP_WAIT = 45.0  # a sweep every 12 s on a loaded machine, and a save 3 s after

# The probe: where XWayland listens, then every 200 ms each window the shell shows.
PROBE_BODY = """
        // file_set_contents replaces the file whole: a reader never sees half of it.
        const write = (name, text) => GLib.file_set_contents(
            GLib.build_filenamev([GLib.get_home_dir(), name]), text);
        write('x11.json', JSON.stringify({display: GLib.getenv('DISPLAY') || '',
                                          xauthority: GLib.getenv('XAUTHORITY') || ''}));
        this._timer = GLib.timeout_add(GLib.PRIORITY_DEFAULT, 200, () => {
            const shown = global.get_window_actors().map(a => a.meta_window).map(w => ({
                title: w.get_title() || '',
                x11: w.get_client_type() === Meta.WindowClientType.X11,
            }));
            write('windows.json', JSON.stringify(shown));
            return GLib.SOURCE_CONTINUE;
        });"""


def shell_version():
    out = run(["gnome-shell", "--version"], dict(os.environ), check=False)
    return out.replace("GNOME Shell", "").strip()


def probe_extension(major):
    """The probe in the format a shell of that major version loads."""
    if major >= 45:
        return ("import GLib from 'gi://GLib';\nimport Meta from 'gi://Meta';\n"
                "import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';\n"
                "export default class Probe extends Extension {\n    enable() {" + PROBE_BODY +
                "\n    }\n    disable() { GLib.source_remove(this._timer); }\n}\n")
    return ("const { GLib, Meta } = imports.gi;\nfunction init() {\n    return {\n"
            "        enable() {" + PROBE_BODY + "\n        },\n"
            "        disable() { GLib.source_remove(this._timer); },\n    };\n}\n")


class GnomeDesktop(Desktop):
    """gnome-shell headless with private session and system buses; XWayland on demand."""

    def __init__(self):
        super().__init__(bus=False, prefix="tk-gnome-")
        version = shell_version()
        self.major = int(version.split(".")[0]) if version[:1].isdigit() else 0
        self.uuid = ("tarvokelmora-windows-45@tarvokelmora" if self.major >= 45
                     else "tarvokelmora-windows@tarvokelmora")

    def install_extensions(self):
        root = os.path.join(self.home, ".local", "share", "gnome-shell", "extensions")
        shutil.copytree(os.path.join(EXTENSIONS, self.uuid), os.path.join(root, self.uuid))
        probe = os.path.join(root, PROBE)
        os.makedirs(probe)
        with open(os.path.join(probe, "metadata.json"), "w") as f:
            json.dump({"uuid": PROBE, "name": "probe", "description": "tells the test",
                       "shell-version": [str(self.major)]}, f)
        with open(os.path.join(probe, "extension.js"), "w") as f:
            f.write(probe_extension(self.major))

    def start(self):
        require_tools("gnome-shell", "dbus-daemon", "gdbus", "xterm", "zenity")
        self.install_extensions()
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.spawn_reporting(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address={fd}"],
            "bus", "dbus-daemon")
        # The shell insists on a system bus (for logind); an empty one will do.
        system = self.spawn_reporting(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address={fd}"],
            "system-bus", "the system bus")
        self.env.update(XDG_CURRENT_DESKTOP="GNOME", XDG_SESSION_TYPE="wayland",
                        XDG_SESSION_DESKTOP="gnome")
        shell_env = dict(self.env, DBUS_SYSTEM_BUS_ADDRESS=system)
        self.spawn(["gnome-shell", "--wayland", "--headless", "--virtual-monitor", "1024x768",
                    "--wayland-display", "wayland-0"], "gnome-shell", env=shell_env)
        self.env["WAYLAND_DISPLAY"] = "wayland-0"
        wait_for(lambda: self.has_name("org.gnome.Shell"), timeout=SHELL_WAIT,
                 what="gnome-shell on the bus", detail=lambda: self.log("gnome-shell")[-3000:])
        for uuid in (PROBE, os.path.basename(APPINDICATOR)):
            wait_for(lambda: self.enable(uuid), timeout=SHELL_WAIT, what="extension " + uuid,
                     detail=lambda: self.extension_info(uuid) + self.log("gnome-shell")[-3000:])
        x11 = wait_for(lambda: self.read_json("x11.json"), what="the probe's word on XWayland")
        if not x11["display"]:
            raise AssertionError("the shell offers no X11 display to its clients")
        self.env["DISPLAY"] = x11["display"]
        if x11["xauthority"]:
            self.env["XAUTHORITY"] = x11["xauthority"]
        return self

    def gdbus(self, *args):
        return subprocess.run(["gdbus", "call", "--session"] + list(args), env=self.env,
                              capture_output=True, text=True, timeout=30)

    def has_name(self, name):
        result = self.gdbus("--dest", "org.freedesktop.DBus", "--object-path",
                            "/org/freedesktop/DBus", "--method",
                            "org.freedesktop.DBus.NameHasOwner", name)
        return "true" in result.stdout

    def enable(self, uuid):
        result = self.gdbus("--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell",
                            "--method", "org.gnome.Shell.Extensions.EnableExtension", uuid)
        return "true" in result.stdout

    def extension_info(self, uuid):
        return self.gdbus("--dest", "org.gnome.Shell", "--object-path", "/org/gnome/Shell",
                          "--method", "org.gnome.Shell.Extensions.GetExtensionInfo", uuid).stdout

    def read_json(self, name):
        try:
            with open(os.path.join(self.home, name)) as f:
                return json.load(f)
        except (OSError, ValueError):
            return None

    def windows(self):
        """(title, through XWayland) of every window the shell shows."""
        return {(w["title"], w["x11"]) for w in self.read_json("windows.json") or []}

    def tray_items(self):
        result = self.gdbus("--dest", "org.kde.StatusNotifierWatcher", "--object-path",
                            "/StatusNotifierWatcher", "--method",
                            "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierWatcher",
                            "RegisteredStatusNotifierItems")
        return result.stdout if result.returncode == 0 else ""

    def docked(self, pid):
        """Whether the tray lists an item of process pid: a bus name, alone or with its path
        (NAME/PATH or NAME@/PATH), as the tray's versions give them."""
        for item in re.findall(r"'([^']*)'", self.tray_items()):
            result = self.gdbus("--dest", "org.freedesktop.DBus", "--object-path",
                                "/org/freedesktop/DBus", "--method",
                                "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                re.split("[@/]", item)[0])
            if re.search(r"\b%d\b" % pid, result.stdout):
                return True
        return False


class GnomeSessionTest(DesktopTestCase):
    DESKTOP = GnomeDesktop
    SCOPE = "class"
    TOOLS = ("gnome-shell",)

    def test_the_program_docks_shows_and_records_native_and_xwayland_windows(self):
        desk = self.desk
        self.assertTrue(os.path.isdir(APPINDICATOR), "the AppIndicator extension is installed")
        # As the session starts programs: no platform named, both displays offered, the
        # shell's runtime folder (where the extension looks for the program's pass).
        env = {k: v for k, v in desk.env.items() if k != "QT_QPA_PLATFORM"}
        launched = desk.start_program(self.PROGRAM, env=env, extra=(HELPER,) if HELPER else ())
        program = launched.proc
        self.addCleanup(desk.end, program)

        def said():
            return desk.log("program")[-3000:]

        # Its window shows, through XWayland, and it docks in the AppIndicator tray.
        wait_for(lambda: program.poll() is not None or (TITLE, True) in desk.windows(),
                 timeout=SHELL_WAIT, what="the program's window", detail=said)
        self.assertIsNone(program.poll(), said())
        wait_for(lambda: program.poll() is not None or desk.docked(program.pid),
                 what="the program's icon in the AppIndicator tray",
                 detail=lambda: desk.tray_items() + "\n" + said())
        # Its strip's browser runs beside it, and it holds that one.
        if HELPER:
            wait_for(lambda: helper_of(program.pid), timeout=SHELL_WAIT,
                     what="the strip's browser helper", detail=said)
        # Until its extension is enabled the user is told which one to enable.
        wait_for(lambda: desk.uuid in desk.log("program"), what="the hint naming " + desk.uuid,
                 detail=said)

        self.assertTrue(desk.enable(desk.uuid), "GNOME Shell %d would not enable %s"
                        % (desk.major, desk.uuid))
        native_env = dict(desk.env, GDK_BACKEND="wayland")
        zenity = desk.spawn(["zenity", "--info", "--title", "native zenity", "--text", "hi"],
                            "zenity", env=native_env)
        xterm = desk.spawn(["xterm", "-T", "x11 xterm", "-e", "sleep", "600"], "xterm")
        wait_for(lambda: {("native zenity", False), ("x11 xterm", True)} <= desk.windows(),
                 what="zenity and xterm on screen", detail=lambda: desk.windows())
        zenity_exe = os.readlink("/proc/%d/exe" % zenity.pid)
        xterm_exe = os.readlink("/proc/%d/exe" % xterm.pid)

        def recorded():
            if not os.path.exists(launched.ini):
                return None
            docs = {d[0] for d in read_docs(launched.ini)}
            return {zenity_exe, xterm_exe} <= docs
        wait_for(lambda: program.poll() is not None or recorded(), timeout=SWEEP_WAIT,
                 what="zenity and xterm in the saved history",
                 detail=lambda: "%r\n%s" % (read_docs(launched.ini)
                                            if os.path.exists(launched.ini) else None, said()))
        self.assertIsNone(program.poll(), said())
        self.assertEqual(end_program(desk, program), 0, said())
        docs = read_docs(launched.ini)
        self.assertEqual(sum(d[0] == xterm_exe for d in docs), 1, docs)
        self.assertEqual(sum(d[0] == zenity_exe for d in docs), 1, docs)


def configure(args):
    global EXTENSIONS
    take_program(args)
    global HELPER
    EXTENSIONS = os.path.abspath(args[1])
    HELPER = None if args[2] == "none" else os.path.abspath(args[2])
    return 3


if __name__ == "__main__":
    raise SystemExit(main(__doc__, configure))
