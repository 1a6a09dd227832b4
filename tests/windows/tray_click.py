#!/usr/bin/env python3
"""A real click on the backend's tray icon, docked by Wine in a real tray host (trayer), must
reach the window as message 1025 with the mouse message in lParam.

    tray_click.py PROBE.exe

Runs on the display and Wine prefix of the Windows test run (scripts/test-windows.sh). Exits 77
(skipped) when there is no display or no trayer/xdotool.
"""
import os
import re
import shutil
import subprocess
import sys
import time

SKIP = 77
WAIT = 30


def run(args, check=True):
    result = subprocess.run(args, capture_output=True, text=True, timeout=WAIT)
    if check and result.returncode != 0:
        raise RuntimeError("%s: %s" % (" ".join(args), result.stderr.strip()))
    return result.stdout


def wait_for(what, probe, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


TREE_LINE = re.compile(r'^(\s+)(0x[0-9a-f]+) (?:"(.*?)"|\(has no name\)):? \((?:"(.*?)" "(.*?)")?\)')


def tree():
    """Every window below the root: id -> (class, parent id)."""
    nodes, stack = {}, []
    for line in run(["xwininfo", "-root", "-tree"]).splitlines():
        m = TREE_LINE.match(line)
        if not m:
            continue
        depth = len(m.group(1))
        while stack and stack[-1][0] >= depth:
            stack.pop()
        nodes[m.group(2)] = (m.group(5) or "", stack[-1][1] if stack else None)
        stack.append((depth, m.group(2)))
    return nodes


def mapped(wid):
    return "IsViewable" in run(["xwininfo", "-id", wid], check=False)


def docked_icons():
    """Mapped windows of other programs inside trayer's panel: the embedded icons."""
    nodes, found = tree(), []
    for wid, (klass, parent) in nodes.items():
        if klass in ("", "trayer"):
            continue
        while parent is not None and nodes[parent][0] != "trayer":
            parent = nodes[parent][1]
        if parent is not None and mapped(wid):
            found.append(wid)
    return found


def main():
    probe = sys.argv[1]
    if not os.environ.get("DISPLAY") or not all(shutil.which(t) for t in ("trayer", "xdotool", "xwininfo", "wine")):
        print("needs a display, trayer, xdotool, xwininfo and wine")
        return SKIP
    procs = []
    try:
        if not docked_icons() and not any(k == "trayer" for k, _ in tree().values()):
            procs.append(subprocess.Popen(
                ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                 "--height", "24", "--SetDockType", "true", "--transparent", "false"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for("trayer's panel", lambda: any(k == "trayer" for k, _ in tree().values()))
        before = set(docked_icons())
        program = subprocess.Popen(["wine", probe], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        procs.append(program)
        first = program.stdout.readline().strip()
        if first != "added":
            raise AssertionError("the shell did not take the icon: %r" % first)
        icon = wait_for("the icon docked in the tray",
                        lambda: [w for w in docked_icons() if w not in before])[0]
        lines = []
        for button, expected in (("1", "1025 0x201"), ("3", "1025 0x204")):
            run(["xdotool", "mousemove", "--window", icon, "5", "5", "click", button])
            while expected not in lines:
                line = program.stdout.readline()
                if not line:
                    raise AssertionError("no %s; the probe said %r" % (expected, lines))
                lines.append(line.strip())
        code = program.wait(timeout=WAIT)
        if code != 0:
            raise AssertionError("the probe ended with %d after %r" % (code, lines))
        # Button-ups come as well, and never count as presses.
        print("messages:", ", ".join(lines))
        return 0
    finally:
        for proc in reversed(procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    proc.kill()


if __name__ == "__main__":
    sys.exit(main())
