#!/usr/bin/env python3
"""The installed program, as a new user meets it: started from /usr/bin on a desktop with a tray
host and a throwaway home, it records into ~/.config/TarvoKelmora/defualt.ini (never beside
itself, even as root) and ends with --quit, saving.

Usage: installed_program.py [/usr/bin/tarvokelmora]   (scripts/test-package.sh runs it)
"""

import os
import subprocess
import sys

from e2e_support import TITLE, DesktopTestCase, main, run, wait_for, wait_for_window


class InstalledProgramTest(DesktopTestCase):
    PROGRAM = "/usr/bin/tarvokelmora"  # unless the command line names another
    DESKTOP_ARGS = dict(tray=True, prefix="tk-installed-")
    TOOLS = ("xterm",)

    def test_records_into_the_users_config_and_quit_saves(self):
        desk = self.desk
        beside = os.path.join(os.path.dirname(self.PROGRAM), "defualt.ini")
        self.assertFalse(os.path.exists(beside), beside + " is there before the start")
        # Something to record: a real X program, open before the first sweep.
        desk.spawn(["xterm", "-title", "installed-check"], "xterm")
        wait_for(lambda: desk.search_title("installed-check"), what="xterm")

        program = desk.spawn([self.PROGRAM], "program")
        wait_for_window(desk, program)
        wait_for(lambda: desk.tray_icons("TarvoKelmora"), what="the tray icon in trayer",
                 detail=lambda: desk.log("program"))
        # Matched to its menu entry by the window class the entry names.
        window = desk.search_title(TITLE)[0]
        self.assertIn('"TarvoKelmora"', run(["xprop", "-id", window, "WM_CLASS"], desk.env))

        # The first sweep finds the xterm, and the save after a change writes it down.
        ini = os.path.join(desk.home, ".config", "TarvoKelmora", "defualt.ini")

        def saved():
            try:
                with open(ini, encoding="utf-8") as f:
                    return "/usr/bin/xterm" in f.read()
            except FileNotFoundError:
                return False
        wait_for(saved, what="the recorded xterm in " + ini, detail=lambda: desk.log("program"))
        # Gone from the disk, it must come back from --quit's save alone.
        os.unlink(ini)
        result = subprocess.run([self.PROGRAM, "--quit"], env=desk.env, capture_output=True,
                                text=True, timeout=90)
        self.assertEqual(result.returncode, 0, result.stderr)
        # Saved by the time --quit returns.
        with open(ini, encoding="utf-8") as f:
            text = f.read()
        self.assertEqual(program.wait(timeout=20), 0, desk.log("program"))
        self.assertIn("[default]", text)
        self.assertIn("/usr/bin/xterm", text, "the sweep's find was not saved")
        self.assertFalse(os.path.exists(beside), "the installed program wrote beside itself")
        self.assertEqual(os.stat(ini).st_mode & 0o077, 0, "the history is readable by others")

        again = subprocess.run([self.PROGRAM, "--quit"], env=desk.env, capture_output=True,
                               text=True, timeout=30)
        self.assertEqual(again.returncode, 1, "a second --quit found something running")


def configure(args):
    if args:
        InstalledProgramTest.PROGRAM = args[0]
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(__doc__, configure))
