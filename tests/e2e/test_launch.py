#!/usr/bin/env python3
"""Clicks on history entries open them through the desktop's real default applications.

Usage: test_launch.py PATH/TO/tarvokelmora [unittest arguments]

One private X desktop (Xvfb, openbox) with a private session bus. The test makes its own
default-application set-up in private XDG folders: a desktop entry whose command is a small
recording script, made the handler of web addresses, folders and text files by a
mimeapps.list. For each case a private copy of the program starts on the tree that holds the
case's entry, the entry's row is clicked, and what the recording script (or the program entry,
itself a recording script) was started with is compared with the exact target.
"""

import json
import os
import subprocess
import tempfile
import time

from e2e_support import TITLE, Desktop, DesktopTestCase, main, wait_for

RECORD_ENV = "TK_LAUNCH_RECORD"
END_OF_CALL = "--end of call--"
WEB_ADDRESS = "http://example.invalid/page.html"
FOLDER = "资料 目录"

# Pages of the tree control, in tab order.
PAGE_PROGRAMS, PAGE_FOLDERS, PAGE_WEB = 1, 2, 3
# The first row's centre in the client area: the 10-px frame and 13-px strip above the tabs,
# the 24-px tab strip, half a row; far enough right to hit the label, not the branch sign.
FIRST_ROW = (10 + 60, 13 + 24 + 9)

# Appends its whole command line, one argument a line, to the file the environment names.
RECORDER = """#!/usr/bin/python3
import os, sys
with open(os.environ["%s"], "a", encoding="utf-8") as f:
    f.write("".join(a + "\\n" for a in sys.argv) + "%s\\n")
""" % (RECORD_ENV, END_OF_CALL)

HANDLED_TYPES = ["x-scheme-handler/http", "x-scheme-handler/https", "x-scheme-handler/mailto",
                 "inode/directory", "text/plain"]

# ---- the desktop ---------------------------------------------------------------------------


class LaunchDesktop(Desktop):
    """The private desktop with a session bus, the program's messages in its output, and the
    desktop's default applications set up from the private data folder only."""

    def __init__(self, tray=False):
        super().__init__(tray=tray, bus=True, prefix="tk-launch-")
        data = self.env["XDG_DATA_HOME"]
        self.env.update(XDG_DATA_DIRS=data + ":/usr/share",
                        QT_LOGGING_RULES="tarvokelmora.messages.info=true",
                        QT_MESSAGE_PATTERN="%{message}")

    def window(self, title):
        found = self.search_title(title)
        return found[0] if len(found) == 1 else None

    def client_origin(self, wid):
        """The window's client area, top left, on the screen; None while it is not shown."""
        w = self.info(wid)
        return (w.x, w.y) if w is not None and w.mapped else None

    def click(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def setup_default_applications(self):
        """The recording script as the default application for what the program opens."""
        bin_dir = os.path.join(self.tmp, "bin")
        os.mkdir(bin_dir)
        self.recorder = os.path.join(bin_dir, "recorder")
        with open(self.recorder, "w") as f:
            f.write(RECORDER)
        os.chmod(self.recorder, 0o755)
        applications = os.path.join(self.env["XDG_DATA_HOME"], "applications")
        os.makedirs(applications)
        with open(os.path.join(applications, "recorder.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Recorder\nExec=%s %%u\n"
                    "MimeType=%s;\n" % (self.recorder, ";".join(HANDLED_TYPES)))
        os.makedirs(self.env["XDG_CONFIG_HOME"])
        with open(os.path.join(self.env["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\n" +
                    "".join("%s=recorder.desktop\n" % t for t in HANDLED_TYPES))


def seed_ini(page, docs, reopen=False):
    """The settings file with the given page in front and docs as (location, name, type);
    with reopen, every doc is marked to open at start, without the question."""
    lines = ["[default]", "RunSelectDoc=%d" % reopen, "CbRefresh=0", "QueryAutoRunDoc=0",
             "ActivePageIndex=%d" % page, "CheckDocInterval=30000", "[docs]"]
    for k, (location, name, doctype) in enumerate(docs):
        lines += ["path%d=%s" % (k, location), "name%d=%s" % (k, name),
                  "doctype%d=%d" % (k, doctype), "selected%d=%d" % (k, reopen)]
    return "\n".join(lines) + "\n"


# ---- the cases -----------------------------------------------------------------------------


class LaunchTest(DesktopTestCase):
    DESKTOP = LaunchDesktop
    SCOPE = "class"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.desk.setup_default_applications()

    def setUp(self):
        super().setUp()
        self.run_dir = tempfile.mkdtemp(prefix="case-", dir=self.desk.tmp)
        self.record = os.path.join(self.run_dir, "record")
        self.desk.env[RECORD_ENV] = self.record

    def start_program(self, page, docs, reopen=False):
        self.log_name = os.path.relpath(os.path.join(self.run_dir, "program"), self.desk.tmp)
        # The window once it is the only one of its title.
        launched = self.launch(ini=seed_ini(page, docs, reopen),
                               folder=os.path.join(self.run_dir, "app"), name=self.log_name,
                               shown=lambda: self.desk.window(TITLE))
        self.program, wid = launched.proc, launched.window
        try:
            # Placed for good: the same place on a few readings in a row.
            readings = []

            def settled():
                readings.append(self.desk.client_origin(wid))
                return len(readings) >= 4 and readings[-1] is not None and \
                    len(set(readings[-4:])) == 1 and readings[-1]
            self.origin = wait_for(settled, what="the window to hold still")
        except AssertionError as e:
            self.fail(self.failure(str(e)))

    def failure(self, what):
        return "%s; the program's output:\n%s" % (what, self.desk.log(self.log_name)[-3000:])

    def click_first_row(self, times):
        x, y = self.origin[0] + FIRST_ROW[0], self.origin[1] + FIRST_ROW[1]
        for i in range(times):
            if i:
                # Past the double-click interval: a second click of its own, not a double click.
                time.sleep(0.8)
            self.desk.click(x, y)

    def calls(self):
        """The recorded command lines, each a list of arguments."""
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as f:
            text = f.read()
        calls, current = [], []
        for line in text.split("\n"):
            if line == END_OF_CALL:
                calls.append(current)
                current = []
            elif line or current:
                current.append(line)
        return calls

    def wait_calls(self):
        try:
            wait_for(self.calls, what="a recorded start")
        except AssertionError as e:
            self.fail(self.failure(str(e)))
        # Whatever a second, unwanted start would have been, it came with the click.
        time.sleep(1.0)
        return self.calls()

    def test_a_program_entry_is_started_by_one_click(self):
        tool = os.path.join(self.run_dir, "bin", "tool")
        os.mkdir(os.path.dirname(tool))
        with open(tool, "w") as f:
            f.write(RECORDER)
        os.chmod(tool, 0o755)
        self.start_program(PAGE_PROGRAMS, [(tool, "tool", 2)])
        self.click_first_row(1)
        # Started as it is, by its own path, with nothing added.
        self.assertEqual(self.wait_calls(), [[tool]])

    def test_a_program_recorded_as_its_desktop_entry_starts_the_entry(self):
        # What the sweep records for a script run by its interpreter: the entry it was started
        # from, in the user's applications folder, under its command's name.
        tool = os.path.join(self.run_dir, "bin", "tk-script-tool")
        os.mkdir(os.path.dirname(tool))
        with open(tool, "w") as f:
            f.write(RECORDER)
        os.chmod(tool, 0o755)
        entry = os.path.join(self.desk.env["XDG_DATA_HOME"], "applications",
                             "tk-script-tool-%s.desktop" % os.path.basename(self.run_dir))
        with open(entry, "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Tool\nExec=%s --from-entry\n"
                    % tool)
        self.start_program(PAGE_PROGRAMS, [(entry, "tk-script-tool", 2)])
        self.click_first_row(1)
        self.assertEqual(self.wait_calls(), [[tool, "--from-entry"]])

    def test_a_folder_entry_opens_in_the_default_application(self):
        folder = os.path.join(self.desk.home, FOLDER)
        os.makedirs(folder, exist_ok=True)
        location = "file://" + folder
        self.start_program(PAGE_FOLDERS, [(location, location, 3)])
        self.click_first_row(2)
        # The path exactly: the blank and the Chinese as they are, no %-escapes, no quotes.
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, folder]])

    def test_a_web_entry_opens_its_site_in_the_default_application(self):
        self.start_program(PAGE_WEB, [(WEB_ADDRESS, WEB_ADDRESS, 1)])
        self.click_first_row(2)
        # The first row is the site; it opens as an http address.
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, "http://example.invalid"]])

    def test_a_page_opens_only_as_the_address_it_was_recorded_as(self):
        # Shown without its scheme, this site reads "mailto:x@evil.example", which the desktop
        # would hand to the mail program: the click opens the recorded http address.
        page = "http://mailto:x@evil.example/p"
        self.start_program(PAGE_WEB, [(page, page, 1)])
        self.click_first_row(2)
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, "http://mailto:x@evil.example"]])

    def test_marked_entries_reopen_at_start_exactly_as_stored(self):
        # A secure page keeps its scheme; folders whose names a URI parser would cut or
        # unescape open as the paths they are.
        page = "https://example.invalid/p?q=1"
        folders = [os.path.join(self.desk.home, name) for name in ("C# notes", "100%")]
        for folder in folders:
            os.makedirs(folder, exist_ok=True)
        docs = [(page, page, 1)] + [("file://" + f, "file://" + f, 3) for f in folders]
        self.start_program(PAGE_WEB, docs, reopen=True)
        try:
            wait_for(lambda: len(self.calls()) >= 3, what="three recorded starts")
        except AssertionError as e:
            self.fail(self.failure(str(e)))
        time.sleep(1.0)
        expected = [[self.desk.recorder, page]] + [[self.desk.recorder, f] for f in folders]
        self.assertEqual(sorted(self.calls()), sorted(expected))

    def run_command(self, *args):
        return subprocess.run([self.PROGRAM] + list(args), env=self.desk.env, capture_output=True,
                              text=True, timeout=60, stdin=subprocess.DEVNULL)

    def test_launchers_list_the_history_and_open_entries_as_a_click_does(self):
        # Without a running program: the file read directly, newest first, and an entry opened
        # by the text it shows, from its record (never the shown "mailto:" text).
        folder = os.path.join(self.desk.home, FOLDER)
        os.makedirs(folder, exist_ok=True)
        page = "http://mailto:x@evil.example/p"
        ini = os.path.join(self.run_dir, "history", "defualt.ini")
        os.makedirs(os.path.dirname(ini))
        with open(ini, "w", encoding="utf-8") as f:
            f.write(seed_ini(PAGE_WEB, [(page, page, 1), ("file://" + folder, folder, 3)]))
        listed = self.run_command("--history", ini, "--list")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        lines = [line.split("\t") for line in listed.stdout.splitlines()]
        self.assertEqual([line[0] for line in lines], ["文件夹", "网页"], listed.stdout)
        self.assertEqual(lines[1][1:], ["mailto:x@evil.example/p", page])
        as_json = json.loads(self.run_command("--history", ini, "--list", "--json").stdout)
        self.assertEqual([(e["kind"], e["text"]) for e in as_json],
                         [(line[0], line[1]) for line in lines])

        opened = self.run_command("--history", ini, "--open", lines[1][1])
        self.assertEqual(opened.returncode, 0, opened.stderr)
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, page]])
        missing = self.run_command("--history", ini, "--open", "没有这条")
        self.assertEqual(missing.returncode, 1)
        self.assertIn("没有显示为“没有这条”的记录", missing.stderr)

        # With the program running on that history: it opens the entry itself.
        os.remove(self.record)
        self.start_program(PAGE_WEB, [(page, page, 1), ("file://" + folder, folder, 3)])
        running_ini = os.path.join(self.run_dir, "app", "defualt.ini")
        opened = self.run_command("--history", running_ini, "--open", lines[0][1])
        self.assertEqual(opened.returncode, 0, opened.stderr)
        self.assertEqual(self.wait_calls(), [[self.desk.recorder, folder]])

    def test_a_missing_folder_shows_the_message_and_opens_nothing(self):
        gone = os.path.join(self.desk.home, "gone")
        location = "file://" + gone
        self.start_program(PAGE_FOLDERS, [(location, location, 3)])
        self.click_first_row(2)
        expected = "message: TarvoKelmora 本机已不存在此路径:" + gone
        try:
            wait_for(lambda: expected in self.desk.log(self.log_name).splitlines(),
                     what="the message")
        except AssertionError as e:
            self.fail(self.failure(str(e)))
        self.assertTrue(wait_for(lambda: self.desk.window("TarvoKelmora"),
                                 what="the message box"))
        # A start made along with the message would have been recorded by now.
        time.sleep(1.0)
        self.assertEqual(self.calls(), [])


if __name__ == "__main__":
    raise SystemExit(main(__doc__))
