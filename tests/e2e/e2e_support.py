"""The end-to-end harness: one private desktop, the program on it, waits and cleanup.

A Desktop is a private Xvfb (numbered by the server itself), openbox, optionally trayer as the
tray host and a private session bus, with a private 0700 HOME and XDG_RUNTIME_DIR. stop() ends
everything it started and whatever those left behind. DesktopTestCase is every suite's base: it
brings the desktop up for each case or once for its class, stops it whatever happens, and starts
and ends the built program on it. main() runs a suite: it makes this process the reaper of
orphans, turns SIGTERM into a clean exit and reports a suite that could not run as skipped
(exit status 77), or, under CI, as failed.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

# What the suites take from here, the tools included.
from e2e_tools import (WAIT, Win, become_subreaper, children, have_tool, in_ci,  # noqa: F401
                       kill_all, kill_everything, process_stat, read_line, require,
                       require_tools, run, session_members, stop_process, tray_icons,
                       has_tray_panel, wait_for, window_tree)

SKIPPED = 77  # ctest's SKIP_RETURN_CODE for the end-to-end tests
TITLE = "TarvoKelmora1.0"  # the program's main window

TRAYER = ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
          "--height", "24", "--SetDockType", "true", "--transparent", "false"]

# A session bus with nothing to activate: nothing the program or the file manager asks for
# starts anything. Eavesdropping is allowed for the tests that watch the bus.
BUS_CONFIG = ("<busconfig><type>session</type><listen>unix:dir={tmp}</listen>"
              "<servicedir>{tmp}/services</servicedir>"
              "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
              "<allow receive_sender=\"*\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
              "</policy></busconfig>\n")


# ---- the desktop -------------------------------------------------------------------------------


class Program:
    """A private copy of the built program in a folder of its own, so the defualt.ini beside it
    is the test's own."""

    def __init__(self, proc, exe, log):
        self.proc, self.exe, self.log = proc, exe, log
        self.folder = os.path.dirname(exe)
        self.ini = os.path.join(self.folder, "defualt.ini")


class Desktop:
    """One private desktop. start() brings it up; stop() kills and reaps everything it started,
    the processes those left behind, and removes its files."""

    # The caller's desktop, session and settings must not leak in.
    DROPPED = ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
               "XAUTHORITY", "LANGUAGE", "BROWSER")
    DROPPED_PREFIXES = ("LC_", "XDG_", "GTK_", "GIO_", "QT_")

    def __init__(self, size=(1024, 768), tray=False, bus=False, prefix="tk-e2e-"):
        self.size, self.with_tray, self.with_bus = size, tray, bus
        self.tmp = tempfile.mkdtemp(prefix=prefix)
        self.procs = []
        self.home = self.private_home(self.tmp)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in self.DROPPED and not k.startswith(self.DROPPED_PREFIXES)
                    and not k.lower().endswith("_proxy")}
        self.env.update(LANG="C.UTF-8", LC_ALL="C.UTF-8", GSETTINGS_BACKEND="memory",
                        NO_AT_BRIDGE="1", GTK_A11Y="none", QT_QPA_PLATFORM="xcb",
                        no_proxy="127.0.0.1,localhost")
        self.env.update(self.home_env(self.tmp))

    @staticmethod
    def private_home(base):
        """A 0700 home and runtime folder under base; returns the home."""
        for name in ("home", "runtime"):
            path = os.path.join(base, name)
            if not os.path.isdir(path):
                os.mkdir(path, 0o700)
        return os.path.join(base, "home")

    @staticmethod
    def home_env(base):
        """The variables that send a program's files to the private folders under base."""
        home = Desktop.private_home(base)
        return dict(HOME=home, XDG_RUNTIME_DIR=os.path.join(base, "runtime"),
                    XDG_CONFIG_HOME=os.path.join(home, ".config"),
                    XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                    XDG_CACHE_HOME=os.path.join(home, ".cache"))

    # -- processes

    def spawn(self, args, name, env=None, **kw):
        """Starts a process as the leader of a session of its own, its output in name.log
        (unless stdout is given); stop() ends it."""
        if "stdout" in kw:
            proc = subprocess.Popen(args, env=env or self.env, stdin=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, start_new_session=True, **kw)
        else:
            with open(os.path.join(self.tmp, name + ".log"), "w") as out:
                proc = subprocess.Popen(args, env=env or self.env, stdin=subprocess.DEVNULL,
                                        stdout=out, stderr=subprocess.STDOUT,
                                        start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def spawn_reporting(self, args, name, what):
        """Starts a server that writes where it listens to a pipe, `{fd}` in args, and returns
        that line."""
        read_fd, write_fd = os.pipe()
        try:
            self.spawn([a.replace("{fd}", str(write_fd)) for a in args], name,
                       pass_fds=(write_fd,))
            os.close(write_fd)
            write_fd = -1
            return read_line(read_fd, what)
        finally:
            os.close(read_fd)
            if write_fd >= 0:
                os.close(write_fd)

    def log(self, name):
        with open(os.path.join(self.tmp, name + ".log"), encoding="utf-8",
                  errors="replace") as f:
            return f.read()

    def end(self, proc, polite=True):
        """Ends one process and its whole session: asked first when polite, then killed."""
        if polite and proc.poll() is None:
            try:
                os.killpg(proc.pid, signal.SIGTERM)
                proc.wait(timeout=5)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
        for _ in range(50):
            members = session_members(proc.pid)
            if not members:
                break
            kill_all(members)
            self.reap_orphans()
            time.sleep(0.02)
        try:
            proc.wait(timeout=10)
        except ChildProcessError:
            pass
        self.reap_orphans()

    def reap_orphans(self):
        """Reaps the dead that were handed to this process; never one this desktop started,
        whose status its Popen object still has to read."""
        ours = {p.pid for p in self.procs}
        for pid in children():
            stat = process_stat(pid)
            if pid not in ours and stat is not None and stat[0] == "Z":
                try:
                    os.waitpid(pid, os.WNOHANG)
                except ChildProcessError:
                    pass

    # -- the desktop

    def start(self):
        self.began = time.monotonic()
        tools = ["Xvfb", "openbox", "xprop", "xwininfo", "xdotool"]
        tools += ["trayer"] if self.with_tray else []
        tools += ["dbus-daemon"] if self.with_bus else []
        require_tools(*tools)
        # -noreset: otherwise the server resets whenever its last client leaves, such as a
        # probe, and drops whoever connects meanwhile.
        self.env["DISPLAY"] = ":" + self.spawn_reporting(
            ["Xvfb", "-displayfd", "{fd}", "-screen", "0", "%dx%dx24" % self.size,
             "-nolisten", "tcp", "-noreset"], "xvfb", "Xvfb")
        self.spawn(["openbox", "--sm-disable"], "openbox")
        wait_for(lambda: "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                            self.env, check=False),
                 what="openbox", detail=lambda: self.log("openbox"))
        if self.with_bus:
            os.mkdir(os.path.join(self.tmp, "services"), 0o700)
            config = os.path.join(self.tmp, "bus.conf")
            with open(config, "w") as f:
                f.write(BUS_CONFIG.format(tmp=self.tmp))
            self.env["DBUS_SESSION_BUS_ADDRESS"] = self.spawn_reporting(
                ["dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile",
                 "--print-address={fd}"], "bus", "dbus-daemon")
        if self.with_tray:
            self.spawn(TRAYER, "trayer")
            wait_for(lambda: has_tray_panel(self.env), what="trayer's panel",
                     detail=lambda: self.log("trayer"))
        return self

    def stop(self):
        # Asked politely first, newest first, so that Xvfb removes its socket and lock file;
        # then whatever is left of their sessions, then every orphan handed to this process.
        for proc in reversed(self.procs):
            self.end(proc)
        kill_everything()
        for proc in self.procs:
            proc.poll()  # reaped above; this tells the object so
            if proc.stdout:
                proc.stdout.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start_program(self, program, ini=None, folder=None, extra=(), name="program", env=None):
        """Copies the program (and the extra files) into `folder` (default: app/ here), writes
        `ini` as its defualt.ini when given, and starts it."""
        folder = folder or os.path.join(self.tmp, "app")
        os.makedirs(folder, 0o700, exist_ok=True)
        exe = os.path.join(folder, os.path.basename(program))
        for path in (program,) + tuple(extra):
            shutil.copy2(path, os.path.join(folder, os.path.basename(path)))
        if ini is not None:
            with open(os.path.join(folder, "defualt.ini"), "w", encoding="utf-8") as f:
                f.write(ini)
        return Program(self.spawn([exe], name, env=env), exe, name)

    # -- queries

    def xdotool(self, *args, check=True):
        return run(["xdotool"] + list(args), self.env, check=check)

    def search_title(self, title, visible=True):
        """The windows whose title is exactly `title`, shown ones only unless told otherwise."""
        args = ["search"] + (["--onlyvisible"] if visible else []) + \
            ["--name", "^%s$" % re.escape(title)]
        return self.xdotool(*args, check=False).split()

    def info(self, wid):
        """What xwininfo says of the window, or None once it has gone."""
        result = subprocess.run(["xwininfo", "-id", wid], env=self.env, capture_output=True,
                                text=True, timeout=30)
        return Win(result.stdout) if result.returncode == 0 else None

    def tree(self):
        return window_tree(self.env)

    def tray_icons(self, owner_class=None):
        return tray_icons(self.env, owner_class)


# ---- the program on a desktop ------------------------------------------------------------------


def program_detail(desk, proc, log="program"):
    """What a failed wait on the program says: whether it runs, its windows, what it said."""
    state = proc.poll()
    return "program %s; windows of that title, shown or not: %r; its output:\n%s" % (
        "running" if state is None else "ended with %d" % state,
        desk.search_title(TITLE, visible=False), desk.log(log)[-3000:])


def wait_for_window(desk, proc, log="program", shown=None):
    """Waits until the program shows its main window, which shown() tells (by default a shown
    window of its title), and returns what shown() gave. Fails, saying what the program said,
    when the program ends first or shows nothing in time."""
    shown = shown or (lambda: desk.search_title(TITLE))
    found = wait_for(lambda: proc.poll() is not None or shown(), what="the program's window",
                     detail=lambda: program_detail(desk, proc, log))
    if proc.poll() is not None:
        raise AssertionError("the program ended before its window; " +
                             program_detail(desk, proc, log))
    return found


def end_program(desk, proc, log="program", timeout=WAIT):
    """Asks the program to end, as a session or a service manager does (SIGTERM), and returns
    its exit status. Fails, saying what the program said, when it does not end in time."""
    proc.send_signal(signal.SIGTERM)
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        raise AssertionError("the program did not end on SIGTERM; its output:\n%s"
                             % desk.log(log)[-3000:]) from None


class DesktopTestCase(unittest.TestCase):
    """The base of the suites: the built program, and a private desktop of the kind DESKTOP
    (made with DESKTOP_ARGS) brought up for each case (SCOPE "case"), once for the class
    ("class"), or by the cases themselves through new_desktop (None); stopped whatever
    happens. TOOLS are checked before a desktop comes up for a case or the class."""

    PROGRAM = None  # the built executable, from the command line (see main)
    DESKTOP = Desktop
    DESKTOP_ARGS = {}
    SCOPE = "case"
    TOOLS = ()

    @classmethod
    def make_desktop(cls, **args):
        return cls.DESKTOP(**dict(cls.DESKTOP_ARGS, **args))

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if cls.SCOPE == "class":
            require_tools(*cls.TOOLS)
            cls.desk = cls.make_desktop()
            cls.addClassCleanup(cls.desk.stop)  # also when the start fails half-way
            cls.desk.start()

    def setUp(self):
        super().setUp()
        if self.SCOPE == "case":
            require_tools(*self.TOOLS)
            self.desk = self.new_desktop()

    def new_desktop(self, **args):
        """A started desktop of the case's own (DESKTOP_ARGS changed by args), stopped after
        the case."""
        desk = self.make_desktop(**args)
        self.addCleanup(desk.stop)
        desk.start()
        return desk

    def launch(self, desk=None, window=True, shown=None, polite_end=True, **kw):
        """Starts a private copy of the built program (see Desktop.start_program for kw) and,
        unless window is false, waits for its main window (see wait_for_window), kept as the
        window of what is returned. On the class's desktop it ends with the case, asked first
        when polite_end."""
        desk = desk or self.desk
        launched = desk.start_program(self.PROGRAM, **kw)
        if self.SCOPE == "class":
            self.addCleanup(desk.end, launched.proc, polite=polite_end)
        if window:
            launched.window = wait_for_window(desk, launched.proc, launched.log, shown)
        return launched


# ---- running a suite ---------------------------------------------------------------------------


def take_program(args):
    """The leading argument most suites take: the built program."""
    DesktopTestCase.PROGRAM = os.path.abspath(args[0])
    return 1


def main(usage, configure=take_program):
    """Runs the unittest cases of the calling script. configure(args) takes the script's own
    leading arguments (by default the built program) and returns how many it used; the rest go
    to unittest. Exit status: 0 passed, 1 failed, 77 nothing could run (never under CI)."""
    become_subreaper()
    # A termination from outside (a test runner's timeout) still cleans up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        try:
            used = configure(sys.argv[1:])
        except IndexError:
            sys.exit(usage)
        except unittest.SkipTest as skip:
            print("SKIP: %s" % skip, file=sys.stderr)
            return SKIPPED
        except AssertionError as failure:
            print("FAIL: %s" % failure, file=sys.stderr)
            return 1
        program = unittest.main(argv=[sys.argv[0]] + sys.argv[1 + used:], verbosity=2,
                                exit=False)
        result = program.result
        if not result.wasSuccessful():
            return 1
        if result.skipped and len(result.skipped) >= result.testsRun:
            return SKIPPED
        return 0
    finally:
        kill_everything()
