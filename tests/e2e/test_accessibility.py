#!/usr/bin/python3
"""What a screen reader finds in the program's window, read over AT-SPI.

Usage: test_accessibility.py PATH/TO/tarvokelmora [unittest arguments]

One private X desktop (Xvfb, openbox) with a private session bus and the accessibility bus
(at-spi-bus-launcher) on it. The program starts with Qt's accessibility switched on; each
reading runs Debian's python3 with pyatspi in a process of its own, so that every reading is
fresh, and returns the accessible tree of the program as JSON.
"""

import json
import os
import subprocess

from e2e_support import (TITLE, Desktop, DesktopTestCase, main, require, run, wait_for,
                         wait_for_window)

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TABS = ["全部", "软件", "文件夹", "网页", "系统", "设置"]
SYSTEM_PAGE = 4

# Prints the accessible tree of every application called argv[1] as JSON. With "press NAME",
# first presses the page tab called NAME through its action.
READER = r"""
import json, sys
import pyatspi

def states(acc):
    out = []
    for s in acc.getState().getStates():
        out.append(getattr(s, "value_nick", str(s)))
    return out

# The roles the test reads, by their number: newer AT-SPI names them otherwise ("button").
ROLES = {pyatspi.ROLE_PUSH_BUTTON: "push button", pyatspi.ROLE_PAGE_TAB: "page tab",
         pyatspi.ROLE_PAGE_TAB_LIST: "page tab list",
         pyatspi.ROLE_TABLE_COLUMN_HEADER: "table column header"}

def role(acc):
    return ROLES.get(acc.getRole(), acc.getRoleName())

def node(acc, depth):
    item = {"role": role(acc), "name": acc.name or "", "states": states(acc),
            "children": []}
    if depth < 30:
        for i in range(min(acc.childCount, 300)):
            child = acc.getChildAtIndex(i)
            if child is not None:
                item["children"].append(node(child, depth + 1))
    return item

def walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)

desktop = pyatspi.Registry.getDesktop(0)
apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
apps = [a for a in apps if a is not None and (a.name or "").lower() == sys.argv[1].lower()]
if len(sys.argv) > 3 and sys.argv[2] == "press":
    for app in apps:
        for acc in walk(app):
            if acc.getRole() == pyatspi.ROLE_PAGE_TAB and acc.name == sys.argv[3]:
                action = acc.queryAction()
                for k in range(action.nActions):
                    if action.getName(k) in ("press", "Press"):
                        action.doAction(k)
print(json.dumps([node(a, 0) for a in apps], ensure_ascii=False))
"""


def nodes(tree):
    yield tree
    for child in tree["children"]:
        yield from nodes(child)


def chinese(text):
    return any("\u4e00" <= ch <= "\u9fff" for ch in text)


class AccessibleDesktop(Desktop):
    def __init__(self):
        super().__init__(bus=True, prefix="tk-a11y-")

    def start(self):
        super().start()
        require(os.access(LAUNCHER, os.X_OK), "at-spi2-core is not installed")
        require(subprocess.run(["/usr/bin/python3", "-c", "import pyatspi"],
                               capture_output=True).returncode == 0,
                "python3-pyatspi is not installed")
        self.spawn([LAUNCHER, "--launch-immediately"], "at-spi")
        return self

    def read(self, *extra):
        """The program's accessible trees; [] while it is not on the accessibility bus."""
        result = subprocess.run(["/usr/bin/python3", "-c", READER, "TarvoKelmora"] + list(extra),
                                env=self.env, capture_output=True, text=True, timeout=60)
        if result.returncode != 0:
            return []
        return json.loads(result.stdout or "[]")


class AccessibilityTest(DesktopTestCase):
    DESKTOP = AccessibleDesktop
    SCOPE = "class"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        env = dict(cls.desk.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        env.pop("NO_AT_BRIDGE", None)
        ini = ("[default]\nRunSelectDoc=0\nCbRefresh=0\nQueryAutoRunDoc=0\n"
               "ActivePageIndex=%d\n[docs]\npath0=http://example.invalid/p\nname0=p\n"
               % SYSTEM_PAGE)
        cls.program = cls.desk.start_program(cls.PROGRAM, ini=ini, env=env).proc
        cls.window = wait_for_window(cls.desk, cls.program)[0]

    def frame(self, *extra):
        """The main window's accessible tree, once it shows the six tabs."""
        found = {}

        def ready():
            for app in self.desk.read(*extra):
                for item in nodes(app):
                    if item["name"] == TITLE and \
                            any(n["role"] == "page tab list" and len(n["children"]) == 6
                                for n in nodes(item)):
                        found["frame"] = item
                        return True
            return False
        wait_for(ready, what="the window on the accessibility bus")
        return found["frame"]

    def tabs(self, frame):
        lists = [n for n in nodes(frame) if n["role"] == "page tab list"]
        self.assertEqual(len(lists), 1)
        return lists[0]["children"]

    def test_1_tabs_and_system_buttons_have_chinese_names(self):
        frame = self.frame()
        tabs = self.tabs(frame)
        self.assertEqual([t["role"] for t in tabs], ["page tab"] * 6)
        self.assertEqual([t["name"] for t in tabs], TABS)
        self.assertIn("selected", tabs[SYSTEM_PAGE]["states"])

        buttons = [n for n in nodes(frame) if n["role"] == "push button" and "showing" in n["states"]]
        self.assertEqual(len(buttons), 15, [b["name"] for b in buttons])
        for button in [n for n in nodes(frame) if n["role"] in ("push button", "page tab")]:
            self.assertTrue(chinese(button["name"]), "unnamed %s: %r" % (button["role"], button))
        # The trees show no header, and none is read out.
        headers = [n for n in nodes(frame) if n["role"] == "table column header"]
        self.assertFalse([h for h in headers if h["name"]], headers)

    def test_2_tabs_turn_by_press_and_keys(self):
        frame = self.frame("press", "设置")
        wait_for(lambda: "selected" in self.tabs(self.frame())[5]["states"],
                 what="the settings page through the tab's press")
        frame = self.frame()
        buttons = [n for n in nodes(frame) if n["role"] == "push button" and "showing" in n["states"]]
        self.assertTrue(buttons)
        for button in buttons:
            self.assertTrue(chinese(button["name"]), "unnamed button: %r" % button)
        # A click on the chosen tab gives the strip the keyboard; Left turns to the page
        # before.
        run(["xdotool", "windowactivate", "--sync", self.window], self.desk.env, check=False)
        geometry = self.desk.info(self.window)
        self.desk.xdotool("mousemove", str(geometry.x + 10 + 338), str(geometry.y + 13 + 12),
                          "click", "1")
        wait_for(lambda: "focused" in self.tabs(self.frame())[5]["states"],
                 what="the strip to take the keyboard")
        self.desk.xdotool("key", "Left")
        wait_for(lambda: "selected" in self.tabs(self.frame())[4]["states"],
                 what="Left to turn to the system page")

    def test_3_close_question_answers_in_chinese(self):
        run(["wmctrl", "-i", "-c", self.window], self.desk.env, check=False)
        names = {}

        def question_buttons():
            for app in self.desk.read():
                for item in app["children"]:  # the application's windows
                    texts = [n["name"] for n in nodes(item) if n["role"] == "push button"]
                    if any("要退出系统吗" in n["name"] for n in nodes(item)) and texts:
                        names["buttons"] = texts
                        return True
            return False
        wait_for(question_buttons, what="the close question")
        self.assertEqual(sorted(n[0] for n in names["buttons"]), ["否", "是"], names)
        self.desk.xdotool("key", "Escape")  # No: the program goes on
        wait_for(lambda: not self.desk.search_title("提示"), what="the question to go")
        self.assertIsNone(self.program.poll())


if __name__ == "__main__":
    raise SystemExit(main(__doc__))
