"""Drives the launcher in an X server: a private Xvfb, the sample release server, the launcher run from an
install directory, the mouse, the keyboard and the camera. Used by the end-to-end tests and by the demo.
Standard library only; needs Xvfb, xdotool, ImageMagick's import and nginx."""

import ctypes
import filecmp
import os
import re
import shutil
import signal
import subprocess
import sys
import time

SERVER_PORT = int(os.environ.get("VELMORA_RELEASE_PORT", "18470"))  # compiled into the launcher
SCREEN = (1920, 1080)
MAIN_TITLE = "Velmora Launcher"
DOWNLOAD_TITLE = "Download Package Info"
UPDATE_TITLE = "Launcher Updater"
MAIN_BUTTON_COLOUR = bytes((98, 127, 144))
BAR_CHUNK_COLOUR = bytes((0, 255, 127))
WHITE = bytes((255, 255, 255))
# The launcher's debug lines for the steps of a package run.
PROGRESS_LINE = r"^(\d+)\s+-\s+(-?\d+)$"
DOWNLOADED_LINE = r"^file is downloaded successfully\.$"
RESULT_LINE = r"^Operation_Result:.*?(-?\d+)\s*$"
COMPLETE_LINE = r"extract complete\.\s*$"
# Both dialogs share one layout: 400 x 300 with the two buttons at the bottom.
DIALOG_LEFT_BUTTON = (10 + 181 // 2, 250 + 41 // 2)
DIALOG_RIGHT_BUTTON = (210 + 181 // 2, 250 + 41 // 2)


class Failure(Exception):
    pass


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)


class Xvfb:
    """A private X server; the display number is whatever Xvfb finds free. It never resets: a launcher
    that hands over to the next one may be its last client for a moment, and a reset then refuses the
    next launcher's connection."""

    def __init__(self, log_path=None):
        """log_path keeps the server's own messages (for a case that loses its display)."""
        read_end, write_end = os.pipe()
        stderr = open(log_path, "wb") if log_path else subprocess.DEVNULL
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,), stderr=stderr)
        os.close(write_end)
        if log_path:
            stderr.close()
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise Failure("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


class ReleaseServer:
    """tools/release-server.sh on the launcher's compiled-in port, serving RELEASE/www."""

    def __init__(self, source_dir, www):
        self.script = os.path.join(source_dir, "tools", "release-server.sh")
        self.www = www
        self.access_log = www + ".nginx/access.log"

    def start(self):
        if os.path.exists(self.access_log):
            os.remove(self.access_log)
        subprocess.run([self.script, "start", self.www, str(SERVER_PORT)], check=True,
                       stdout=subprocess.DEVNULL)

    def stop(self):
        subprocess.run([self.script, "stop", self.www], check=False, stdout=subprocess.DEVNULL)

    def requests(self, path):
        """How many GET requests for exactly this path nginx has answered."""
        if not os.path.exists(self.access_log):
            return 0
        with open(self.access_log, encoding="utf-8", errors="replace") as f:
            return sum(1 for line in f if f'"GET {path} HTTP/' in line)


class X11:
    """Mouse, keyboard, windows and pictures on one display."""

    def __init__(self, display, artifacts):
        self.display = display
        self.env = dict(os.environ, DISPLAY=display)
        self.artifacts = artifacts
        self.shots = 0

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True,
                                timeout=30)
        if check and result.returncode != 0:
            raise Failure(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    def windows(self, title, pid=None):
        args = ["search", "--onlyvisible", "--name", f"^{re.escape(title)}$"]
        if pid:
            args[1:1] = ["--all", "--pid", pid]  # conditions are alternatives unless --all
        return [int(w) for w in self.xdotool(*args, check=False).split()]

    def wait_window(self, title, timeout=20, pid=None):
        return wait_until(lambda: (self.windows(title, pid) or [None])[0], timeout, f'window "{title}"')

    def wait_no_window(self, title, timeout=10):
        wait_until(lambda: not self.windows(title), timeout, f'window "{title}" to close')

    def geometry(self, wid):
        values = dict(line.split("=", 1) for line in self.xdotool("getwindowgeometry", "--shell", wid).split())
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def window_pid(self, wid):
        return int(self.xdotool("getwindowpid", wid).strip())

    def click(self, wid, x, y):
        """Clicks at (x, y) inside the window."""
        left, top, _, _ = self.geometry(wid)
        target = (left + x, top + y)
        # "mousemove --sync" waits for a motion that never comes when the pointer is already there.
        here = dict(item.split(":", 1) for item in self.xdotool("getmouselocation").split())
        if (int(here["x"]), int(here["y"])) != target:
            self.xdotool("mousemove", "--sync", *target)
        self.xdotool("click", 1)

    def key(self, wid, key):
        self.xdotool("windowfocus", "--sync", wid)
        self.xdotool("key", key)

    def close_window(self, wid):
        """What a title-bar close button does: ask the client to close the window (WM_DELETE_WINDOW)."""
        send_delete_window(self.display, wid)

    def pixels(self, wid):
        """The window's pixels as rows of RGB bytes."""
        _, _, width, height = self.geometry(wid)
        data = subprocess.run(["import", "-window", str(wid), "-depth", "8", "rgb:-"], env=self.env,
                              capture_output=True, check=True, timeout=60).stdout
        return width, height, data

    def pixel(self, x, y):
        """The colour of one screen pixel as RGB bytes."""
        return subprocess.run(["import", "-window", "root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"],
                              env=self.env, capture_output=True, check=True, timeout=60).stdout[:3]

    def screenshot(self, name):
        self.shots += 1
        path = os.path.join(self.artifacts, f"{self.shots:02d}-{name}.png")
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=60,
                       stderr=subprocess.DEVNULL)
        log(f"screenshot {path}")
        return path


def colour_rows(width, height, data, colour):
    """{y: x positions of the colour} for the rows of the window's lower half that hold it at all."""
    rows = {}
    for y in range(height // 2, height):
        row = data[y * width * 3:(y + 1) * width * 3]
        xs = [m.start() // 3 for m in re.finditer(re.escape(colour), row) if m.start() % 3 == 0]
        if xs:
            rows[y] = xs
    return rows


def row_bands(rows):
    """The row numbers grouped into runs of consecutive rows."""
    bands, band = [], []
    for y in sorted(rows):
        if band and y != band[-1] + 1:
            bands.append(band)
            band = []
        band.append(y)
    if band:
        bands.append(band)
    return bands


def send_delete_window(display, wid):
    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class Event(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = xlib.XOpenDisplay(display.encode())
    if not dpy:
        raise Failure(f"cannot open display {display}")
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = wid
    event.xclient.message_type = xlib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = xlib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    xlib.XSendEvent(dpy, wid, 0, 0, ctypes.byref(event))
    xlib.XFlush(dpy)
    xlib.XCloseDisplay(dpy)


class Launcher:
    """The launcher under test, run from an install directory; its debug output (stderr) goes to a file
    that also collects whatever it starts detached."""

    def __init__(self, x11, install_dir, log_path, wrapper=()):
        self.x11 = x11
        self.install_dir = install_dir
        self.log_path = log_path
        self.log_file = open(log_path, "ab")
        self.log_start = self.log_file.tell()
        env = dict(x11.env)
        env.pop("QT_QPA_PLATFORM", None)
        env["QT_QPA_PLATFORM"] = "xcb"
        exe = os.path.join(install_dir, "VelmoraGameLauncher.exe")
        self.process = subprocess.Popen([*wrapper, exe], cwd=install_dir, env=env, stdout=self.log_file,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        log(f"started {exe} (pid {self.process.pid})")

    @property
    def pid(self):
        return self.process.pid

    def output(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            f.seek(self.log_start)
            return f.read()

    def lines(self, pattern):
        return re.findall(pattern, self.output(), re.MULTILINE)

    def wait_output(self, pattern, timeout=30):
        return wait_until(lambda: re.search(pattern, self.output(), re.MULTILINE), timeout,
                          f"debug output /{pattern}/")

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

    def main_window(self, timeout=20):
        return self.x11.wait_window(MAIN_TITLE, timeout, pid=self.pid)

    def main_button(self, wid):
        """Centre of the main button: the tallest band of rows in the lower half of the window holding a
        long run of the button's colour (the progress bars share the colour but are much thinner)."""
        rows = {y: xs for y, xs in colour_rows(*self.x11.pixels(wid), MAIN_BUTTON_COLOUR).items() if len(xs) >= 100}
        bands = row_bands(rows)
        if not bands or len(max(bands, key=len)) < 40:
            raise Failure("main button not found in the window")
        band = max(bands, key=len)
        # The leftmost run of the middle row: visible progress bars continue the colour further right.
        xs = rows[band[len(band) // 2]]
        right = xs[0]
        while right + 1 - xs[0] < len(xs) and xs[right + 1 - xs[0]] == right + 1:
            right += 1
        return (xs[0] + right) // 2, (band[0] + band[-1]) // 2

    def bar_fill(self, wid):
        """How many pixels of each progress bar are filled, (overall, step), read from the window: the
        bars' chunks are the only areas of their colour. None while fewer than two bars show a chunk."""
        rows = colour_rows(*self.x11.pixels(wid), BAR_CHUNK_COLOUR)
        bands = row_bands(rows)
        if len(bands) != 2:
            return None
        return tuple(len(rows[b[len(b) // 2]]) for b in bands)

    def press_main_button(self, wid):
        x, y = self.main_button(wid)
        self.x11.click(wid, x, y)

    def open_download_dialog(self, main):
        self.press_main_button(main)
        dialog = self.x11.wait_window(DOWNLOAD_TITLE, pid=self.pid)
        time.sleep(0.3)
        return dialog

    def download(self, main, shoot=True):
        """Main button, then "Download" in the download-information dialog."""
        dialog = self.open_download_dialog(main)
        if shoot:
            self.x11.screenshot("download-dialog")
        self.x11.click(dialog, *DIALOG_RIGHT_BUTTON)
        self.x11.wait_no_window(DOWNLOAD_TITLE)

    def install_and_watch(self, timeout=60):
        """After "Download": follows the steps, photographing them, until the button reads "Play"."""
        self.wait_output(DOWNLOADED_LINE, timeout)
        time.sleep(0.3)
        self.x11.screenshot("running-step-integrity-check")
        self.wait_output(RESULT_LINE, timeout + 30)
        self.x11.screenshot("extracted")
        self.wait_ready_to_play()
        self.x11.screenshot("play")

    def wait_ready_to_play(self, timeout=60):
        """After a successful extraction: c.ini is written, then the launcher pauses 3 s before "Play"."""
        self.wait_output(COMPLETE_LINE, timeout)
        wait_until(lambda: os.path.exists(os.path.join(self.install_dir, "c.ini")), timeout, "c.ini")
        time.sleep(3.5)

    def raise_update_dialog(self, main):
        """Makes the launcher the active application by clicking its main window, as a user switching
        back to it would: the update dialog must then stand above the main window. Returns the dialog."""
        self.x11.click(main, 20, 20)
        time.sleep(0.5)
        dialog = self.x11.wait_window(UPDATE_TITLE, pid=self.pid)  # a new window: its flags changed
        left, top, _, _ = self.x11.geometry(dialog)
        # The dialog's white heading, where the main window shows its dark background picture.
        wait_until(lambda: self.x11.pixel(left + 5, top + 5) == WHITE, 5,
                   "the update dialog to stand above the main window")
        return dialog

    def close_main(self, main):
        """Closes the main window as its title-bar button would; returns the exit status."""
        self.x11.close_window(main)
        return self.wait_exit()

    def answer_message_box(self, title="Launcher", timeout=30):
        wid = self.x11.wait_window(title, timeout, pid=self.pid)
        time.sleep(0.3)
        shot = self.x11.screenshot("message-" + title.lower())
        self.x11.key(wid, "Return")
        self.x11.wait_no_window(title)
        return shot


def install_launcher(source_exe, install_dir, with_engine=True):
    """A fresh install directory holding a copy of the launcher (and, as the build does, the engine
    link beside it)."""
    if os.path.exists(install_dir):
        shutil.rmtree(install_dir)
    os.makedirs(install_dir)
    shutil.copy2(source_exe, os.path.join(install_dir, "VelmoraGameLauncher.exe"))
    if with_engine:
        os.symlink("/usr/lib/p7zip/7z.so", os.path.join(install_dir, "7z.so"))


def servable_dir(preferred, name):
    """A directory for a release nginx will serve. nginx's workers do not run as root, so every directory
    above it must be passable by others; when one above `preferred` is not (a checkout in /root, say),
    the release goes below /var/tmp instead."""
    path = os.path.abspath(preferred)
    while path != "/":
        path = os.path.dirname(path)
        if os.path.isdir(path) and not os.stat(path).st_mode & 0o001:
            return os.path.join("/var/tmp", "velmora-" + name)
    return preferred


def make_release(source_dir, launcher_exe, out, *extra):
    if os.path.exists(out):
        shutil.rmtree(out)
    subprocess.run([sys.executable, os.path.join(source_dir, "tools", "make-sample-release.py"), out,
                    "--launcher", launcher_exe, *map(str, extra)], check=True)
    return os.path.join(out, "www")


def tree(root):
    """Relative path -> (kind, mode, content digest) for everything below root."""
    entries = {}
    for dirpath, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(dirpath, name)
            st = os.lstat(path)
            rel = os.path.relpath(path, root)
            entries[rel] = (name in dirs, st.st_mode & 0o7777, None if name in dirs else st.st_size)
    return entries


def assert_same_tree(expected_root, actual_root):
    expected, actual = tree(expected_root), tree(actual_root)
    if expected != actual:
        diff = sorted(set(expected.items()) ^ set(actual.items()))
        raise Failure(f"{actual_root} differs from {expected_root}: {diff[:10]}")
    for rel, (is_dir, _, _) in expected.items():
        if not is_dir and not filecmp.cmp(os.path.join(expected_root, rel), os.path.join(actual_root, rel),
                                          shallow=False):
            raise Failure(f"{rel} differs in content")


def check(condition, message):
    if not condition:
        raise Failure(message)


def processes_running(exe_path):
    """Pids whose executable is exe_path."""
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.readlink(f"/proc/{entry}/exe") == exe_path:
                    pids.append(int(entry))
            except OSError:
                pass
    return pids


def memory_kib(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise Failure(f"no {field} for pid {pid}")


def kill_pid(pid):
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
