"""The web strip's test site and the screen reading that finds its pages: one solid colour, so
that the browser is seen on screen exactly where it covers the strip.
"""

import http.server
import os
import re
import threading
import time

# The page's last part, asked for as the browser reads the end of the page: the navigation
# completes only after it, so its request marks when the page's check is at most due.
PAGE_END = "/kelmora/end.gif"
PAGE = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>strip</title>"
        "<style>html, body {{ margin: 0; height: 100%; background: #ff00ff; color: #ff00ff; }}"
        "</style></head><body><p>{text}</p><img src=\"" + PAGE_END + "\" alt=\"\" "
        "style=\"display: none\"></body></html>")
PROPER_PAGE = PAGE.format(text="Today's links")
# Upper case on purpose: the program compares the lower-cased markup.
ERROR_PAGE = PAGE.format(text="Page NOT Found")

# A page that, by itself, shows dialogs, opens a window, asks for a permission and leaves for
# ELSEWHERE, and whose body opens two windows on a click; it reports to the site how far it got.
HOSTILE_PAGE = ("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>strip</title>"
                "<style>html, body { margin: 0; height: 100%; background: #ff00ff; "
                "color: #ff00ff; }</style></head><body onclick=\""
                "window.open('ELSEWHERE/kelmora/away/clicked-1'); "
                "window.open('ELSEWHERE/kelmora/away/clicked-2');\"><p>Today's links</p>"
                "<img src=\"" + PAGE_END + "\" alt=\"\" style=\"display: none\"><script>"
                "alert('strip'); confirm('strip'); prompt('strip');"
                "fetch('/kelmora/after-dialogs');"
                "window.open('ELSEWHERE/kelmora/away/popup');"
                "Notification.requestPermission().then(function (p) {"
                " fetch('/kelmora/permission/' + p); });"
                "setTimeout(function () { location.href = 'ELSEWHERE/kelmora/away/redirect'; }, 300);"
                "</script></body></html>")

# ---- the screen ----------------------------------------------------------------------------


class Shot:
    """A screenshot of the root window, decoded from binary PPM."""

    def __init__(self, data):
        m = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        if not m or m.group(3) != b"255":
            raise RuntimeError("not an 8-bit PPM: %r" % data[:32])
        self.width, self.height = int(m.group(1)), int(m.group(2))
        self.pixels = data[m.end():]

    def clip(self, rect):
        x, y, w, h = rect
        left, top = max(x, 0), max(y, 0)
        return left, top, min(x + w, self.width) - left, min(y + h, self.height) - top

    def region(self, rect):
        x, y, w, h = self.clip(rect)
        return b"".join(self.row(x, y + dy, w) for dy in range(h))

    def page_box(self, rect):
        """The bounding box (x, y, w, h) of page-coloured pixels inside rect, and whether every
        pixel inside that box has the page colour; None when there is none."""
        x0, y0, w, h = self.clip(rect)
        xs, ys = [], []
        for y in range(y0, y0 + h):
            hits = [m.start() // 3 for m in PAGE_PIXEL_AT.finditer(self.row(x0, y, w))
                    if m.start() % 3 == 0]
            if hits:
                ys.append(y)
                xs += [x0 + hits[0], x0 + hits[-1]]
        if not ys:
            return None
        box = (min(xs), ys[0], max(xs) - min(xs) + 1, ys[-1] - ys[0] + 1)
        solid = all(PAGE_PIXELS.fullmatch(self.row(box[0], y, box[2]))
                    for y in range(box[1], box[1] + box[3]))
        return box, solid

    def row(self, x, y, w):
        start = 3 * (y * self.width + x)
        return self.pixels[start:start + 3 * w]


# The page colour give or take a little; a look-ahead, so that no match hides the next one.
PAGE_PIXEL = rb"[\xf7-\xff][\x00-\x08][\xf7-\xff]"
PAGE_PIXEL_AT = re.compile(rb"(?=" + PAGE_PIXEL + rb")")
PAGE_PIXELS = re.compile(rb"(?:" + PAGE_PIXEL + rb")*")


# ---- the site ------------------------------------------------------------------------------


class Site:
    """The strip's web site on 127.0.0.1: /kelmora/first/, /kelmora/next/ and /kelmora/.
    Records every request with the time it arrived."""

    def __init__(self):
        self.pages = {}
        self.requests = []  # (monotonic time, path)
        self.lock = threading.Lock()
        site = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                with site.lock:
                    site.requests.append((time.monotonic(), self.path))
                    body = site.pages.get(self.path)
                if body is None:
                    self.send_response(204 if self.path == PAGE_END else 404)
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                data = body.encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Content-Length", str(len(data)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(data)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.url = "http://127.0.0.1:%d" % self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def serve(self, first):
        with self.lock:
            self.requests = []
            self.pages = {"/kelmora/first/": first, "/kelmora/next/": PROPER_PAGE,
                          "/kelmora/": PROPER_PAGE}

    def first_request(self, path="/kelmora/first/"):
        with self.lock:
            return next((t for t, p in self.requests if p == path), None)

    def paths(self):
        with self.lock:
            return [p for _, p in self.requests]

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


# ---- the user's browser --------------------------------------------------------------------

# The user's browser: appends each address it is given to the file named in its command line.
BROWSER = """#!/usr/bin/python3
import sys
with open(sys.argv[1], "a", encoding="utf-8") as f:
    f.write("".join(a + "\\n" for a in sys.argv[2:]))
"""


def set_default_browser(env, record):
    applications = os.path.join(env["XDG_DATA_HOME"], "applications")
    os.makedirs(applications)
    script = os.path.join(applications, "record-browser")
    with open(script, "w") as f:
        f.write(BROWSER)
    os.chmod(script, 0o755)
    with open(os.path.join(applications, "record-browser.desktop"), "w") as f:
        f.write("[Desktop Entry]\nType=Application\nName=Browser\nExec=%s %s %%u\n"
                "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n" % (script, record))
    os.makedirs(env["XDG_CONFIG_HOME"], exist_ok=True)
    with open(os.path.join(env["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
        f.write("[Default Applications]\nx-scheme-handler/http=record-browser.desktop\n"
                "x-scheme-handler/https=record-browser.desktop\n")
