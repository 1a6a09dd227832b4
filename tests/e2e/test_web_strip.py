#!/usr/bin/env python3
"""The web strip of the built program, with its real browser helper, against a local site.

Usage: test_web_strip.py PATH/TO/tarvokelmora PATH/TO/tarvokelmora-webstrip|none [unittest args]
("none" where the helper is not built: the test reports itself skipped, exit status 77.)

Each case runs a private copy of the program and its browser helper on a private X desktop
(Xvfb and openbox), points the strip at an HTTP server of the test's own and watches from
outside: which pages the server is asked for, when the window maps and the helper starts,
and what the screen shows at the bottom of the window. The pages are one solid colour, so the
browser is seen on screen exactly where it covers the strip.
A summary of the times and memory use goes to standard error.
"""

import os
import signal
import subprocess
import sys
import tempfile
import time

from e2e_support import (TITLE, WAIT, Desktop, DesktopTestCase, main, require, require_tools,
                         session_members, take_program, wait_for)
from e2e_tools import alive, descendants, maps_of, parent_of, rss_kib
from web_site import (ERROR_PAGE, HOSTILE_PAGE, PAGE_END, PROPER_PAGE, Shot, Site,
                      set_default_browser)

HELPER = None  # the browser helper beside the built program, from the command line
HELPER_NAME = "tarvokelmora-webstrip"

SCREEN_W, SCREEN_H = 1024, 768
STRIP_HEIGHT = 47  # the strip's height before anyone drags the splitter
DESIGN_WIDTH = 193  # the browser's width as the window creates it, before any check
ERROR_WATCH = 4.0  # seconds an error page is watched after it asked for its last part

SEED_INI = "[default]\nRunSelectDoc=0\nCbRefresh=0\nQueryAutoRunDoc=0\n"


# ---- small helpers ---------------------------------------------------------------------------


def helper_of(pid):
    """The program's browser helper, or None while it has none."""
    for child in session_members(pid):
        try:
            if os.path.basename(os.readlink("/proc/%d/exe" % child)) == HELPER_NAME and \
                    parent_of(child) == pid:
                return child
        except OSError:
            pass
    return None



# ---- the desktop ---------------------------------------------------------------------------


class WebDesktop(Desktop):
    """The private desktop, read back from the screen."""

    def __init__(self):
        super().__init__(size=(SCREEN_W, SCREEN_H), prefix="tk-web-")

    def visible_windows(self, title):
        return self.search_title(title)

    def client_rect(self, wid):
        """(x, y, width, height) on the screen, or None for a window that has just gone."""
        w = self.info(wid)
        return (w.x, w.y, w.width, w.height) if w is not None else None

    def screenshot(self):
        result = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                                capture_output=True, timeout=30)
        if result.returncode != 0:
            raise RuntimeError("import failed: %s" % result.stderr.decode(errors="replace"))
        return Shot(result.stdout)


# ---- the cases -----------------------------------------------------------------------------


class Watch:
    """One run of the program, seen from outside. Times are seconds since its start."""

    def __init__(self, desk, site, proc, start):
        self.desk, self.site, self.proc, self.start = desk, site, proc, start
        self.windows = []            # every main window seen mapped, in order
        self.mapped = None           # the first of them seen mapped
        self.helper = None           # the browser helper's pid, once seen
        self.helper_started = None
        self.started_before_map = False
        self.first_request = None
        self.page_shown = None
        self.rss_at_map = None       # KiB, the program alone
        self.rss_with_page = None
        self.rss_helpers = None      # KiB, the helper and the engine's processes together

    def since_start(self):
        return time.monotonic() - self.start

    def look(self):
        """One reading. The process is read before the screen, so a helper seen running while
        no window is mapped yet was started before the first frame."""
        helper = helper_of(self.proc.pid)
        if helper is not None and self.helper_started is None:
            self.helper_started = self.since_start()
        if helper is not None:
            self.helper = helper
        ids = self.desk.visible_windows(TITLE)
        if ids and self.mapped is None:
            self.mapped = self.since_start()
            self.rss_at_map = rss_kib(self.proc.pid)
        if not ids and helper is not None and self.mapped is None:
            self.started_before_map = True
        for wid in ids:
            if wid not in self.windows:
                self.windows.append(wid)
        request = self.site.first_request()
        if request is not None and self.first_request is None:
            self.first_request = request - self.start
        return ids

    def measure_memory(self):
        self.rss_with_page = rss_kib(self.proc.pid)
        helpers = [rss_kib(pid) for pid in descendants(self.proc.pid)]
        self.rss_helpers = sum(kib for kib in helpers if kib)

    def window_rect(self):
        def current():
            for wid in reversed(self.look()):
                rect = self.desk.client_rect(wid)
                if rect:
                    return rect
            return None
        return wait_for(current, what="the main window")

    def screenshot(self):
        self.look()
        return self.desk.screenshot()


class WebStripTest(DesktopTestCase):
    DESKTOP = WebDesktop
    SCOPE = "class"
    TOOLS = ("import", "wmctrl")
    reports = []
    strip_offset = None  # the strip relative to the client's top-left, learnt from a proper page

    @classmethod
    def setUpClass(cls):
        cls.site = Site()
        cls.addClassCleanup(cls.site.stop)
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        for line in cls.reports:
            print(line, file=sys.stderr)

    def start_program(self, first_page, ini=SEED_INI, browser=None):
        """Starts a private copy beside its helper and follows it until the helper runs and the
        server has been asked for the first page. With browser (a file), the user's default
        browser is a script that records there each address it is given."""
        self.site.serve(first_page)
        # Each run in a home of its own: nothing the browser engine keeps carries over.
        base = tempfile.mkdtemp(prefix="run-", dir=self.desk.tmp)
        env = dict(self.desk.env, TARVOKELMORA_SITE=self.site.url, **Desktop.home_env(base))
        if browser is not None:
            env["XDG_DATA_DIRS"] = env["XDG_DATA_HOME"] + ":/usr/share"
            set_default_browser(env, browser)

        start = time.monotonic()
        program = self.launch(ini=ini, folder=os.path.join(base, "app"), extra=(HELPER,), env=env,
                              window=False, polite_end=False)
        proc = program.proc
        watch = Watch(self.desk, self.site, proc, start)
        watch.ini = program.ini
        while watch.first_request is None or watch.helper_started is None:
            if watch.since_start() > WAIT or proc.poll() is not None:
                self.fail("no helper started or no first page asked for (window at %s s, helper "
                          "at %s s, requests %r); the program's output:\n%s"
                          % (watch.mapped, watch.helper_started, self.site.paths(),
                             self.desk.log("program")))
            watch.look()
        self.assertEqual(self.site.paths()[0], "/kelmora/first/")
        self.assertIsNotNone(watch.mapped, "the window was not mapped before the first request")
        self.assertLess(watch.mapped, watch.first_request)
        self.assertFalse(watch.started_before_map, "the browser helper was started before the "
                         "window mapped: the first frame waited for the browser engine")
        return watch

    def assert_no_engine_in_program(self, watch):
        """The program itself never loads the browser engine nor makes an OpenGL context."""
        maps = maps_of(watch.proc.pid)
        for library in ("libQt6WebEngine", "libQt6OpenGL", "libGLX_mesa", "libEGL_mesa",
                        "swrast_dri", "libgallium"):
            self.assertNotIn(library, maps, "the program itself has loaded " + library)

    def assert_one_window(self, watch):
        watch.look()
        self.assertEqual(len(watch.windows), 1, "the main window was made again: %r"
                         % watch.windows)

    def strip_page_box(self, watch):
        found = watch.screenshot().page_box(watch.window_rect())
        return found[0] if found and found[1] and found[0][3] == STRIP_HEIGHT else None

    def wait_until_covered(self, watch, what="the page over the strip"):
        """Waits for the page to lie over the strip; returns the page's box on the screen."""
        try:
            # A box drawn part-way is caught on the next reading.
            box = wait_for(lambda: self.strip_page_box(watch), what=what)
        except AssertionError:
            found = watch.screenshot().page_box(watch.window_rect())
            self.fail("the page never covered the strip: page colour at %r; requests %r; the "
                      "program's output:\n%s" % (found, self.site.paths(), self.desk.log("program")))
        watch.page_shown = watch.since_start()
        watch.measure_memory()
        return box

    def wait_until_banner(self, watch):
        wait_for(lambda: watch.screenshot().page_box(watch.window_rect()) is None,
                 what="the banner back on the strip")

    def report(self, name, watch):
        def at(t):
            return "%.2f s" % t if t is not None else "-"
        self.reports.append(
            "web strip, %s: window mapped at %s, helper started by %s, first request at %s, "
            "page shown at %s; VmRSS %s KiB at the map, %s KiB after the page (the helper and "
            "the engine's processes %s KiB); windows %s"
            % (name, at(watch.mapped), at(watch.helper_started), at(watch.first_request),
               at(watch.page_shown), watch.rss_at_map, watch.rss_with_page, watch.rss_helpers,
               " ".join(watch.windows)))

    def test_1_proper_page_is_laid_over_the_strip(self):
        watch = self.start_program(PROPER_PAGE)
        # The banner shows until the check a second after the page completed.
        window = watch.window_rect()
        self.assertIsNone(watch.screenshot().page_box(window), "the page showed before its check")

        box = self.wait_until_covered(watch)
        self.report("proper page", watch)
        window = watch.window_rect()
        wx, wy, ww, wh = window
        x, y, w, h = box
        # Over the whole strip at the bottom of the window, not at the size the browser was
        # created with.
        self.assertGreater(w, DESIGN_WIDTH)
        self.assertGreater(w, ww * 3 // 4, "the page covers %r of the window %r" % (box, window))
        self.assertGreater(y, wy + wh // 2)
        self.assertLessEqual(y + h, wy + wh)
        WebStripTest.strip_offset = (x - wx, y - wy, w, h)
        self.assert_one_window(watch)
        self.assert_no_engine_in_program(watch)

    def test_2_error_page_keeps_the_banner(self):
        if WebStripTest.strip_offset is None:
            # Run alone: learn where the strip lies from a proper page first.
            self.test_1_proper_page_is_laid_over_the_strip()
            self.doCleanups()
        watch = self.start_program(ERROR_PAGE)
        window = watch.window_rect()
        dx, dy, w, h = WebStripTest.strip_offset
        strip = (window[0] + dx, window[1] + dy, w, h)
        banner = watch.screenshot().region(strip)

        # The check comes a second after the page completed; watch well past it.
        end = wait_for(lambda: self.site.first_request(PAGE_END), what="the page's last part")
        while time.monotonic() < end + ERROR_WATCH:
            found = watch.screenshot().page_box(watch.window_rect())
            self.assertIsNone(found, "the error page showed at %r" % (found,))
            time.sleep(0.2)
        self.assertEqual(watch.window_rect(), window)
        pixels = watch.screenshot().region(strip)
        self.assertEqual(pixels, banner, "the strip changed while the error page was loaded")
        # The banner is a picture, not an empty panel.
        self.assertGreater(len({pixels[i:i + 3] for i in range(0, len(pixels), 3)}), 4)
        watch.measure_memory()
        self.report("error page", watch)

    def test_3_one_window_from_map_to_close_and_the_close_page(self):
        watch = self.start_program(PROPER_PAGE)
        self.wait_until_covered(watch)
        wid = watch.windows[0]
        helper = watch.helper
        engine = descendants(helper)
        # The close request loads the next page (it has not been shown) and asks first.
        run_wmctrl(self.desk, "-i", "-c", wid)
        wait_for(lambda: "/kelmora/next/" in self.site.paths(), what="the close page")
        question = wait_for(lambda: self.desk.search_title("提示"), what="the question box")
        self.assert_one_window(watch)
        # Found by its title before it can take keys: the answer waits until it has the keyboard.
        def focused():
            self.desk.xdotool("windowactivate", "--sync", question[0], check=False)
            return int(self.desk.xdotool("getwindowfocus", "-f", check=False) or 0) == int(question[0])

        wait_for(focused, what="the question to take the keyboard")
        self.desk.xdotool("key", "--clearmodifiers", "Return")
        wait_for(lambda: watch.proc.poll() is not None, what="the program's end")
        self.assertEqual(watch.windows, [wid], "the main window was made again")
        # Nothing of the browser outlives the program.
        wait_for(lambda: not any(alive(pid) for pid in engine | {helper}),
                 what="the helper and the engine's processes ending with the program")

    def test_4_a_crashed_helper_costs_only_the_strip(self):
        ini = SEED_INI + "[docs]\n" + "".join(
            "path%d=http://keep.test/%d\nname%d=page %d\n" % (i, i, i, i)
            for i in range(3))
        watch = self.start_program(PROPER_PAGE, ini=ini)
        self.wait_until_covered(watch)
        with open(watch.ini, "rb") as f:
            saved = f.read()
        for sig in (signal.SIGKILL, signal.SIGSEGV):
            helper = watch.helper
            engine = descendants(helper)
            os.kill(helper, sig)
            self.wait_until_banner(watch)
            self.assertIsNone(watch.proc.poll(), "the program ended with its helper")
            wait_for(lambda: not any(alive(pid) for pid in engine),
                     what="the engine's processes ending with the helper")
            # A new helper comes a few seconds later and shows the page again.
            # (The restart waits three seconds; a loaded machine may take longer to start it.)
            wait_for(lambda: helper_of(watch.proc.pid) not in (None, helper), timeout=2 * WAIT,
                     what="a new helper after signal %d" % sig,
                     detail=lambda: "the program says: " + self.desk.log("program")[-2000:])
            watch.look()
            self.wait_until_covered(watch, what="the page back after the crash")
        self.assertIsNone(watch.proc.poll())
        self.assert_one_window(watch)
        with open(watch.ini, "rb") as f:
            self.maxDiff = None  # a change is shown line by line
            self.assertEqual(f.read().decode("utf-8", "replace"), saved.decode("utf-8", "replace"),
                             "the history file changed")
        # The program still answers: the window goes to its close question.
        run_wmctrl(self.desk, "-i", "-c", watch.windows[0])
        wait_for(lambda: self.desk.search_title("提示"), what="the question box")
        self.report("after two crashes", watch)

    def test_5_helper_rests_while_the_window_is_minimised(self):
        watch = self.start_program(PROPER_PAGE)
        self.wait_until_covered(watch)
        wid = watch.windows[0]
        helper = watch.helper
        self.desk.xdotool("windowminimize", wid)
        rest = time.monotonic()
        wait_for(lambda: not alive(helper), timeout=REST + WAIT, what="the helper ending at rest")
        self.assertGreater(time.monotonic() - rest, REST - 2, "the helper ended before the rest")
        self.assertIsNone(helper_of(watch.proc.pid))
        self.assertIsNone(watch.proc.poll())
        watch.measure_memory()
        self.report("at rest", watch)
        # Brought back: a new helper loads the page the schedule is at and covers the strip.
        requests = len(self.site.paths())
        run_wmctrl(self.desk, "-i", "-a", wid)
        wait_for(lambda: helper_of(watch.proc.pid) is not None, what="a new helper")
        self.wait_until_covered(watch, what="the page back after the rest")
        self.assertIn("/kelmora/first/", self.site.paths()[requests:])
        self.assertEqual(watch.windows, [wid])

    def test_6_the_helper_never_outlives_a_killed_program(self):
        watch = self.start_program(PROPER_PAGE)
        self.wait_until_covered(watch)
        processes = descendants(watch.proc.pid)
        self.assertIn(watch.helper, processes)
        os.kill(watch.proc.pid, signal.SIGKILL)
        watch.proc.wait(timeout=WAIT)
        wait_for(lambda: not any(alive(pid) for pid in processes),
                 what="the helper and the engine's processes ending with the killed program")

    def test_7_a_helper_naming_another_window_is_ended(self):
        # A helper that names another program's window as the one to embed.
        require_tools("xterm")
        bystander = self.desk.spawn(["xterm", "-title", "Bystander"], "xterm")
        self.addCleanup(self.desk.end, bystander, polite=False)
        other = wait_for(lambda: self.desk.search_title("Bystander"), what="the xterm")[0]
        other_rect = self.desk.client_rect(other)
        base = tempfile.mkdtemp(prefix="run-", dir=self.desk.tmp)
        fake = os.path.join(base, HELPER_NAME)
        with open(fake, "w") as f:
            f.write(FAKE_HELPER)
        os.chmod(fake, 0o755)
        self.site.serve(PROPER_PAGE)
        env = dict(self.desk.env, TARVOKELMORA_SITE=self.site.url, **Desktop.home_env(base))
        launched = self.launch(ini=SEED_INI, folder=os.path.join(base, "app"), extra=(fake,),
                               env=env, polite_end=False)
        proc, wid = launched.proc, launched.window[0]
        rect = self.desk.client_rect(wid)
        try:
            wait_for(lambda: "not its own" in self.desk.log("program"), timeout=10)
        except AssertionError:
            pass
        time.sleep(1)
        self.assertEqual(self.desk.search_title("Bystander"), [other], "the xterm was taken in")
        self.assertEqual(self.desk.client_rect(other), other_rect, "the xterm was taken in")
        self.assertIsNone(proc.poll())
        self.assertEqual(self.desk.search_title(TITLE), [wid])
        self.assertEqual(self.desk.client_rect(wid), rect)
        self.assertIn("not its own", self.desk.log("program"))

    def test_8_the_page_acts_only_on_the_users_click(self):
        # A page that opens windows, leaves the site, shows dialogs and asks for permissions by
        # itself; elsewhere is the same server under another host name.
        elsewhere = self.site.url.replace("127.0.0.1", "localhost")
        record = os.path.join(self.desk.tmp, "browser-%d" % time.monotonic_ns())
        watch = self.start_program(HOSTILE_PAGE.replace("ELSEWHERE", elsewhere), browser=record)
        box = self.wait_until_covered(watch)
        wait_for(lambda: any(p.startswith("/kelmora/permission/") for p in self.site.paths()),
                 what="the page's permission answer",
                 detail=lambda: "requests %r" % self.site.paths())
        time.sleep(2)  # the page's own timer has long fired

        def opened():
            try:
                with open(record) as f:
                    return f.read().split()
            except FileNotFoundError:
                return []
        paths = self.site.paths()
        self.assertIn("/kelmora/after-dialogs", paths, "a script dialog held the page")
        self.assertIn("/kelmora/permission/denied", paths)
        self.assertEqual(opened(), [], "the page opened a window without a click")
        self.assertFalse([p for p in paths if p.startswith("/kelmora/away")],
                         "the strip left the site or opened a window by itself")

        # A click that opens two windows opens one address in the user's browser.
        x, y, w, h = box
        self.desk.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", "1")
        wait_for(opened, what="the user's browser")
        time.sleep(2)
        self.assertEqual(opened(), [elsewhere + "/kelmora/away/clicked-1"])
        self.assertFalse([p for p in self.site.paths() if p.startswith("/kelmora/away")])
        self.assertIsNotNone(self.strip_page_box(watch), "the strip left its page")


# Names the xterm's window, then waits for its input to end.
FAKE_HELPER = """#!/usr/bin/env python3
import subprocess, sys, time
for _ in range(200):
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Bystander$"],
                         capture_output=True, text=True).stdout.split()
    if ids:
        break
    time.sleep(0.05)
sys.stdout.write("window %d\\n" % int(ids[0]))
sys.stdout.flush()
sys.stdin.read()
"""


def run_wmctrl(desk, *args):
    subprocess.run(["wmctrl"] + list(args), env=desk.env, check=True, timeout=30)


REST = 30  # seconds out of sight before the helper ends


def configure(args):
    global HELPER
    take_program(args)
    helper = args[1]
    require(helper != "none", "the browser helper is not built here (no Qt WebEngine)")
    HELPER = os.path.abspath(helper)
    return 2


if __name__ == "__main__":
    raise SystemExit(main("usage: %s PATH/TO/tarvokelmora PATH/TO/tarvokelmora-webstrip|none "
                          "[unittest args]" % sys.argv[0], configure))
