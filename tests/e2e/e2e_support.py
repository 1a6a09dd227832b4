"""What the end-to-end tests share: their processes, waits and cleanup."""

import ctypes
import os
import re
import select
import signal
import subprocess
import time

WAIT = 20.0  # seconds for anything to happen; generous, a loaded machine is slow


def become_subreaper():
    # Whatever nautilus or the program leave behind comes to this test, to be killed and reaped.
    try:
        ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    except (OSError, AttributeError):
        pass


def children():
    me, found = os.getpid(), []
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/stat" % entry) as f:
                if int(f.read().rpartition(")")[2].split()[1]) == me:
                    found.append(int(entry))
        except (OSError, ValueError, IndexError):
            continue
    return found


def kill_everything():
    """Kills every child, and every descendant as it is handed over, until none is left."""
    for _ in range(200):
        pids = children()
        if not pids:
            return
        for pid in pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
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


def wait_for(predicate, timeout=WAIT, what="condition"):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
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


def spawn_reporting(spawn, args, what):
    """Starts a server that writes where it listens to a pipe and returns that line. `{fd}` in
    `args` stands for the pipe; spawn(args, pass_fds) starts the process."""
    read_fd, write_fd = os.pipe()
    try:
        spawn([a.replace("{fd}", str(write_fd)) for a in args], (write_fd,))
        os.close(write_fd)
        write_fd = -1
        return read_line(read_fd, what)
    finally:
        os.close(read_fd)
        if write_fd >= 0:
            os.close(write_fd)


def start_x_desktop(spawn, env, size, log=None):
    """A private Xvfb of `size` (w, h), numbered by the server itself, and openbox on it; sets
    env["DISPLAY"]. spawn(args, name, **kw) starts a process; log(name) reads its output for the
    failure message. -noreset: otherwise the server resets whenever its last client leaves,
    such as a probe, and drops whoever connects meanwhile."""
    env["DISPLAY"] = ":" + spawn_reporting(
        lambda args, fds: spawn(args, "xvfb", pass_fds=fds),
        ["Xvfb", "-displayfd", "{fd}", "-screen", "0", "%dx%dx24" % size, "-nolisten", "tcp",
         "-noreset"], "Xvfb")
    spawn(["openbox", "--sm-disable"], "openbox")
    try:
        wait_for(lambda: "window id" in run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                            env, check=False), what="openbox")
    except AssertionError:
        raise AssertionError("openbox did not start" + (": " + log("openbox") if log else ""))


def stop_process(proc):
    """Asks a process to end, kills it when it does not, and reaps it."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


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
