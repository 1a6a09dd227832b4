#!/usr/bin/env python3
"""The built program on a real desktop: Xvfb, openbox and trayer as the tray host.

Usage: test_tray.py PATH/TO/tarvokelmora [unittest arguments, e.g. TrayTest.test_menu_exit]

Every case starts its own X server, window manager and tray, runs a private copy of the
program (so the defualt.ini beside it is the test's own) and drives it the way a person
would: clicks on the docked tray icon, the tray menu, the close request, keys in the
question box. Nothing here waits on a fixed time; waits poll for a state with a timeout.
"""

import glob
import math
import os
import re
import socket
import stat
import subprocess
import time

from e2e_support import TITLE, WAIT, Desktop, DesktopTestCase, end_program, main, run, wait_for

SCREEN_W, SCREEN_H = 1024, 768
STEP = 15


class TrayDesktop(Desktop):
    """The private desktop with the tray host, and the window-frame queries of these cases."""

    def __init__(self):
        super().__init__(size=(SCREEN_W, SCREEN_H), tray=True)

    def info(self, wid):
        # A query can meet the window manager's frame just as it goes: ask again.
        for _ in range(20):
            w = super().info(wid)
            if w is not None:
                return w
            time.sleep(0.01)
        raise RuntimeError("xwininfo -id %s found no window" % wid)

    def frame(self, wid, extents):
        """The window's frame as (left, top, width, height), and whether it is mapped: the
        client's place and size widened by the window manager's frame extents (read once:
        openbox drops them from a window it lets go of, while it is being sampled)."""
        w = self.info(wid)
        left, right, top, bottom = extents
        return (w.x - left, w.y - top, w.width + left + right, w.height + top + bottom), w.mapped

    def frame_extents(self, wid):
        out = run(["xprop", "-id", wid, "_NET_FRAME_EXTENTS"], self.env, check=False)
        numbers = [int(n) for n in re.findall(r"-?\d+", out.partition("=")[2])]
        return numbers if len(numbers) == 4 else [0, 0, 0, 0]


# ---- the program ---------------------------------------------------------------------------

SEED_INI = (
    "[default]\n"
    "RunSelectDoc=0\n"
    "CbRefresh=0\n"
    "QueryAutoRunDoc=0\n"
    "ActivePageIndex=2\n"
    "CheckDocInterval=30000\n"
    "width=640\n"
    "height=400\n"
    "[docs]\n"
    "path0=http://www.example.com/news/index.html\n"
    "name0=示例新闻\n"
    "doctype0=1\n"
    "selected0=0\n"
    "path1=http://www.example.com/docs/guide.html\n"
    "name1=Example Guide\n"
    "doctype1=1\n"
    "selected1=1\n"
    "path2=https://secure.example.org/account/login\n"
    "name2=Secure Login\n"
    "doctype2=1\n"
    "selected2=0\n"
    "[display]\n"
    "path0=C:\\old\n"
    "display0=kept as it is\n"
)

SEEDED_DOCS = [
    ("http://www.example.com/news/index.html", "示例新闻", "1", "0"),
    ("http://www.example.com/docs/guide.html", "Example Guide", "1", "1"),
    ("https://secure.example.org/account/login", "Secure Login", "1", "0"),
]


def read_ini(path):
    sections, current = {}, None
    with open(path, encoding="utf-8") as f:
        for raw in f.read().splitlines():
            line = raw.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1].lower(), {})
            elif "=" in line and current is not None:
                key, _, value = line.partition("=")
                current.setdefault(key.strip().lower(), value)
    return sections


class TrayTest(DesktopTestCase):
    DESKTOP = TrayDesktop
    TOOLS = ("wmctrl",)

    def start_program(self, seed=None):
        started = self.launch(ini=seed)
        self.program, self.exe, self.ini = started.proc, started.exe, started.ini
        self.window = started.window[0]
        # Framed and placed: openbox has put its extents on it.
        self.extents = wait_for(lambda: any(self.desk.frame_extents(self.window))
                                and self.desk.frame_extents(self.window), what="its frame")
        self.icon = wait_for(self.docked_icon, what="the icon docked in the tray")

    def docked_icons(self):
        """The program's windows that trayer has embedded and shows."""
        return self.desk.tray_icons("TarvoKelmora")

    def docked_icon(self):
        icons = self.docked_icons()
        return icons[0] if len(icons) == 1 else None

    def mapped_popups(self):
        """The program's override-redirect windows on screen: menus and tool tips."""
        found = []
        for wid, node in self.desk.tree().items():
            if node["parent"] is None and node["class"] == "TarvoKelmora":
                w = self.desk.info(wid)
                if w.mapped and w.override_redirect:
                    found.append(wid)
        return found

    def click_icon(self, button):
        self.desk.xdotool("mousemove", "--window", self.icon, "5", "5", "click", str(button))

    def wait_exit(self):
        try:
            return self.program.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            asking = self.desk.search_title("提示")
            self.fail("the program did not exit%s; its output:\n%s"
                      % (", a question is open" if asking else "", self.desk.log("program")))

    def settled_frame(self):
        """The frame once it has held still, shown, for a few readings in a row."""
        readings = []
        end = time.monotonic() + WAIT
        while time.monotonic() < end:
            rect, mapped = self.desk.frame(self.window, self.extents)
            if mapped and readings and readings[-1] == rect:
                readings.append(rect)
            else:
                readings = [rect] if mapped else []
            if len(readings) == 4:
                return rect
            time.sleep(0.05)
        self.fail("the window does not hold still")

    def question(self):
        return wait_for(lambda: self.desk.search_title("提示"),
                        what='the question "提示"')[0]

    def answer(self, dialog, key):
        """Presses key in the question box, once it has the keyboard."""
        def focused():
            self.desk.xdotool("windowactivate", "--sync", dialog, check=False)
            return int(self.desk.xdotool("getwindowfocus", "-f", check=False) or 0) == int(dialog)

        wait_for(focused, what="the question to take the keyboard")
        self.desk.xdotool("key", "--clearmodifiers", key)

    def slide(self, until):
        """Samples the frame from now until until(rect, mapped); returns the samples."""
        samples = []
        end = time.monotonic() + WAIT
        while time.monotonic() < end:
            rect, mapped = self.desk.frame(self.window, self.extents)
            if not samples or samples[-1] != (rect, mapped):
                samples.append((rect, mapped))
            if until(rect, mapped):
                return samples
        self.fail("the slide did not finish: %r" % samples[-5:])

    def assert_steps_of_15(self, xs, origin, frame_width):
        # openbox keeps a tenth of a client-moved window on screen, so near the right edge
        # the frame may stand there instead of further out.
        kept = SCREEN_W - frame_width // 10
        off_grid = [x for x in xs if (x - origin) % STEP != 0 and x != kept]
        self.assertEqual(off_grid, [], "positions off the %d-px steps from %d: %r"
                         % (STEP, origin, xs))

    # ---- the cases -------------------------------------------------------------------------

    def test_opens_in_the_lower_right_corner(self):
        self.start_program(SEED_INI)

        def at_start(rect):
            left, top, w, h = rect
            return (left, top) == (SCREEN_W - w - 30, SCREEN_H - h - 40)

        # The window may first show where it stood before the window manager framed it.
        try:
            wait_for(lambda: at_start(self.desk.frame(self.window, self.extents)[0]))
        except AssertionError:
            pass
        left, top, w, h = self.settled_frame()
        self.assertTrue(at_start((left, top, w, h)), "frame %dx%d at (%d, %d), not (%d, %d)"
                        % (w, h, left, top, SCREEN_W - w - 30, SCREEN_H - h - 40))
        # The stored 640 x 400 is not applied: the window opens 500 x 480, frame included.
        self.assertEqual((w, h), (500, 480), "the outer size")

    def test_tray_clicks_slide_out_and_back_in(self):
        self.start_program(SEED_INI)
        start_left, top, w, h = self.settled_frame()

        self.click_icon(1)
        out = self.slide(lambda rect, mapped: not mapped)
        xs = [rect[0] for rect, mapped in out if mapped]
        self.assertEqual(xs, sorted(xs), "slid out to the right only")
        self.assertGreaterEqual(len(set(xs) - {start_left}), 2, "moved in steps: %r" % xs)
        self.assert_steps_of_15(xs, start_left, w)
        self.assertEqual({rect[1] for rect, mapped in out if mapped}, {top}, "the top edge stays")

        # Hidden now; the next click brings it in from beyond the right edge.
        self.click_icon(1)
        rest_left = SCREEN_W - STEP * math.ceil((w + 20) / STEP)
        rest_top = SCREEN_H - 50 - h
        back = self.slide(lambda rect, mapped: mapped and rect[0] <= SCREEN_W - w - 20)
        final = self.settled_frame()
        xs = [rect[0] for rect, mapped in back if mapped] + [final[0]]
        self.assertEqual(final, (rest_left, rest_top, w, h), "rest after sliding in, from %r" % xs)
        self.assertEqual(xs, sorted(xs, reverse=True), "slid in to the left only")
        self.assert_steps_of_15(xs, SCREEN_W, w)
        self.assertEqual({rect[1] for rect, mapped in back if mapped}, {rest_top})

    def test_menu_exit_asks_then_saves_history(self):
        self.start_program(SEED_INI)
        _, _, w, h = self.settled_frame()
        popups_before = set(self.mapped_popups())

        self.click_icon(3)
        opened = wait_for(lambda: set(self.mapped_popups()) - popups_before, what="the tray menu")
        # Should the icon's tool tip have come up too, the menu is the taller one.
        menu = max((self.desk.info(wid) for wid in opened), key=lambda w: w.height)
        # Two items, opened at the pointer by the icon at the top right.
        self.assertGreater(menu.height, 30)
        self.assertGreater(menu.x + menu.width, SCREEN_W - 100)
        self.assertLess(menu.y, 100)
        # The open menu takes the keys: E is the mnemonic of 退出(&E).
        self.desk.xdotool("key", "e")
        self.answer(self.question(), "Return")  # Yes is the default button
        self.assertEqual(self.wait_exit(), 0)

        ini = read_ini(self.ini)
        default = ini["default"]
        self.assertEqual(
            {k: default.get(k.lower()) for k in ("RunSelectDoc", "CbRefresh", "QueryAutoRunDoc",
                                                 "ActivePageIndex", "CheckDocInterval")},
            {"RunSelectDoc": "0", "CbRefresh": "0", "QueryAutoRunDoc": "0",
             "ActivePageIndex": "2", "CheckDocInterval": "30000"})
        self.assertEqual((default.get("width"), default.get("height")), (str(w), str(h)),
                         "the size of the window at exit")
        docs = ini["docs"]
        stored = []
        k = 0
        while "name%d" % k in docs:
            stored.append(tuple(docs.get(key % k) for key in
                                ("path%d", "name%d", "doctype%d", "selected%d")))
            k += 1
        # The sweep may have recorded this desktop's own programs after them.
        self.assertEqual(stored[:3], SEEDED_DOCS, "history in order: %r" % stored)
        self.assertEqual(ini["display"], {"path0": "C:\\old", "display0": "kept as it is"})

    def test_second_start_hands_over_and_brings_the_window_back(self):
        self.start_program(SEED_INI)
        self.settled_frame()
        self.click_icon(1)
        self.slide(lambda rect, mapped: not mapped)

        # Other clients of the user's socket that connect and never speak hold nothing up.
        sockets = glob.glob(os.path.join(self.desk.env["XDG_RUNTIME_DIR"], "TarvoKelmora-*.socket"))
        self.assertEqual(len(sockets), 1, sockets)
        self.assertEqual(stat.S_IMODE(os.stat(sockets[0]).st_mode) & 0o077, 0, "only the user's")
        silent = []
        for _ in range(3):
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.connect(sockets[0])
            silent.append(s)
        second = subprocess.run([self.exe], env=self.desk.env, capture_output=True,
                                timeout=WAIT, stdin=subprocess.DEVNULL)
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertIsNone(self.program.poll(), "the first one keeps running")
        back = self.slide(lambda rect, mapped: mapped and rect[0] <= SCREEN_W - rect[2] - 20)
        left, _, w, _ = back[-1][0]
        self.assertLessEqual(left + w, SCREEN_W, "fully on screen again")
        self.assertEqual(len(self.desk.search_title(TITLE, visible=False)), 1, "one main window")
        self.assertEqual(self.docked_icons(), [self.icon], "one tray icon")
        for s in silent:
            s.close()

    def test_close_asks_and_no_keeps_running(self):
        self.start_program()
        self.close_window()
        dialog = self.question()
        self.answer(dialog, "Escape")  # Escape answers No
        wait_for(lambda: not self.desk.search_title("提示"),
                 what="the question to go")
        self.assertIsNone(self.program.poll(), "still running after No")
        self.assertTrue(self.desk.info(self.window).mapped, "the window stays")
        self.assertFalse(os.path.exists(self.ini), "nothing saved before the end")

        self.close_window()
        self.answer(self.question(), "Return")
        self.assertEqual(self.wait_exit(), 0)
        default = read_ini(self.ini)["default"]
        self.assertEqual(default.get("cbrefresh"), "1")
        self.assertEqual(default.get("checkdocinterval"), "12000")

    def test_termination_signal_saves_history(self):
        # The polite end a session or a service manager asks for: the history is kept.
        self.start_program(SEED_INI)
        self.settled_frame()
        self.assertEqual(end_program(self.desk, self.program), 0)
        ini = read_ini(self.ini)
        # The window opened 500 x 480 with its frame, and is stored so.
        self.assertEqual((ini["default"].get("width"), ini["default"].get("height")),
                         ("500", "480"), "saved at the end")
        self.assertEqual(ini["docs"].get("path2"), SEEDED_DOCS[2][0])

    def close_window(self):
        # What the title bar's close button does: the window manager asks the window to close
        # (WM_DELETE_WINDOW). Aimed at this window, whatever else has the keyboard.
        run(["wmctrl", "-i", "-c", self.window], self.desk.env)


if __name__ == "__main__":
    raise SystemExit(main(__doc__))
