"""The end-to-end harness's small tools: what the machine must have, processes and their
reaping, polling waits, and what the X server says of its windows.
"""

import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import time
import unittest

WAIT = 20.0  # seconds for anything to happen; generous, a loaded machine is slow


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


def process_stat(pid):
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
            stat = process_stat(entry)
            if stat is not None:
                yield int(entry), stat


def children():
    me = os.getpid()
    return [pid for pid, stat in _processes() if stat[1] == me]


def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            m = re.search(r"^VmRSS:\s+(\d+)", f.read(), re.M)
        return int(m.group(1)) if m else None
    except OSError:
        return None


def parent_of(pid):
    with open("/proc/%d/stat" % pid) as f:
        return int(f.read().rpartition(")")[2].split()[1])


def descendants(pid):
    """Every live process below pid."""
    found, todo = set(), [pid]
    while todo:
        parent = todo.pop()
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    if parent_of(int(entry)) == parent and int(entry) not in found:
                        found.add(int(entry))
                        todo.append(int(entry))
                except (OSError, ValueError, IndexError):
                    pass
    return found


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rpartition(")")[2].split()[0] != "Z"
    except OSError:
        return False


def maps_of(pid):
    try:
        with open("/proc/%d/maps" % pid) as f:
            return f.read()
    except OSError:
        return ""


def session_members(sid):
    return [pid for pid, stat in _processes() if stat[3] == sid]


def kill_all(pids, sig=signal.SIGKILL):
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
        kill_all(pids)
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
    fails, saying what it waited for and, when given, what detail() tells (any value)."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            told = detail() if detail is not None else None
            if told is not None and not isinstance(told, str):
                told = repr(told)
            raise AssertionError("timed out waiting for " + what +
                                 ("; " + told if told is not None else ""))
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
