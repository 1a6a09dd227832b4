#!/usr/bin/env python3
"""A real click on the backend's tray icon, docked by Wine in a real tray host (trayer), must
reach the window as message 1025 with the mouse message in lParam.

    tray_click.py PROBE.exe

Runs on the display and Wine prefix of the Windows test run (scripts/test-windows.sh). Exits 77
(skipped) when there is no display or no trayer/xdotool.
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_support import run, stop_process, wait_for, window_tree  # noqa: E402

SKIP = 77
WAIT = 60


def tree():
    return window_tree(os.environ)


def mapped(wid):
    return "IsViewable" in run(["xwininfo", "-id", wid], os.environ, check=False)


def docked_icons():
    """Mapped windows of other programs inside trayer's panel: the embedded icons."""
    nodes, found = tree(), []
    for wid, node in nodes.items():
        if node["class"] in (None, "", "trayer"):
            continue
        parent = node["parent"]
        while parent is not None and nodes[parent]["class"] != "trayer":
            parent = nodes[parent]["parent"]
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
        if not docked_icons() and not any(n["class"] == "trayer" for n in tree().values()):
            procs.append(subprocess.Popen(
                ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                 "--height", "24", "--SetDockType", "true", "--transparent", "false"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for(lambda: any(n["class"] == "trayer" for n in tree().values()), WAIT,
                     "trayer's panel")
        before = set(docked_icons())
        program = subprocess.Popen(["wine", probe], stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, text=True)
        procs.append(program)
        first = program.stdout.readline().strip()
        if first != "added":
            raise AssertionError("the shell did not take the icon: %r" % first)
        icon = wait_for(lambda: [w for w in docked_icons() if w not in before], WAIT,
                        "the icon docked in the tray")[0]
        lines = []
        for button, expected in (("1", "1025 0x201"), ("3", "1025 0x204")):
            run(["xdotool", "mousemove", "--window", icon, "5", "5", "click", button], os.environ)
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
            stop_process(proc)


if __name__ == "__main__":
    sys.exit(main())
