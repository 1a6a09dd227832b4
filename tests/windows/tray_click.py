#!/usr/bin/env python3
"""A real click on the backend's tray icon, docked by Wine in a real tray host (trayer), must
reach the window as message 1025 with the mouse message in lParam.

    tray_click.py PROBE.exe

Runs on the display and Wine prefix of the Windows test run (scripts/test-windows.sh). Without
a display or trayer/xdotool/xwininfo/wine it exits 77 (skipped), or fails under CI=true.
"""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_support import (SKIPPED, TRAYER, has_tray_panel, require, require_tools,  # noqa: E402
                         run, stop_process, tray_icons, wait_for)

WAIT = 60


def docked_icons():
    """Mapped windows of other programs inside trayer's panel: the embedded icons."""
    return tray_icons(os.environ)


def main():
    probe = sys.argv[1]
    try:
        require(os.environ.get("DISPLAY"), "no display for Wine's windows")
        require_tools("trayer", "xdotool", "xwininfo", "wine")
    except unittest.SkipTest as skip:
        print("SKIP: %s" % skip)
        return SKIPPED
    procs = []
    try:
        if not docked_icons() and not has_tray_panel(os.environ):
            procs.append(subprocess.Popen(TRAYER, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL))
            wait_for(lambda: has_tray_panel(os.environ), WAIT, "trayer's panel")
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
