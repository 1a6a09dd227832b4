#!/usr/bin/env python3
"""The program at rest: memory of its whole process tree and CPU time, against a bare Qt window.

On a private desktop (Xvfb and openbox) and against a local site, one run:

1. the bare Qt Widgets window of the start-up benchmark, shown and idle beside the program all
   along, read at the same moments as the program (so that what they share, they share alike);
2. the program with a long history (10,000 entries by default), its browser helper beside it:
   the tree's PSS once the strip shows a page; then the window is minimised, and after the rest
   delay (the helper has ended) the tree's PSS again and its CPU time over the sampling time,
   with the sweep every 12 s and the strip's page timer every 60 s running.

PSS is read from /proc/PID/smaps_rollup of the program and every process below it. The
targets: at rest at most the bare window + 15 MiB for the whole tree; the CPU time at rest is
reported per hour.
"""

import argparse
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "e2e"))
from e2e_support import Desktop, wait_for  # noqa: E402

MIB = 1024 * 1024
REST_TARGET_MIB = 15
REST_SECONDS = 30  # the program's rest delay
TITLE = "TarvoKelmora1.0"
PAGE = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>strip</title></head>"
        "<body style=\"margin:0;background:#eef\"><p>今日链接 · Today's links</p></body></html>")


def ppid(pid):
    with open("/proc/%d/stat" % pid) as f:
        return int(f.read().rpartition(")")[2].split()[1])


def tree(root):
    """The root and every live process below it."""
    found, todo = [root], [root]
    pids = [int(e) for e in os.listdir("/proc") if e.isdigit()]
    parents = {}
    for pid in pids:
        try:
            parents[pid] = ppid(pid)
        except (OSError, ValueError, IndexError):
            pass
    while todo:
        parent = todo.pop()
        for pid, p in parents.items():
            if p == parent and pid not in found:
                found.append(pid)
                todo.append(pid)
    return found


def pss_bytes(pid):
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for line in f:
                if line.startswith("Pss:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return 0


def pss_by_mapping(pid):
    """PSS in bytes by what is mapped: a file's name, [heap], [anon] and such."""
    found = {}
    name = None
    try:
        with open("/proc/%d/smaps" % pid) as f:
            for line in f:
                parts = line.split()
                if not parts[0].endswith(":"):
                    name = parts[5] if len(parts) > 5 else "[anon]"
                    if name.startswith("/") and not name.startswith("/usr/share"):
                        name = os.path.basename(name)
                elif parts[0] == "Pss:":
                    found[name] = found.get(name, 0) + int(parts[1]) * 1024
    except OSError:
        pass
    return found


def tree_pss(root):
    pids = tree(root)
    return sum(pss_bytes(pid) for pid in pids), len(pids)


def cpu_seconds(root):
    """User and system time of the tree's live processes, and of the children they reaped."""
    tick = os.sysconf("SC_CLK_TCK")
    total = 0
    for pid in tree(root):
        try:
            with open("/proc/%d/stat" % pid) as f:
                fields = f.read().rpartition(")")[2].split()
            total += sum(int(fields[i]) for i in (11, 12, 13, 14))  # utime stime cutime cstime
        except (OSError, ValueError, IndexError):
            pass
    return total / tick


class Site:
    def __init__(self):
        self.requests = []
        site = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                site.requests.append(self.path)
                data = PAGE.encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.url = "http://127.0.0.1:%d" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def helper_of(pid, name):
    for child in tree(pid)[1:]:
        try:
            if os.path.basename(os.readlink("/proc/%d/exe" % child)) == name and ppid(child) == pid:
                return child
        except OSError:
            pass
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--helper", required=True)
    parser.add_argument("--reference", required=True)
    parser.add_argument("--history-writer", required=True)
    parser.add_argument("--entries", type=int, default=10000)
    parser.add_argument("--sample", type=int, default=120, help="seconds of CPU sampling")
    parser.add_argument("--breakdown", action="store_true",
                        help="also list where the program at rest and the bare window differ")
    args = parser.parse_args()

    site = Site()
    desk = Desktop(prefix="tk-rest-")
    try:
        desk.start()
        load = os.getloadavg()[0]
        print("rest benchmark: %d entries, CPU sampled over %d s, load average %.2f"
              % (args.entries, args.sample, load))

        # The bare window, shown and idle, runs beside the program all along: both are read at
        # the same moments, so that what they share is shared alike.
        bare = desk.spawn([args.reference, "500", "480", "BareWindow", "一个窗口"], "bare")
        wait_for(lambda: desk.search_title("BareWindow"), what="the bare window")

        # The program with its long history and its helper.
        base = tempfile.mkdtemp(prefix="run-", dir=desk.tmp)
        folder = os.path.join(base, "app")
        os.makedirs(folder)
        env = dict(desk.env, TARVOKELMORA_SITE=site.url, **Desktop.home_env(base))
        ini = os.path.join(folder, "defualt.ini")
        subprocess.run([args.history_writer, ini, str(args.entries), env["HOME"]], check=True,
                       stdout=subprocess.DEVNULL)
        proc = desk.start_program(args.program, folder=folder, extra=(args.helper,), env=env).proc
        helper_name = os.path.basename(args.helper)
        wid = wait_for(lambda: desk.search_title(TITLE), what="the main window")[0]
        wait_for(lambda: "/kelmora/first/" in site.requests, what="the first page")
        time.sleep(8)  # the page loads, is checked a second later and drawn
        shown_pss, shown_count = tree_pss(proc.pid)
        bare_shown_pss, _ = tree_pss(bare.pid)
        if helper_of(proc.pid, helper_name) is None:
            raise SystemExit("the browser helper is not running with the page shown")

        desk.xdotool("windowminimize", wid)
        wait_for(lambda: helper_of(proc.pid, helper_name) is None, timeout=REST_SECONDS + 30,
                 what="the helper ending at rest")
        time.sleep(5)
        rest_pss, rest_count = tree_pss(proc.pid)
        bare_pss, _ = tree_pss(bare.pid)
        if args.breakdown:
            mine, theirs = pss_by_mapping(proc.pid), pss_by_mapping(bare.pid)
            names = sorted(set(mine) | set(theirs),
                           key=lambda n: -abs(mine.get(n, 0) - theirs.get(n, 0)))
            print("%10s %10s %10s  at rest, KiB" % ("program", "bare", "difference"))
            for n in names[:20]:
                a, b = mine.get(n, 0) // 1024, theirs.get(n, 0) // 1024
                print("%10d %10d %+10d  %s" % (a, b, a - b, n))
        cpu0, bare_cpu0 = cpu_seconds(proc.pid), cpu_seconds(bare.pid)
        time.sleep(args.sample)
        rest_cpu = cpu_seconds(proc.pid) - cpu0
        bare_cpu = cpu_seconds(bare.pid) - bare_cpu0
        if helper_of(proc.pid, helper_name) is not None or proc.poll() is not None:
            raise SystemExit("the program did not stay at rest")
        desk.end(proc)
        desk.end(bare)

        per_hour = 3600.0 / args.sample
        print()
        print("%-44s %10s %10s" % ("", "PSS MiB", "processes"))
        print("%-44s %10.1f %10d" % ("bare Qt window, beside the page", bare_shown_pss / MIB, 1))
        print("%-44s %10.1f %10d" % ("program tree, strip showing a page", shown_pss / MIB,
                                     shown_count))
        print("%-44s %10.1f %10d" % ("bare Qt window, beside the rest", bare_pss / MIB, 1))
        print("%-44s %10.1f %10d" % ("program tree, hidden at rest", rest_pss / MIB, rest_count))
        print()
        extra = (rest_pss - bare_pss) / MIB
        print("resting PSS, program tree / bare window: %.2fx, %+.1f MiB (target <= +%d MiB): %s"
              % (rest_pss / bare_pss, extra, REST_TARGET_MIB,
                 "met" if extra <= REST_TARGET_MIB else "MISSED"))
        print("showing PSS, program tree / bare window: %.2fx, %+.1f MiB"
              % (shown_pss / bare_shown_pss, (shown_pss - bare_shown_pss) / MIB))
        tick = 1.0 / os.sysconf("SC_CLK_TCK")
        print("CPU time per hour at rest: program %.2f s (sweep every 12 s, page timer every 60 s; "
              "%.2f s in %d s), bare window %.2f s (%.2f s); the clock counts in %.0f ms steps"
              % (rest_cpu * per_hour, rest_cpu, args.sample, bare_cpu * per_hour, bare_cpu,
                 tick * 1000))
        return 0 if extra <= REST_TARGET_MIB else 1
    finally:
        desk.stop()
        site.stop()


if __name__ == "__main__":
    sys.exit(main())
