#!/usr/bin/env python3
"""The built program's detection sweep on a real desktop.

Usage: test_sweep.py PATH/TO/tarvokelmora [unittest arguments]

A private X desktop (Xvfb, openbox) with a private session bus, an xterm and a nautilus window
on a folder whose name is Chinese and holds a blank, and two programs whose windows' processes
run another file than the user starts: gnome-terminal (its windows belong to
gnome-terminal-server, started on the bus) and a Python script with a desktop entry of its own in
the private data folder, known to it by StartupWMClass only. A private copy of the program runs there;
once a sweep that began with the program's window on screen has asked the file manager for its
windows (watched on the bus), the program is asked to end with SIGTERM and the history it saved
beside itself is read back. Times go to standard error.
"""

import os
import re
import subprocess
import sys
import threading
import time
import urllib.parse

from e2e_support import (TITLE, Desktop, DesktopTestCase, end_program, main, run, wait_for,
                         wait_for_window)

FOLDER = "数据 目录"
# The sweep repeats every 12 s: a run that missed the first one still sees the second.
SWEEP_WAIT = 30.0
FM_NAME = "org.freedesktop.FileManager1"
FM_PATH = "/org/freedesktop/FileManager1"
TERMINAL_ENTRY = "/usr/share/applications/org.gnome.Terminal.desktop"
SCRIPT_NAME = "tk-scriptapp"
PYAPP_NAME = "tk-pyapp"
# A GTK window under the interpreter: its process is python3, its WM_CLASS the script's name.
SCRIPT = """#!/usr/bin/python3
import gi
gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk
GLib.set_prgname("%s")
window = Gtk.Window(title="script window")
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
""" % SCRIPT_NAME

# dbus-monitor's header lines: the sweep's question to the file manager and every answer.
CALL_LINE = re.compile(r"^method call .* sender=(\S+) -> destination=%s serial=(\d+) "
                       r"path=%s; interface=org\.freedesktop\.DBus\.Properties; member=Get$"
                       % (re.escape(FM_NAME), re.escape(FM_PATH)))
RETURN_LINE = re.compile(r"^method return .* -> destination=(\S+) serial=\d+ reply_serial=(\d+)$")


def read_docs(path):
    """The [docs] section's entries as (path, name, doctype) in order; strictly UTF-8."""
    values, section = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("["):
                section = line.strip().lower()
            elif section == "[docs]" and "=" in line:
                key, _, value = line.partition("=")
                values[key.strip().lower()] = value
    docs, k = [], 0
    while "path%d" % k in values:
        docs.append((values["path%d" % k], values.get("name%d" % k),
                     values.get("doctype%d" % k)))
        k += 1
    return docs


# ---- the desktop ---------------------------------------------------------------------------


class SweepDesktop(Desktop):
    """The private desktop with a session bus, and what the file manager says on it."""

    def __init__(self):
        super().__init__(bus=True, prefix="tk-sweep-")

    def visible(self, title):
        return self.xdotool("search", "--onlyvisible", "--name", title, check=False).split()

    def fm_locations(self):
        """The folders nautilus says its windows show, decoded; empty while it has none."""
        owned = run(["dbus-send", "--session", "--dest=org.freedesktop.DBus", "--type=method_call",
                     "--print-reply", "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                     "string:" + FM_NAME], self.env, check=False)
        if "boolean true" not in owned:
            return []
        reply = run(["gdbus", "call", "--session", "--dest", FM_NAME, "--object-path", FM_PATH,
                     "--method", "org.freedesktop.DBus.Properties.Get", FM_NAME,
                     "OpenWindowsWithLocations"], self.env, check=False)
        return [urllib.parse.unquote(u) for u in re.findall(r"'file://([^']*)'", reply)]


class Monitor:
    """dbus-monitor on the private bus: which Get questions to the file manager were answered."""

    def __init__(self, desk):
        self.proc = desk.spawn(["dbus-monitor", "--session",
                                "type='method_call',member='Get',path='%s'" % FM_PATH,
                                "type='method_return'"], "monitor", stdout=subprocess.PIPE)
        self.lines, self.lock = [], threading.Lock()
        threading.Thread(target=self.pump, daemon=True).start()
        # It reports losing its own name once it has become a monitor.
        wait_for(lambda: any("member=NameLost" in line for line in self.snapshot()),
                 what="dbus-monitor")

    def pump(self):
        for raw in self.proc.stdout:
            with self.lock:
                self.lines.append(raw.decode(errors="replace").rstrip("\n"))

    def snapshot(self):
        with self.lock:
            return list(self.lines)

    def answered(self, since=0):
        """How many Get questions, among those printed from line `since` on, had their answer."""
        pending, count = set(), 0
        for line in self.snapshot()[since:]:
            call = CALL_LINE.match(line)
            if call:
                pending.add((call.group(1), call.group(2)))
                continue
            answer = RETURN_LINE.match(line)
            if answer and (answer.group(1), answer.group(2)) in pending:
                count += 1
        return count


# ---- the case ------------------------------------------------------------------------------


class SweepTest(DesktopTestCase):
    DESKTOP = SweepDesktop
    SCOPE = "class"
    TOOLS = ("xterm", "nautilus", "dbus-monitor", "dbus-send", "gdbus", "gnome-terminal",
             "/usr/libexec/gnome-terminal-server")

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.run_program()

    @classmethod
    def start_started_programs(cls):
        """gnome-terminal, its server activated on the bus; the script, by its entry's name."""
        desk = cls.desk
        with open(os.path.join(desk.tmp, "services", "org.gnome.Terminal.service"), "w") as f:
            f.write("[D-BUS Service]\nName=org.gnome.Terminal\n"
                    "Exec=/usr/libexec/gnome-terminal-server\n")
        desk.spawn(["gnome-terminal", "--", "sleep", "600"], "gnome-terminal")
        bin_dir = os.path.join(desk.tmp, "bin")
        os.mkdir(bin_dir)
        script = os.path.join(bin_dir, SCRIPT_NAME)
        with open(script, "w") as f:
            f.write(SCRIPT)
        os.chmod(script, 0o755)
        applications = os.path.join(desk.env["XDG_DATA_HOME"], "applications")
        os.makedirs(applications)
        # Named unlike the script, so only StartupWMClass ties the window to it.
        cls.script_entry = os.path.join(applications, "org.example.ScriptApp.desktop")
        with open(cls.script_entry, "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Script App\nExec=%s\n"
                    "Icon=accessories-calculator\nStartupWMClass=Tk-scriptapp\n" % SCRIPT_NAME)
        desk.env["PATH"] = bin_dir + ":" + desk.env.get("PATH", "/usr/bin:/bin")
        desk.spawn([script], "script")
        # A script that is no program of its own: its entry has the interpreter run it.
        cls.pyapp = os.path.join(desk.tmp, "应用 app", PYAPP_NAME + ".py")
        os.makedirs(os.path.dirname(cls.pyapp))
        with open(cls.pyapp, "w") as f:
            f.write(SCRIPT.replace(SCRIPT_NAME, PYAPP_NAME))
        cls.pyapp_entry = os.path.join(applications, "org.example.PyApp.desktop")
        with open(cls.pyapp_entry, "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Py App\nExec=/usr/bin/python3 -u \"%s\"\n"
                    "StartupWMClass=Tk-pyapp\n" % cls.pyapp)
        desk.spawn(["/usr/bin/python3", "-u", cls.pyapp], "pyapp")
        # The terminal's windows are named for its server (Debian 12) or its app id (Debian 13).
        for cls_name in ("^(gnome-terminal-server|org\\.gnome\\.Terminal)$", "tk-scriptapp",
                         PYAPP_NAME):
            wait_for(lambda: desk.xdotool("search", "--onlyvisible", "--classname", cls_name,
                                          check=False).split(),
                     what="a window of " + cls_name,
                     detail=lambda: desk.log("gnome-terminal") + desk.log("script") + desk.log("pyapp"))

    @classmethod
    def run_program(cls):
        desk, t0 = cls.desk, cls.desk.began

        cls.start_started_programs()
        xterm = desk.spawn(["xterm", "-T", "term title"], "xterm")
        cls.folder = os.path.join(desk.home, FOLDER)
        os.mkdir(cls.folder)
        desk.spawn(["nautilus", "--new-window", cls.folder], "nautilus")
        wait_for(lambda: desk.visible("^term title$"), what="the xterm window")
        cls.xterm_exe = os.readlink("/proc/%d/exe" % xterm.pid)
        try:
            wait_for(lambda: cls.folder in desk.fm_locations() and desk.visible(FOLDER),
                     what="nautilus showing the folder")
        except AssertionError as e:
            raise AssertionError("%s; it said: %s" % (e, desk.log("nautilus")[-2000:]))
        desktop_ready = time.monotonic()

        monitor = Monitor(desk)
        started = time.monotonic()
        launched = desk.start_program(cls.PROGRAM)
        program = launched.proc

        def failure(what):
            return "%s; the program's output:\n%s" % (what, desk.log("program")[-2000:])

        # A sweep counts once the program's own window was on screen before it began.
        wait_for_window(desk, program, shown=lambda: desk.visible("^%s$" % re.escape(TITLE)))
        mapped = time.monotonic()
        try:
            seen = len(monitor.snapshot())
            wait_for(lambda: program.poll() is not None or monitor.answered(seen),
                     timeout=SWEEP_WAIT, what="a sweep asking the file manager")
        except AssertionError as e:
            raise AssertionError(failure(str(e)))
        if program.poll() is not None:
            raise AssertionError(failure("the program ended by itself (%d)" % program.returncode))
        swept = time.monotonic()

        # Asking the file manager is the sweep's last step, and the program handles SIGTERM in
        # its event loop, after the sweep in hand: all the sweep found is in what it saves.
        cls.exit_status = end_program(desk, program)
        ini = launched.ini
        cls.saved = read_docs(ini) if os.path.exists(ini) else None
        print("sweep e2e: desktop, xterm and nautilus ready in %.2f s; program window after "
              "%.2f s, a sweep answered after %.2f s; ended %.2f s after SIGTERM; %.2f s in all"
              % (desktop_ready - t0, mapped - started, swept - started,
                 time.monotonic() - swept, time.monotonic() - t0), file=sys.stderr)

    def docs(self):
        self.assertEqual(self.exit_status, 0)
        self.assertIsNotNone(self.saved, "no defualt.ini was saved")
        return self.saved

    def test_the_xterm_is_recorded_as_a_program_by_its_file_name(self):
        self.assertIn((self.xterm_exe, "xterm", "2"), self.docs())

    def test_programs_started_by_another_file_are_recorded_as_their_entries(self):
        docs = self.docs()
        # Re-opening starts the entry; the name is the command its Exec line starts.
        self.assertIn((TERMINAL_ENTRY, "gnome-terminal", "2"), docs)
        self.assertIn((self.script_entry, SCRIPT_NAME, "2"), docs)
        self.assertIn((self.pyapp_entry, PYAPP_NAME + ".py", "2"), docs)
        names = [d[1] for d in docs]
        self.assertNotIn("gnome-terminal-server", names)
        self.assertEqual([n for n in names if n.startswith("python")], [])

    def test_the_nautilus_folder_is_recorded_by_its_decoded_path(self):
        # Exactly the path, the blank and the Chinese as they are: no %-escapes.
        self.assertIn(("file://" + self.folder, self.folder, "3"), self.docs())

    def test_the_program_does_not_record_itself(self):
        # Its window was on screen during the sweep, like the others.
        docs = self.docs()
        self.assertTrue(docs)
        self.assertEqual([d for d in docs if os.path.basename(d[0]) == "tarvokelmora"], [])


if __name__ == "__main__":
    raise SystemExit(main(__doc__))
