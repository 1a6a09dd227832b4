#!/usr/bin/env python3
"""The built program's detection sweep on a Wayland desktop: a private headless sway.

Usage: test_wayland_sweep.py PATH/TO/tarvokelmora PATH/TO/HELPER|none [unittest arguments]

A native Wayland program (foot) and an X11 program through XWayland (xterm) are open while a
private copy of the program runs there through XWayland. Once a whole sweep has run with
both on screen (sweeps are counted by the program's questions about the file manager on a
private bus), both are closed, another whole sweep runs, and the program is asked to end with
SIGTERM; the history it saved beside itself must hold each of the two programs exactly once,
with its executable. A native Wayland Thunar shows a folder with a hard name, its full path in
its title as its own setting asks: the folder is recorded, Thunar never as a program. sway
refuses to run as root, so under root it and the clients run as "nobody" and XWayland is told
to let root's program in.

On a second sway, with Qt's Wayland plugin installed as on most Wayland desktops, the program
shows its web strip: the browser helper must join it on X11 rather than open as a Wayland client
whose window the strip cannot hold.
"""

import glob
import json
import os
import subprocess
import threading
import time

from e2e_support import (TITLE, Desktop, DesktopTestCase, end_program, have_tool, main, require,
                         require_tools, run, take_program, wait_for, wait_for_window)
from e2e_tools import parent_of, session_members
from test_sweep import read_docs
from web_site import PROPER_PAGE, Site

HELPER = None  # the browser helper, from the command line
QT_WAYLAND_PLUGIN = "/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so"
SWEEP_WAIT = 40.0  # two sweeps 12 s apart, on a loaded machine
AS_NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] \
    if os.geteuid() == 0 else []
THUNAR_FULL_PATH = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="thunar" version="1.0">
  <property name="misc-full-path-in-window-title" type="bool" value="true"/>
  <property name="misc-window-title-style" type="string"
            value="THUNAR_WINDOW_TITLE_STYLE_FULL_PATH_WITH_THUNAR_SUFFIX"/>
</channel>
"""


class SwayDesktop(Desktop):
    """sway on a headless output with XWayland, a private session bus, nothing else."""

    def __init__(self):
        super().__init__(bus=False, prefix="tk-wayland-")
        self.runtime = self.env["XDG_RUNTIME_DIR"]
        if AS_NOBODY:
            for path in (self.tmp, self.home, self.runtime):
                os.chown(path, 65534, 65534)

    def start(self):
        require_tools("sway", "swaymsg", "Xwayland", "foot", "xterm", "dbus-daemon",
                      "dbus-monitor", "xhost", *(["setpriv"] if AS_NOBODY else []))
        config = os.path.join(self.tmp, "sway.conf")
        with open(config, "w") as f:
            f.write("xwayland enable\nexec printenv DISPLAY > %s/display.tmp && mv %s/display.tmp"
                    " %s/display\n" % (self.tmp, self.tmp, self.tmp))
        os.chmod(config, 0o644)
        env = dict(self.env, WLR_BACKENDS="headless", WLR_RENDERER="pixman",
                   WLR_LIBINPUT_NO_DEVICES="1")
        self.spawn(AS_NOBODY + ["sway", "-c", config], "sway", env=env)

        def ready():
            sockets = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
            waylands = [p for p in glob.glob(os.path.join(self.runtime, "wayland-*"))
                        if not p.endswith(".lock")]
            shown = os.path.exists(os.path.join(self.tmp, "display"))
            return sockets and waylands and shown and (sockets[0], waylands[0])
        ipc, wayland = wait_for(ready, what="sway", detail=lambda: self.log("sway"))
        with open(os.path.join(self.tmp, "display")) as f:
            display = f.read().strip()
        self.env.update(WAYLAND_DISPLAY=wayland, SWAYSOCK=ipc, DISPLAY=display)
        if AS_NOBODY:
            run(AS_NOBODY + ["xhost", "+si:localuser:root"], self.env)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.spawn_reporting(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address={fd}"],
            "bus", "dbus-daemon")
        return self

    def start_thunar(self, folder):
        """Thunar as a native Wayland client showing folder, with the full path in its title.
        Its settings service needs a bus of the user it runs as: a session of its own."""
        channel = os.path.join(self.home, ".config", "xfce4", "xfconf", "xfce-perchannel-xml")
        os.makedirs(channel, exist_ok=True)
        with open(os.path.join(channel, "thunar.xml"), "w") as f:
            f.write(THUNAR_FULL_PATH)
        os.makedirs(folder)
        if AS_NOBODY:
            for base in (os.path.join(self.home, ".config"), os.path.join(self.tmp, "a - b")):
                for top, dirs, files in os.walk(base):
                    for name in [top] + [os.path.join(top, n) for n in dirs + files]:
                        os.chown(name, 65534, 65534)
        # Only local files: no GVFS daemons to start and end.
        env = dict(self.env, GDK_BACKEND="wayland", GIO_USE_VFS="local", GVFS_DISABLE_FUSE="1")
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        return self.spawn(AS_NOBODY + ["dbus-run-session", "--", "thunar", folder], "thunar",
                          env=env)

    def titles(self):
        """Every window title in sway's tree."""
        tree = run(["swaymsg", "-s", self.env["SWAYSOCK"], "-r", "-t", "get_tree"], self.env,
                   check=False)
        try:
            nodes = [json.loads(tree)]
        except ValueError:
            return []  # sway is going away
        names = []
        while nodes:
            node = nodes.pop()
            names.append(node.get("name") or "")
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return names


class Monitor:
    """Counts the program's questions whether a file manager runs: one per sweep."""

    def __init__(self, desk):
        self.proc = desk.spawn(["dbus-monitor", "--session",
                                "type='method_call',member='NameHasOwner'"], "monitor",
                               stdout=subprocess.PIPE)
        self.count, self.lock = 0, threading.Lock()
        self.lines = []
        threading.Thread(target=self.pump, daemon=True).start()

    def pump(self):
        for raw in self.proc.stdout:
            line = raw.decode(errors="replace")
            with self.lock:
                self.lines.append(line)
                if "org.freedesktop.FileManager1" in line:
                    self.count += 1

    def sweeps(self):
        with self.lock:
            return self.count


class WaylandSweepTest(DesktopTestCase):
    DESKTOP = SwayDesktop
    SCOPE = "class"
    TOOLS = ("sway",)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.run_program()

    @classmethod
    def run_program(cls):
        desk = cls.desk
        foot = desk.spawn(AS_NOBODY + ["foot", "--title", "native foot", "--", "sleep", "600"],
                          "foot")
        xterm = desk.spawn(AS_NOBODY + ["xterm", "-T", "x11 xterm", "-e", "sleep", "600"],
                           "xterm")
        # A join titles use, inside the path: only the disk tells the folder.
        cls.folder = os.path.join(desk.tmp, "a - b", "中文 目录 #1 50%")
        thunar = desk.start_thunar(cls.folder) if have_tool("thunar") else None
        shown = {"native foot", "x11 xterm"} | ({cls.folder + " - Thunar"} if thunar else set())
        wait_for(lambda: shown <= set(desk.titles()),
                 what="foot, xterm and Thunar on screen", detail=lambda: desk.titles())
        cls.foot_exe = os.readlink("/proc/%d/exe" % foot.pid)
        cls.xterm_exe = os.readlink("/proc/%d/exe" % xterm.pid)

        monitor = Monitor(desk)
        time.sleep(0.5)  # dbus-monitor subscribes before the program asks anything
        # The compositor's runtime folder belongs to the user it runs as; the program keeps its
        # lock in a private folder of its own, and finds sway by the sockets' full paths.
        runtime = os.path.join(desk.tmp, "program-runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        launched = desk.start_program(cls.PROGRAM, env=dict(desk.env, QT_QPA_PLATFORM="xcb",
                                                            XDG_RUNTIME_DIR=runtime))
        program = launched.proc

        def failure(what):
            return "%s; the program's output:\n%s" % (what, desk.log("program")[-2000:])

        def sweeps_after(count):
            # The sweep that asks next began after the one counted here had ended.
            wait_for(lambda: program.poll() is not None or monitor.sweeps() >= count + 2,
                     timeout=SWEEP_WAIT, what="a whole sweep")
            if program.poll() is not None:
                raise AssertionError(failure("the program ended by itself"))

        wait_for_window(desk, program, shown=lambda: TITLE in desk.titles())
        try:
            sweeps_after(monitor.sweeps())
            for proc in (foot, xterm, thunar):
                if proc:
                    desk.end(proc)
            wait_for(lambda: not {"native foot", "x11 xterm"} & set(desk.titles())
                     and not any("Thunar" in t for t in desk.titles()),
                     what="foot, xterm and Thunar closed")
            sweeps_after(monitor.sweeps())
        except AssertionError as e:
            raise AssertionError(failure(str(e)))
        cls.exit_status = end_program(desk, program)
        cls.saved = read_docs(launched.ini) if os.path.exists(launched.ini) else None
        cls.thunar = thunar is not None

    def docs(self):
        self.assertEqual(self.exit_status, 0)
        self.assertIsNotNone(self.saved, "no defualt.ini was saved")
        return self.saved

    def test_the_native_and_the_xwayland_program_are_each_recorded_once(self):
        docs = self.docs()
        self.assertEqual(docs.count((self.foot_exe, "foot", "2")), 1, docs)
        self.assertEqual(docs.count((self.xterm_exe, "xterm", "2")), 1, docs)

    def test_the_folder_a_native_file_manager_names_in_its_title_is_recorded(self):
        require(self.thunar, "Thunar is not installed")
        folder = ("file://" + self.folder, self.folder, "3")
        self.assertEqual(self.docs().count(folder), 1, self.docs())
        self.assertEqual([d for d in self.docs() if "thunar" in d[0].lower() and d != folder], [])

    def test_nothing_else_is_recorded(self):
        # Not the program itself, not a second entry for a closed window.
        expected = [(self.foot_exe, "foot", "2"), (self.xterm_exe, "xterm", "2")]
        if self.thunar:
            expected.append(("file://" + self.folder, self.folder, "3"))
        self.assertEqual(sorted(self.docs()), sorted(expected))


def helper_of(pid):
    """The program's browser helper, or None while it has none."""
    for child in session_members(pid):
        try:
            if os.readlink("/proc/%d/exe" % child).endswith("/tarvokelmora-webstrip") and \
                    parent_of(child) == pid:
                return child
        except OSError:
            pass
    return None


class WaylandStripTest(DesktopTestCase):
    DESKTOP = SwayDesktop
    SCOPE = "class"
    TOOLS = ("sway",)

    def test_the_strip_keeps_its_one_helper_on_a_wayland_session(self):
        require(HELPER is not None, "the browser helper is not built here (no Qt WebEngine)")
        self.assertTrue(os.path.exists(QT_WAYLAND_PLUGIN), "qt6-wayland is installed by the setup")
        site = Site()
        self.addCleanup(site.stop)
        site.serve(PROPER_PAGE)
        runtime = os.path.join(self.desk.tmp, "program-runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        # As the session starts programs: no platform named, the Wayland display offered.
        env = {k: v for k, v in self.desk.env.items() if k != "QT_QPA_PLATFORM"}
        env.update(TARVOKELMORA_SITE=site.url, XDG_RUNTIME_DIR=runtime)
        launched = self.desk.start_program(self.PROGRAM, extra=(HELPER,), env=env)
        self.addCleanup(self.desk.end, launched.proc)
        wait_for_window(self.desk, launched.proc, shown=lambda: TITLE in self.desk.titles())
        wait_for(lambda: site.first_request() is not None, timeout=60,
                 what="the strip's first page", detail=lambda: self.desk.log("program")[-2000:])
        helper = wait_for(lambda: helper_of(launched.proc.pid), what="the browser helper")
        # A helper on the wrong windowing system names a window the program cannot hold, and
        # is ended and started again, four times.
        time.sleep(8)
        log = self.desk.log("program")
        self.assertNotIn("not its own", log)
        self.assertEqual(helper_of(launched.proc.pid), helper, "one helper all along:\n" + log[-2000:])


def configure(args):
    global HELPER
    take_program(args)
    HELPER = None if args[1] == "none" else os.path.abspath(args[1])
    return 2


if __name__ == "__main__":
    raise SystemExit(main(__doc__, configure))
