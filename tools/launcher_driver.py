"""Drives the launcher in an X server: a private Xvfb, the sample release server, the launcher run from an
install directory, the mouse, the keyboard and the camera. Used by the end-to-end tests and by the demo.

The launcher runs with VELMORA_WIDGET_REPORT set: it then prints what its windows show as debug lines
"widgets: <JSON>" (each visible window's title and geometry, its named widgets' place, state and text)
whenever that changes. The driver finds and clicks widgets where the latest report puts them and waits
for reported states, each wait bounded by a deadline. Standard library only; needs Xvfb, xdotool,
ImageMagick's import and nginx."""

import ctypes
import filecmp
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time

SERVER_PORT = int(os.environ.get("VELMORA_RELEASE_PORT", "18470"))  # compiled into the launcher
MAIN_TITLE = "Velmora Launcher"
DOWNLOAD_TITLE = "Download Package Info"
UPDATE_TITLE = "Launcher Updater"
REPORT_PREFIX = "widgets: "


class Failure(Exception):
    pass


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        check(time.monotonic() < deadline, f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)
    return value


class Xvfb:
    """A private X server on a display Xvfb finds free. It never resets: a launcher handing over to the
    next one may be its last client for a moment, and a reset would refuse the next one."""

    def __init__(self, log_path=None):
        read_end, write_end = os.pipe()
        stderr = open(log_path, "wb") if log_path else subprocess.DEVNULL
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1080x24",
                                         "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,), stderr=stderr)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as f:
            number = f.readline().decode().strip()
        check(number, "Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


class ReleaseServer:
    """tools/release-server.sh on the launcher's compiled-in port, serving WWW (each package at `rate` bytes
    per second, nginx's syntax; 0 for as fast as it goes); tells what was asked of it."""

    def __init__(self, source_dir, www, rate="0"):
        self.script = os.path.join(source_dir, "tools", "release-server.sh")
        self.www = www
        self.access_log = www + ".nginx/access.log"
        self.env = dict(os.environ, RELEASE_RATE=rate)

    def start(self):
        if os.path.exists(self.access_log):
            os.remove(self.access_log)
        subprocess.run([self.script, "start", self.www, str(SERVER_PORT)], check=True, stdout=subprocess.DEVNULL,
                       env=self.env)

    def stop(self):
        subprocess.run([self.script, "stop", self.www], check=False, stdout=subprocess.DEVNULL)

    def transfers(self, path):
        """Each GET of path so far: (status, body bytes sent, Range asked or "-")."""
        if not os.path.exists(self.access_log):
            return []
        with open(self.access_log, encoding="utf-8", errors="replace") as f:
            return re.findall(rf'"GET {re.escape(path)} HTTP/[^"]*" (\d+) (\d+) "([^"]*)"', f.read())

    def requests(self, path):
        return len(self.transfers(path))


class X11:
    """Mouse, keyboard, windows and pictures on one display."""

    def __init__(self, display, artifacts):
        self.display = display
        self.env = dict(os.environ, DISPLAY=display)
        self.artifacts = artifacts
        self.shots = 0

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True,
                                timeout=30)
        check(result.returncode == 0, f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    def window_id(self, title, pid):
        """The X window of the launcher's visible window with this title."""
        args = ["xdotool", "search", "--all", "--pid", str(pid), "--onlyvisible", "--name", f"^{re.escape(title)}$"]
        found = lambda: subprocess.run(args, env=self.env, capture_output=True, text=True).stdout.split()  # noqa: E731
        return int(wait_until(found, 5, f'X window "{title}"')[-1])

    def windows(self, title):
        """The X windows with this title that are mapped."""
        search = ["xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(title)}$"]
        return subprocess.run(search, env=self.env, capture_output=True, text=True).stdout.split()

    def click_in(self, title, x, y, timeout=10):
        """Clicks (x, y) once the topmost window there is the one with this title: Wine maps and stacks its
        windows some time after Qt has shown them."""
        def on_top():
            ids = self.windows(title)
            here = dict(item.split(":", 1) for item in self.xdotool("getmouselocation").split())
            if (int(here["x"]), int(here["y"])) != (x, y):
                # "mousemove --sync" waits for a motion that never comes when the pointer is already there.
                self.xdotool("mousemove", "--sync", x, y)
                here = dict(item.split(":", 1) for item in self.xdotool("getmouselocation").split())
            return here["window"] in ids
        wait_until(on_top, timeout, f'"{title}" on top at {x},{y}')
        self.xdotool("click", 1)

    def key(self, wid, key):
        self.xdotool("windowfocus", "--sync", wid)
        self.xdotool("key", key)

    def close_window(self, wid):
        """What a title-bar close button does: WM_DELETE_WINDOW sent to the client."""
        xlib = ctypes.CDLL("libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        xlib.XFlush.argtypes = xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        dpy = xlib.XOpenDisplay(self.display.encode())
        check(dpy, f"cannot open display {self.display}")
        # XClientMessageEvent: type, serial, send_event, display, window, message_type, format, data.
        event = (ctypes.c_long * 24)(33, 0, 0, 0, wid, xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0), 32,
                                     xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0))
        xlib.XSendEvent(dpy, wid, 0, 0, ctypes.byref(event))
        xlib.XFlush(dpy)
        xlib.XCloseDisplay(dpy)

    def screenshot(self, name):
        self.shots += 1
        path = os.path.join(self.artifacts, f"{self.shots:02d}-{name}.png")
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=60,
                       stderr=subprocess.DEVNULL)
        log(f"screenshot {path}")
        return path


class Launcher:
    """The launcher under test, run from an install directory. Its output (debug lines and widget reports)
    goes to a file that also collects whatever it starts detached: after a hand-over, the reports are the
    new launcher's."""

    def __init__(self, x11, install_dir, log_path, runner=()):
        self.x11 = x11
        self.install_dir = install_dir
        self.log_path = log_path
        self.log_file = open(log_path, "ab")
        self.read_from = self.log_file.tell()
        self.text = ""
        self.reports = []  # every report so far, each a list of windows
        env = dict(x11.env, QT_QPA_PLATFORM="xcb", VELMORA_WIDGET_REPORT="1")
        exe = os.path.join(install_dir, "VelmoraGameLauncher.exe")
        self.process = subprocess.Popen([*runner, exe], cwd=install_dir, env=env, stdout=self.log_file,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        self.pid = self.process.pid
        log(f"started {exe} (pid {self.pid})")

    def output(self):
        """Everything written so far, but the widget reports (collected in self.reports)."""
        with open(self.log_path, "rb") as f:
            f.seek(self.read_from)
            chunk = f.read()
        complete = chunk.rfind(b"\n") + 1
        self.read_from += complete
        for line in chunk[:complete].decode("utf-8", "replace").splitlines(keepends=True):
            if line.startswith(REPORT_PREFIX):
                self.reports.append(json.loads(line[len(REPORT_PREFIX):]))
            else:
                self.text += line
        return self.text

    def lines(self, pattern):
        return re.findall(pattern, self.output(), re.MULTILINE)

    def wait_output(self, pattern, timeout=30):
        wait_until(lambda: self.lines(pattern), timeout, f"debug output /{pattern}/")

    def window(self, title):
        self.output()
        return next((w for w in (self.reports or [[]])[-1] if w["title"] == title), None)

    def widget(self, title, name, timeout=30, **state):
        """The widget once the latest report shows it with every given property (text=..., enabled=...)."""
        def matching():
            widget = (self.window(title) or {"widgets": {}})["widgets"].get(name)
            return widget if widget and all(widget.get(k) == v for k, v in state.items()) else None
        return wait_until(matching, timeout, f'"{title}" {name} {state}')

    def wait_window(self, title, timeout=30):
        return wait_until(lambda: self.window(title), timeout, f'window "{title}"')

    def wait_no_window(self, title, timeout=10):
        wait_until(lambda: not self.window(title), timeout, f'window "{title}" to close')

    def click(self, title, name, **state):
        """Clicks the middle of the widget once it shows, takes clicks and has the given state."""
        w = self.widget(title, name, visible=True, enabled=True, **state)
        self.x11.click_in(title, w["x"] + w["w"] // 2, w["y"] + w["h"] // 2)

    def wait_play(self, timeout=60):
        self.widget(MAIN_TITLE, "pushButton", timeout, text="Play", enabled=True)

    def download(self, shoot=True):
        """Main button, then "Download" in the download-information dialog."""
        self.click(MAIN_TITLE, "pushButton")
        self.wait_window(DOWNLOAD_TITLE)
        if shoot:
            self.x11.screenshot("download-dialog")
        self.click(DOWNLOAD_TITLE, "Download")
        self.wait_no_window(DOWNLOAD_TITLE)

    def install_and_watch(self, timeout=120):
        """After "Download": photographs the run under way, then waits for "Play"."""
        self.x11.screenshot("running-step")
        self.wait_play(timeout)
        self.x11.screenshot("play")

    def raise_update_dialog(self):
        """Makes the launcher the active application by clicking its main window, as a user switching back
        to it would: the update dialog then stands above the main window, where the next click lands."""
        self.wait_window(UPDATE_TITLE)
        main = self.wait_window(MAIN_TITLE)
        self.x11.click_in(MAIN_TITLE, main["x"] + 10, main["y"] + 10)
        wait_until(lambda: self.window(UPDATE_TITLE) and any(w["active"] for w in self.reports[-1]), 10,
                   "the launcher to become active")

    def answer_message_box(self, title="Launcher", timeout=30):
        """Photographs the message box, answers it with Return and returns its text."""
        text = self.widget(title, "qt_msgbox_label", timeout)["text"]
        self.x11.screenshot("message-" + title.lower())
        self.x11.key(self.x11.window_id(title, self.pid), "Return")
        self.wait_no_window(title)
        log(f'message box "{title}": {text}')
        return text

    def play(self, marker="game-ran.marker"):
        """Play starts the sample game (it leaves `marker` in the installation) and the launcher stays open."""
        marker = os.path.join(self.install_dir, marker)
        check(not os.path.exists(marker), "the game ran before Play was pressed")
        self.click(MAIN_TITLE, "pushButton", text="Play")
        wait_until(lambda: os.path.exists(marker), 10, "Play to start the game")
        check(self.process.poll() is None, "the launcher did not stay open after starting the game")

    def close_main(self):
        """Closes the main window as its title-bar button would; the launcher must end normally."""
        self.x11.close_window(self.x11.window_id(MAIN_TITLE, self.pid))
        check(self.wait_exit() == 0, "the launcher did not end normally after its window was closed")

    def close_at(self, pattern):
        """Holds the launcher still at its first output line matching pattern, so that the close lands there on
        any machine, and closes its main window: the launcher must end normally. Returns its output."""
        self.wait_output(pattern, 120)
        os.kill(self.pid, signal.SIGSTOP)
        self.x11.close_window(self.x11.window_id(MAIN_TITLE, self.pid))
        closed = time.monotonic()
        os.kill(self.pid, signal.SIGCONT)
        check(self.wait_exit() == 0, "the launcher did not end normally after its window was closed")
        log(f"closed at /{pattern}/: the launcher ended {time.monotonic() - closed:.2f} s later")
        return self.output()

    def wait_exit(self, timeout=20):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"launcher (pid {self.pid}) still running after {timeout} s") from None

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(10)
        self.log_file.close()


def install_launcher(source_exe, install_dir, engine="/usr/lib/p7zip/7z.so"):
    """A fresh install directory holding a copy of the launcher and, as the build does, the engine: a link
    to Debian's 7z.so, or a copy of a 7z.dll."""
    shutil.rmtree(install_dir, ignore_errors=True)
    os.makedirs(install_dir)
    shutil.copy2(source_exe, os.path.join(install_dir, "VelmoraGameLauncher.exe"))
    if engine.endswith(".dll"):
        shutil.copy2(engine, os.path.join(install_dir, "7z.dll"))
    else:
        os.symlink(engine, os.path.join(install_dir, "7z.so"))


def servable_dir(preferred, name):
    """A directory nginx's workers (not root) can read: below /var/tmp when a directory above `preferred`
    is closed to others (a checkout in /root, say)."""
    path = os.path.abspath(preferred)
    while path != "/":
        path = os.path.dirname(path)
        if os.path.isdir(path) and not os.stat(path).st_mode & 0o001:
            return os.path.join("/var/tmp", "velmora-" + name)
    return preferred


def make_release(source_dir, launcher_exe, out, *extra):
    shutil.rmtree(out, ignore_errors=True)
    subprocess.run([sys.executable, os.path.join(source_dir, "tools", "make-sample-release.py"), out,
                    "--launcher", launcher_exe, *map(str, extra)], check=True)
    return os.path.join(out, "www")


def assert_same_tree(expected_root, actual_root, modes=True):
    """Same paths, kinds, contents and (unless told otherwise: Windows has none) modes below both roots."""
    def tree(root):
        return {os.path.relpath(os.path.join(d, n), root):
                (n in dirs, os.lstat(os.path.join(d, n)).st_mode if modes else None)
                for d, dirs, files in os.walk(root) for n in dirs + files}
    expected, actual = tree(expected_root), tree(actual_root)
    check(expected == actual, f"{actual_root} differs: {sorted(set(expected.items()) ^ set(actual.items()))[:10]}")
    for rel, (is_dir, _) in expected.items():
        check(is_dir or filecmp.cmp(os.path.join(expected_root, rel), os.path.join(actual_root, rel), False),
              f"{rel} differs in content")
