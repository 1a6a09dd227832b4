"""The end-to-end harness: one private desktop, the program on it, waits and cleanup.

A Desktop is a private Xvfb (numbered by the server itself), openbox, optionally trayer as the
tray host and a private session bus, with a private 0700 HOME and XDG_RUNTIME_DIR. stop() ends
everything it started and whatever those left behind. main() runs a suite: it makes this
process the reaper of orphans, turns SIGTERM into a clean exit and reports a suite that could
not run as skipped (exit status 77), or, under CI, as failed.
"""

import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

WAIT = 20.0  # seconds for anything to happen; generous, a loaded machine is slow
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for the end-to-end tests

TRAYER = ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
          "--height", "24", "--SetDockType", "true", "--transparent", "false"]

# A session bus with nothing to activate: nothing the program or the file manager asks for
# starts anything. Eavesdropping is allowed for the tests that watch the bus.
BUS_CONFIG = ("<busconfig><type>session</type><listen>unix:dir={tmp}</listen>"
              "<servicedir>{tmp}/services</servicedir>"
              "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
              "<allow receive_sender=\"*\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
              "</policy></busconfig>\n")


# ---- what the machine must have ----------------------------------------------------------------


def in_ci():
    return os.environ.get("CI", "").strip().lower() in ("1", "true", "yes", "on")


def have_tool(name):
    """On PATH, and not named in TK_TEST_HIDE_TOOLS (colon-separated), which lets a missing tool
    be tried by hand without uninstalling it."""
    if name in os.environ.get("TK_TEST_HIDE_TOOLS", "").split(":"):
        return False
    return shutil.which(name) is not None


def require(available, why):
    """Ends the test (or the suite, before any test) when `available` is false: skipped with
    the reason, but failed under CI, where the test set-up provides everything."""
    if available:
        return
    if in_ci():
        raise AssertionError(why + " (CI=true: the test set-up provides it)")
    raise unittest.SkipTest(why)


def require_tools(*names):
    missing = [n for n in names if not have_tool(n)]
    require(not missing, "not installed: " + ", ".join(missing))


# ---- processes -------------------------------------------------------------------------------


def become_subreaper():
    # Whatever nautilus or the program leave behind comes to this process, to be killed and
    # reaped.
    try:
        ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    except (OSError, AttributeError):
        pass


def _stat(pid):
    """(state, ppid, pgrp, session) of a process, or None once it is gone."""
    try:
        with open("/proc/%s/stat" % pid) as f:
            fields = f.read().rpartition(")")[2].split()
        return fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    except (OSError, ValueError, IndexError):
        return None


def _processes():
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            stat = _stat(entry)
            if stat is not None:
                yield int(entry), stat


def children():
    me = os.getpid()
    return [pid for pid, stat in _processes() if stat[1] == me]


def session_members(sid):
    return [pid for pid, stat in _processes() if stat[3] == sid]


def _kill(pids, sig=signal.SIGKILL):
    for pid in pids:
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            pass


def kill_everything():
    """Kills every child, and every descendant as it is handed over, until none is left."""
    for _ in range(200):
        pids = children()
        if not pids:
            return
        _kill(pids)
        for pid in pids:
            try:
                os.waitpid(pid, 0)
            except ChildProcessError:
                pass
        time.sleep(0.01)


def run(args, env, check=True, timeout=30):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(args), result.returncode, result.stderr))
    return result.stdout


def wait_for(predicate, timeout=WAIT, what="condition", detail=None):
    """Polls predicate until it returns something true, and returns that. Past the deadline it
    fails, saying what it waited for and, when given, what detail() tells."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what +
                                 ("; " + detail() if detail is not None else ""))
        time.sleep(0.02)


def read_line(fd, what):
    """The first line written to fd, the way Xvfb and dbus-daemon report where they listen."""
    data = b""
    while not data.endswith(b"\n"):
        ready, _, _ = select.select([fd], [], [], WAIT)
        chunk = os.read(fd, 256) if ready else b""
        if not chunk:
            raise RuntimeError(what + " did not report where it listens")
        data += chunk
    return data.decode().strip()


def stop_process(proc):
    """Asks a process to end, kills it when it does not, and reaps it."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


# ---- X queries ---------------------------------------------------------------------------------

_TREE_LINE = re.compile(r'^(\s+)(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \((?:"(.*?)" "(.*?)")?\)')


def window_tree(env):
    """Every window below the root, from xwininfo: id -> name, instance, class and parent id."""
    nodes, stack = {}, []
    for line in run(["xwininfo", "-root", "-tree"], env).splitlines():
        m = _TREE_LINE.match(line)
        if not m:
            continue
        depth = len(m.group(1))
        while stack and stack[-1][0] >= depth:
            stack.pop()
        parent = stack[-1][1] if stack else None
        nodes[m.group(2)] = {"name": m.group(3), "instance": m.group(4),
                             "class": m.group(5), "parent": parent}
        stack.append((depth, m.group(2)))
    return nodes


def is_mapped(wid, env):
    return "IsViewable" in run(["xwininfo", "-id", wid], env, check=False)


def tray_icons(env, owner_class=None):
    """Mapped windows that trayer's panel has embedded: the docked icons, of one program's
    window class when owner_class is given."""
    nodes, found = window_tree(env), []
    for wid, node in nodes.items():
        if node["class"] in (None, "", "trayer"):
            continue
        if owner_class is not None and node["class"] != owner_class:
            continue
        parent = node["parent"]
        while parent is not None and nodes[parent]["class"] != "trayer":
            parent = nodes[parent]["parent"]
        if parent is not None and is_mapped(wid, env):
            found.append(wid)
    return found


def has_tray_panel(env):
    return any(n["class"] == "trayer" for n in window_tree(env).values())


class Win:
    """What xwininfo says about one window."""

    def __init__(self, text):
        def field(name):
            m = re.search(r"^\s*%s:\s+(-?\d+|\S+)" % re.escape(name), text, re.M)
            return m.group(1) if m else None

        self.x = int(field("Absolute upper-left X"))
        self.y = int(field("Absolute upper-left Y"))
        self.width = int(field("Width"))
        self.height = int(field("Height"))
        self.mapped = field("Map State") == "IsViewable"
        self.override_redirect = field("Override Redirect State") == "yes"


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
            _kill(members)
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
            stat = _stat(pid)
            if pid not in ours and stat is not None and stat[0] == "Z":
                try:
                    os.waitpid(pid, os.WNOHANG)
                except ChildProcessError:
                    pass

    # -- the desktop

    def start(self):
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


# ---- running a suite ---------------------------------------------------------------------------


def main(usage, configure):
    """Runs the unittest cases of the calling script. configure(args) takes the script's own
    leading arguments (the built program and such) and returns how many it used; the rest go
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
