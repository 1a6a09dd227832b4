#!/usr/bin/env python3
"""The built program's command line and the sessions it cannot or can only partly use.

Usage: test_command_line.py PATH/TO/tarvokelmora [unittest arguments]

The cases without a display run the program with a bare environment; the others bring up a
private desktop (Xvfb and openbox, no tray host) and name the history file on the command line,
so nothing beside the built program is touched.
"""

import os
import subprocess
import sys
import time
import tempfile

from e2e_support import TITLE, DesktopTestCase, end_program, main, wait_for, wait_for_window

NO_TRAY = "没有找到系统托盘"
# With no compositor to ask, the desktop says what is still recorded.
X11_ONLY = "只能记录通过 XWayland 运行的 X11 程序"


def bare_env(**extra):
    """No display, no session: what a shell over ssh or a service manager gives."""
    home = tempfile.mkdtemp(prefix="tk-cli-")
    os.chmod(home, 0o700)
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "LANG": "C.UTF-8",
           "XDG_RUNTIME_DIR": home, "XDG_CONFIG_HOME": os.path.join(home, "config")}
    env.update(extra)
    return env


def run_program(args, env, timeout=60):
    return subprocess.run([DesktopTestCase.PROGRAM] + args, env=env, capture_output=True, text=True,
                          timeout=timeout, stdin=subprocess.DEVNULL)


class WithoutDisplayTest(DesktopTestCase):
    SCOPE = None  # nothing on a display

    def test_help_version_and_mistakes_need_no_display(self):
        env = bare_env()
        for args in (["--help"], ["-h"]):
            result = run_program(args, env)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("--history <FILE>", result.stdout)
            self.assertIn("--quit", result.stdout)
            self.assertEqual(result.stderr, "")
        result = run_program(["--version"], env)
        self.assertEqual(result.returncode, 0)
        self.assertRegex(result.stdout, r"^TarvoKelmora \d+\.\d+")
        for args in (["--no-such-option"], ["stray"], ["--show", "--quit"]):
            result = run_program(args, env)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("tarvokelmora:", result.stderr)
            self.assertEqual(result.stdout, "")
        # Nothing was made for a command that did not run.
        self.assertEqual(os.listdir(env["HOME"]), [])

    def test_no_usable_display_is_said_in_both_languages_not_aborted(self):
        cases = [
            ({}, "DISPLAY"),
            ({"WAYLAND_DISPLAY": "wayland-0", "XDG_SESSION_TYPE": "wayland"}, "XWayland"),
            ({"DISPLAY": ":64999"}, ":64999"),
            ({"DISPLAY": ":64999", "WAYLAND_DISPLAY": "wayland-0"}, ":64999"),
        ]
        for extra, mentions in cases:
            result = run_program([], bare_env(**extra))
            self.assertEqual(result.returncode, 1, (extra, result.stderr))
            self.assertIn(mentions, result.stderr)
            self.assertIn("TarvoKelmora", result.stderr)
            self.assertRegex(result.stderr, "[\u4e00-\u9fff]")  # Chinese
            self.assertRegex(result.stderr, "(needs|cannot connect)")  # and English
            self.assertNotIn("qt.qpa", result.stderr)

    def test_no_home_or_a_shared_private_folder_ends_at_once(self):
        env = bare_env()
        del env["HOME"]
        start = time.monotonic()
        result = run_program([], env)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("HOME is not set", result.stderr)
        self.assertRegex(result.stderr, "[\u4e00-\u9fff]")
        self.assertLess(time.monotonic() - start, 5)  # said, not waited out
        env = bare_env()
        os.chmod(env["XDG_RUNTIME_DIR"], 0o777)
        for args in ([], ["--quit"]):
            result = run_program(args, env)
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn(env["XDG_RUNTIME_DIR"], result.stderr)
            self.assertIn("others can write", result.stderr)

    def test_quit_with_nothing_running(self):
        result = run_program(["--quit"], bare_env())
        self.assertEqual(result.returncode, 1)
        self.assertIn("not running", result.stderr)


class OnDesktopTest(DesktopTestCase):

    def setUp(self):
        super().setUp()
        self.history = os.path.join(self.desk.tmp, "second", "keep", "two.ini")

    def start(self, args, env=None):
        proc = self.desk.spawn([self.PROGRAM, "--history", self.history] + args, "program",
                               env=env)
        wait_for_window(self.desk, proc)
        return proc

    def test_named_history_show_and_quit_without_a_tray(self):
        proc = self.start([])
        # No tray here: said once, and the window stays reachable.
        wait_for(lambda: NO_TRAY in self.desk.log("program"), what="the no-tray notice",
                 detail=lambda: self.desk.log("program"))
        # Put out of sight (minimised: there is no icon to click), --show brings it back.
        window = self.desk.search_title(TITLE)[0]
        self.desk.xdotool("windowminimize", window)
        # Unmapped, not merely missing from one search (which a moving window can be).
        wait_for(lambda: (lambda info: info is not None and not info.mapped)(self.desk.info(window)),
                 what="the window to be minimised")
        result = run_program(["--history", self.history, "--show"], self.desk.env)
        self.assertEqual(result.returncode, 0, result.stderr)
        wait_for(lambda: self.desk.search_title(TITLE), what="the window back after --show")
        self.assertIsNone(proc.poll(), "--show ended the running program")
        # Counted a few times over a second: a search while the window manager places a window
        # can come back empty, and a second instance's window would show up meanwhile.
        counts = []
        for _ in range(5):
            counts.append(len(self.desk.search_title(TITLE, visible=False)))
            time.sleep(0.2)
        self.assertEqual(max(counts), 1, "--show started a second one: %r" % counts)
        self.assertEqual(run_program(["--quit"], self.desk.env).returncode, 1,
                         "--quit reached an instance of another history file")

        result = run_program(["--history=" + self.history, "--quit"], self.desk.env)
        self.assertEqual(result.returncode, 0, result.stderr)
        # Saved by the time --quit returns; the process itself is a moment from its end.
        with open(self.history, encoding="utf-8") as f:
            self.assertIn("[default]", f.read())
        self.assertEqual(proc.wait(timeout=20), 0)
        self.assertEqual(self.desk.log("program").count(NO_TRAY), 1)

    def test_wayland_session_with_xwayland_runs_on_x11_and_says_so(self):
        env = dict(self.desk.env, WAYLAND_DISPLAY="wayland-tk-absent", XDG_SESSION_TYPE="wayland")
        env.pop("QT_QPA_PLATFORM")
        proc = self.start([], env=env)
        wait_for(lambda: X11_ONLY in self.desk.log("program"), what="the Wayland notice",
                 detail=lambda: self.desk.log("program"))
        self.assertEqual(self.desk.log("program").count(X11_ONLY), 1)
        self.assertEqual(end_program(self.desk, proc, timeout=60), 0)


if __name__ == "__main__":
    sys.exit(main(__doc__))
