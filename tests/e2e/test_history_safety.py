#!/usr/bin/env python3
"""The history file on disk when things go wrong: the program killed, the X server gone, a file
that cannot be read in the history's place, many starts at once.

Usage: test_history_safety.py PATH/TO/tarvokelmora [--kills N] [unittest arguments]

Each case brings up its own private desktop (Xvfb, openbox; a session bus and nautilus where a
folder window is wanted) and a private copy of the program, so the defualt.ini beside it is the
test's own. Waits poll the file or the screen with a timeout; nothing waits on a fixed time,
except the random moments at which the kill loop strikes.
"""

import hashlib
import os
import random
import shutil
import signal
import socket
import stat
import sys
import time

from e2e_support import (TITLE, WAIT, DesktopTestCase, end_program, main, require_tools,
                         take_program, wait_for, wait_for_window)

KILLS = 30      # rounds of the kill loop; --kills N changes it

INFORM_TITLE = "TarvoKelmora"
# The first sweep comes a second after the start, the save three seconds after it.
SAVED_WAIT = 30.0
SEED = ("[default]\nCheckDocInterval=10000\n[docs]\n"
        "path0=http://www.example.com/news/index.html\nname0=示例新闻\ndoctype0=1\nselected0=0\n")


def parse_history(path):
    """The [docs] entries as (path, name, doctype, selected), checking that the file is whole:
    strict UTF-8, every entry with its four keys, numbered from 0 without a gap."""
    with open(path, "rb") as f:
        text = f.read().decode("utf-8")
    values, section = {}, None
    for line in text.splitlines():
        if line.startswith("["):
            section = line.strip().lower()
        elif section == "[docs]" and "=" in line:
            key, _, value = line.partition("=")
            values[key.strip().lower()] = value
    docs, k = [], 0
    while "path%d" % k in values:
        docs.append(tuple(values["%s%d" % (key, k)]
                          for key in ("path", "name", "doctype", "selected")))
        k += 1
    if len(values) != 4 * k:
        raise AssertionError("stray or missing keys in [docs]: %r" % sorted(values))
    return docs


def paths_in(path):
    try:
        return {d[0] for d in parse_history(path)}
    except FileNotFoundError:
        return set()


def fingerprint(path):
    """What must not change about a thing in the history's place: its type, size, mode, time
    and, for a file, its bytes."""
    st = os.lstat(path)
    digest = None
    if stat.S_ISREG(st.st_mode):
        h = hashlib.sha256()
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                h.update(block)
        digest = h.hexdigest()
    elif stat.S_ISDIR(st.st_mode):
        digest = sorted(os.listdir(path))
    return (stat.S_IFMT(st.st_mode), st.st_size, st.st_mode, st.st_mtime_ns, digest)


class SafetyTest(DesktopTestCase):
    SCOPE = None  # each case brings up the desktop it needs
    DESKTOP_ARGS = dict(prefix="tk-safety-")

    def desktop(self, bus=False):
        return self.new_desktop(bus=bus)

    def start(self, desk, ini=None, folder=None):
        return self.launch(desk=desk, ini=ini, folder=folder)

    def client(self, desk, name):
        """An X client whose executable is a copy of xterm called `name`: recorded by the
        sweep as a program of its own (a window class of its own too, or xterm's desktop
        entry would claim it). Returns its process and the recorded path."""
        folder = os.path.join(desk.tmp, "bin")
        os.makedirs(folder, exist_ok=True)
        exe = os.path.join(folder, name)
        if not os.path.exists(exe):
            shutil.copy2(shutil.which("xterm"), exe)
        proc = desk.spawn([exe, "-T", name, "-class", "TkClient"], name)
        wait_for(lambda: desk.search_title(name), what="the window of " + name)
        return proc, exe

    def kill(self, desk, launched):
        os.killpg(launched.proc.pid, signal.SIGKILL)
        launched.proc.wait(timeout=WAIT)
        desk.reap_orphans()

    def saved(self, launched, desk, wanted):
        return wait_for(lambda: wanted <= paths_in(launched.ini), timeout=SAVED_WAIT,
                        what="%s in the saved history" % sorted(wanted),
                        detail=lambda: "it holds %s; the program said:\n%s"
                        % (sorted(paths_in(launched.ini)), desk.log("program")[-2000:]))

    # ---- saved soon after a change, whatever ends the program

    def test_kill_9_after_a_sweep_keeps_what_it_found(self):
        require_tools("xterm", "nautilus", "gdbus")
        desk = self.desktop(bus=True)
        folder = os.path.join(desk.home, "数据 目录")
        os.mkdir(folder)
        desk.spawn(["nautilus", "--new-window", folder], "nautilus")
        wait_for(lambda: desk.search_title("数据 目录"), what="nautilus showing the folder",
                 detail=lambda: desk.log("nautilus")[-2000:])
        _, term = self.client(desk, "term-one")
        launched = self.start(desk, ini=SEED)
        self.saved(launched, desk, {term, "file://" + folder})
        self.kill(desk, launched)
        docs = parse_history(launched.ini)
        self.assertIn(("http://www.example.com/news/index.html", "示例新闻", "1", "0"), docs)
        self.assertIn((term, "term-one", "2", "0"), docs)
        self.assertIn(("file://" + folder, folder, "3", "0"), docs)
        # The copy of the file as it was at start, private like the file it guards.
        with open(launched.ini + ".bak", encoding="utf-8") as f:
            self.assertEqual(f.read(), SEED)
        self.assertEqual(stat.S_IMODE(os.stat(launched.ini + ".bak").st_mode), 0o600)

    def test_the_x_server_dying_keeps_what_was_found(self):
        require_tools("xterm")
        desk = self.desktop()
        _, first = self.client(desk, "term-one")
        launched = self.start(desk)
        self.saved(launched, desk, {first})
        self.assertEqual(stat.S_IMODE(os.stat(launched.ini).st_mode), 0o600)
        # Found by a later sweep (every ten seconds at the least).
        _, second = self.client(desk, "term-two")
        self.saved(launched, desk, {first, second})
        xvfb = desk.procs[0]
        os.killpg(xvfb.pid, signal.SIGKILL)
        launched.proc.wait(timeout=WAIT)
        self.assertTrue({first, second} <= paths_in(launched.ini))

    def test_kills_at_random_moments_never_break_or_lose_the_history(self):
        require_tools("xterm")
        desk = self.desktop()
        folder = os.path.join(desk.tmp, "app")
        rng = random.Random(int(os.environ.get("TK_KILL_SEED", str(time.time_ns()))))
        known, clients, report = set(), [], []
        ini = os.path.join(folder, "defualt.ini")
        for round_ in range(KILLS):
            proc, exe = self.client(desk, "client-%d" % round_)
            clients.append(proc)
            while len(clients) > 2:
                desk.end(clients.pop(0), polite=False)
            launched = self.start(desk, folder=folder)
            delay = rng.uniform(0.0, 8.0)
            time.sleep(delay)
            self.kill(desk, launched)
            now = paths_in(ini)  # raises when the file is not whole
            report.append("%.2f" % delay)
            self.assertTrue(known <= now, "round %d (killed after %.2f s) lost %s"
                            % (round_, delay, sorted(known - now)))
            # The first sweep a second after the window, the save three seconds after that,
            # two seconds to spare: past that the new program must have been kept.
            if delay > 6.0:
                self.assertIn(exe, now, "round %d (killed after %.2f s)" % (round_, delay))
            known = now
        temporaries = [n for n in os.listdir(folder) if n.startswith(".defualt.ini.tk-")]
        print("kill loop: %d rounds, killed after %s s; %d entries; left behind %s"
              % (KILLS, ", ".join(report), len(known), temporaries), file=sys.stderr)
        self.assertGreater(len(known), 0)

    # ---- what could not be read is never written

    def check_left_alone(self, make, reason):
        require_tools("xterm")
        desk = self.desktop()
        folder = os.path.join(desk.tmp, "app")
        os.makedirs(folder, 0o700)
        ini = os.path.join(folder, "defualt.ini")
        make(ini)
        before = fingerprint(ini)
        _, term = self.client(desk, "term-one")
        exe = os.path.join(folder, "tarvokelmora")
        shutil.copy2(self.PROGRAM, exe)
        errors = os.path.join(desk.tmp, "stderr.log")
        # Standard error on its own, to see that the warning goes there.
        proc = desk.spawn(["/bin/sh", "-c", 'exec "$0" 2>"$1" >/dev/null', exe, errors], "program")
        wait_for_window(desk, proc)
        box = wait_for(lambda: desk.search_title(INFORM_TITLE), what="the message to the user",
                       detail=lambda: desk.log("program"))
        self.assertTrue(box)
        # The program runs on: a sweep and a save's due time pass, then it is asked to end.
        time.sleep(6)
        self.assertIsNone(proc.poll())
        self.assertEqual(end_program(desk, proc), 0)
        self.assertEqual(fingerprint(ini), before)
        self.assertEqual(sorted(os.listdir(folder)), ["defualt.ini", "tarvokelmora"])
        with open(errors, encoding="utf-8", errors="replace") as f:
            log = f.read()
        self.assertIn("not written in this run", log)
        self.assertIn(reason, log)

    def test_a_folder_in_the_place_of_the_history_is_left_alone(self):
        def make(path):
            os.mkdir(path)
            with open(os.path.join(path, "inside"), "w") as f:
                f.write("x")
        self.check_left_alone(make, "is a directory")

    def test_a_pipe_in_the_place_of_the_history_is_left_alone(self):
        self.check_left_alone(lambda path: os.mkfifo(path, 0o600), "not a regular file")

    def test_a_history_past_the_size_limit_is_left_alone(self):
        def make(path):
            with open(path, "wb") as f:
                f.write(SEED.encode())
                f.truncate(257 << 20)  # sparse: no disk spent
        self.check_left_alone(make, "larger than")

    # ---- one program per history

    def test_ten_starts_at_once_leave_one_program(self):
        desk = self.desktop()
        folder = os.path.join(desk.tmp, "app")
        os.makedirs(folder, 0o700)
        exe = os.path.join(folder, "tarvokelmora")
        shutil.copy2(self.PROGRAM, exe)
        # A race shows only now and then: a few rounds give it the chances it needs.
        for round in range(3):
            procs = [desk.spawn([exe], "program-%d-%d" % (round, i)) for i in range(10)]
            wait_for(lambda: sum(p.poll() is None for p in procs) <= 1, what="the extra starts to end",
                     detail=lambda: "%d still run" % sum(p.poll() is None for p in procs))
            alive = [p for p in procs if p.poll() is None]
            self.assertEqual(len(alive), 1)
            wait_for(lambda: desk.search_title(TITLE), what="the one window")
            self.assertEqual(len(desk.search_title(TITLE)), 1)
            self.assertEqual([p.returncode for p in procs if p not in alive], [0] * 9)
            end_program(desk, alive[0], "program-%d-%d" % (round, procs.index(alive[0])))
            wait_for(lambda: not desk.search_title(TITLE), what="the window to go")

    def test_a_socket_squatted_under_the_old_name_changes_nothing(self):
        desk = self.desktop()
        folder = os.path.join(desk.tmp, "app")
        os.makedirs(folder, 0o700)
        ini = os.path.join(folder, "defualt.ini")
        key = hashlib.sha1(ini.encode()).hexdigest()[:16]
        squatted = "/tmp/TarvoKelmora-%d-%s" % (os.getuid(), key)
        squatter = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            os.unlink(squatted)
        except FileNotFoundError:
            pass
        squatter.bind(squatted)
        squatter.listen(16)  # accepts, answers nothing
        self.addCleanup(lambda: (squatter.close(), os.path.exists(squatted) and os.unlink(squatted)))
        launched = self.start(desk, folder=folder)
        # A second start still reaches the first, not the squatter.
        second = desk.spawn([launched.exe], "second")
        self.assertEqual(second.wait(timeout=WAIT), 0)
        self.assertIsNone(launched.proc.poll())
        self.assertTrue(os.path.exists(squatted))  # not ours to remove


def configure(args):
    global KILLS
    used = take_program(args)
    if len(args) > 2 and args[1] == "--kills":
        KILLS = int(args[2])
        used = 3
    return used


if __name__ == "__main__":
    raise SystemExit(main(__doc__, configure))
