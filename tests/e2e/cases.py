#!/usr/bin/env python3
"""End-to-end cases: the real launcher in a fresh install directory under Xvfb, driven with xdotool,
against nginx serving a generated release on the launcher's compiled-in address.

    cases.py CASE --source DIR --launcher EXE --launcher-v4 EXE --work DIR --artifacts DIR

Exit status: 0 passed, 1 failed, 77 skipped (not enough disk for the large package)."""

import argparse
import functools
import http.server
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from launcher_driver import (  # noqa: E402
    COMPLETE_LINE, DIALOG_LEFT_BUTTON, DIALOG_RIGHT_BUTTON, DOWNLOAD_TITLE, DOWNLOADED_LINE, MAIN_TITLE,
    PROGRESS_LINE, RESULT_LINE, SERVER_PORT, UPDATE_TITLE, Failure, Launcher, ReleaseServer, X11, Xvfb,
    assert_same_tree, check, install_launcher, kill_pid, log, make_release, memory_kib, servable_dir, wait_until)

SKIP = 77
GIB = 1 << 30
GAME = "12"
CLIENT = f"/files/{GAME}/Client.zip"
REDIRECT = f"/releases/download/{GAME}/Client.zip"
LAUNCHER_ZIP = "/raw/main/launcher/OSRELWIN/Launcher.zip"



class HostileServer:
    """A release server gone bad, on the launcher's compiled-in port: it serves a release's files, but
    answers some paths with a redirect to wherever it likes ({path: Location})."""

    def __init__(self, www, redirects):
        self.counts = {}
        server = self

        class Handler(http.server.SimpleHTTPRequestHandler):
            def do_GET(self):
                server.counts[self.path] = server.counts.get(self.path, 0) + 1
                if self.path not in redirects:
                    return super().do_GET()
                self.send_response(302)
                self.send_header("Location", redirects[self.path])
                self.send_header("Content-Length", "0")
                self.end_headers()

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", SERVER_PORT),
                                                     functools.partial(Handler, directory=www))
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def requests(self, path):
        return self.counts.get(path, 0)

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Case:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        self.install = os.path.join(self.work, "install")
        self.release = servable_dir(os.path.join(self.work, "release"), f"e2e-{args.case}-release")
        self.launchers = []
        self.extra_pids = []
        self.server = None
        self.xvfb = None
        self.x11 = None

    def __enter__(self):
        for path in (self.work, self.args.artifacts, self.release):
            shutil.rmtree(path, ignore_errors=True)
        for path in (self.work, self.args.artifacts):
            os.makedirs(path)
        os.chmod(self.work, 0o755)
        self.xvfb = Xvfb(os.path.join(self.args.artifacts, "xvfb.log"))
        self.x11 = X11(self.xvfb.display, self.args.artifacts)
        log(f"X server {self.xvfb.display}, artifacts in {self.args.artifacts}")
        return self

    def __exit__(self, *exc):
        for launcher in self.launchers:
            launcher.stop()
        for pid in self.extra_pids:
            kill_pid(pid)
        if self.server:
            self.server.stop()
        self.xvfb.stop()

    # -- set-up -----------------------------------------------------------------------------------------
    def make_release(self, *options):
        if self.server:
            self.server.stop()
        www = make_release(self.args.source, self.args.launcher, self.release, *options)
        self.server = ReleaseServer(self.args.source, www)
        self.server.start()
        return www

    def fresh_install(self, with_engine=True):
        install_launcher(self.args.launcher, self.install, with_engine)

    def start(self, wrapper=(), name="launcher"):
        launcher = Launcher(self.x11, self.install, os.path.join(self.args.artifacts, name + ".log"), wrapper)
        self.launchers.append(launcher)
        return launcher

    def close(self, launcher, main):
        status = launcher.close_main(main)
        check(status == 0, f"launcher exited with {status} after closing its window")

    def read(self, relative):
        with open(os.path.join(self.install, relative), "rb") as f:
            return f.read()

    def exists(self, relative):
        return os.path.lexists(os.path.join(self.install, relative))


def check_step_order(launcher):
    """The debug lines of the three steps appear in order: download progress, download done, extraction
    progress, result."""
    out = launcher.output().splitlines()
    first = {}
    for index, line in enumerate(out):
        for key, pattern in (("progress", PROGRESS_LINE), ("downloaded", DOWNLOADED_LINE), ("result", RESULT_LINE)):
            if key not in first and re.search(pattern, line):
                first[key] = index
    check(set(first) == {"progress", "downloaded", "result"}, f"missing step lines: {first}")
    check(first["progress"] < first["downloaded"] < first["result"], f"steps out of order: {first}")
    extracted = values_after_download(launcher)
    check(extracted and extracted == sorted(extracted), f"extraction progress between them: {extracted}")


def wait_for_file(path, timeout):
    deadline = time.monotonic() + timeout
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def play_and_check_game_runs(case, launcher, main):
    marker = os.path.join(case.install, "game-ran.marker")
    check(not os.path.exists(marker), "the game ran before Play was pressed")
    # A loaded machine may still be in the launcher's pause before "Play": a disabled button ignores
    # the click, so click again until the game has run.
    for _ in range(5):
        launcher.press_main_button(main)
        if wait_for_file(marker, 3):
            break
    check(os.path.exists(marker), "Play did not start the game")
    # Every case then closes the window: the launcher that answers that has stayed open.
    check(launcher.process.poll() is None, "the launcher did not stay open after starting the game")


# -- cases --------------------------------------------------------------------------------------------------
def first_install(case):
    case.make_release()
    case.fresh_install()
    launcher = case.start()
    main = launcher.main_window()
    time.sleep(0.5)
    case.x11.screenshot("main-window")
    launcher.download(main)
    launcher.install_and_watch()
    check_step_order(launcher)
    results = launcher.lines(RESULT_LINE)
    check(results == ["0"], f"extraction results {results}")
    assert_same_tree(os.path.join(case.release, "GameDir"), os.path.join(case.install, "GameDir"))
    check(case.read("c.ini") == GAME.encode(), f"c.ini holds {case.read('c.ini')!r}")
    check(not case.exists("TEMP/package.zip"), "the package was left in TEMP")
    check(case.server.requests(REDIRECT) == 1 and case.server.requests(CLIENT) == 1,
          "the package was not requested exactly once through the redirect")
    play_and_check_game_runs(case, launcher, main)
    case.close(launcher, main)


def update(case):
    old = os.path.join(case.work, "old")
    make_release(case.args.source, case.args.launcher, old, "--game-version", "11")
    case.make_release()
    case.fresh_install()
    shutil.copytree(os.path.join(old, "GameDir"), os.path.join(case.install, "GameDir"), symlinks=True)
    with open(os.path.join(case.install, "c.ini"), "w") as f:
        f.write("11")
    launcher = case.start()
    main = launcher.main_window()
    launcher.wait_output(r"^New Game Version Found$", 5)
    time.sleep(0.5)
    case.x11.screenshot("update-offered")
    launcher.download(main)
    launcher.install_and_watch()
    check(not case.exists("GameDir/data/release-11.txt"), "a file of the old version survived the update")
    assert_same_tree(os.path.join(case.release, "GameDir"), os.path.join(case.install, "GameDir"))
    check(case.read("c.ini") == b"12", f"c.ini holds {case.read('c.ini')!r}")
    play_and_check_game_runs(case, launcher, main)
    case.close(launcher, main)


def current(case):
    case.make_release()
    case.fresh_install()
    shutil.copytree(os.path.join(case.release, "GameDir"), os.path.join(case.install, "GameDir"), symlinks=True)
    with open(os.path.join(case.install, "c.ini"), "w") as f:
        f.write(GAME)
    launcher = case.start()
    main = launcher.main_window()
    time.sleep(0.5)
    case.x11.screenshot("play")
    play_and_check_game_runs(case, launcher, main)
    check(case.server.requests(REDIRECT) == 0 and case.server.requests(CLIENT) == 0,
          "the current game was downloaded again")
    check(not case.x11.windows(DOWNLOAD_TITLE), "Play opened the download dialog")
    check(not launcher.lines(PROGRESS_LINE), "a download ran")
    case.close(launcher, main)


def bad_hash(case):
    """A package that does not match the manifest's hash fails the check; once the server serves the
    right package, a second attempt in the same process installs it, each attempt served once."""
    www = case.make_release()
    package = os.path.join(www, "files", GAME, "Client.zip")
    good = package + ".good"
    os.rename(package, good)
    with open(package, "wb") as f:
        f.write(b"PK\3\4 not the published package")
    os.chmod(package, 0o644)
    case.fresh_install()
    launcher = case.start()
    main = launcher.main_window()
    launcher.download(main, shoot=False)
    launcher.wait_output(DOWNLOADED_LINE)
    launcher.answer_message_box("Launcher", timeout=10)
    check(not launcher.lines(RESULT_LINE), "a package that failed the check was extracted")
    wait_until(lambda: not case.exists("TEMP/package.zip"), 5, "the rejected package to be removed")
    check(not case.exists("c.ini"), "c.ini written after a failed check")
    time.sleep(0.3)
    case.x11.screenshot("idle-after-failure")

    os.replace(good, package)
    launcher.download(main, shoot=False)
    launcher.install_and_watch()
    check(launcher.lines(RESULT_LINE) == ["0"], f"extraction results {launcher.lines(RESULT_LINE)}")
    check(case.server.requests(CLIENT) == 2, f"{case.server.requests(CLIENT)} package requests for two attempts")
    assert_same_tree(os.path.join(case.release, "GameDir"), os.path.join(case.install, "GameDir"))
    check(case.read("c.ini") == GAME.encode(), "c.ini not written")
    check(not case.x11.windows("Launcher"), "a message box appeared after the successful attempt")
    case.close(launcher, main)


def damaged_package(case):
    """A package with a damaged entry (its hash published, so it passes the check) fails extraction. A
    second attempt in the same process is served exactly once; after the server is fixed, a new start
    installs the package."""
    case.make_release("--damaged")
    case.fresh_install()
    launcher = case.start()
    main = launcher.main_window()
    for attempt in (1, 2):
        launcher.download(main, shoot=attempt == 1)
        launcher.wait_output(DOWNLOADED_LINE)
        launcher.answer_message_box("Launcher", timeout=30)
        # A duplicate answer would come with this one and open a second box before the first is answered.
        wait_until(lambda: len(launcher.lines(RESULT_LINE)) >= attempt, 5, "the extraction result line")
        results = launcher.lines(RESULT_LINE)
        check(len(results) == attempt and all(r != "0" for r in results),
              f"attempt {attempt}: extraction results {results}")
        check(not case.x11.windows("Launcher"), f"attempt {attempt}: more than one message box")
        check(case.server.requests(CLIENT) == attempt, f"attempt {attempt}: {case.server.requests(CLIENT)} requests")
        check(not case.exists("TEMP/package.zip"), "the damaged package was left in TEMP")
        check(not case.exists("c.ini"), "a damaged package was recorded as installed")
    case.x11.screenshot("idle-after-extraction-failure")
    case.close(launcher, main)
    check(len(launcher.lines(RESULT_LINE)) == 2, f"two attempts, results {launcher.lines(RESULT_LINE)}")

    case.make_release()  # the fixed release, with its own hash
    launcher = case.start()
    main = launcher.main_window()
    launcher.download(main, shoot=False)
    launcher.install_and_watch()
    assert_same_tree(os.path.join(case.release, "GameDir"), os.path.join(case.install, "GameDir"))
    check(case.read("c.ini") == GAME.encode(), "c.ini not written after the fixed release")
    check(case.server.requests(CLIENT) == 1, "the fixed package was not served exactly once")
    case.close(launcher, main)


def hostile_redirect(case):
    """The package request redirected to a local file: the download fails with its message, nothing is
    installed, and the launcher lives on (it used to crash) until its window is closed."""
    www = make_release(case.args.source, case.args.launcher, case.release)
    case.server = HostileServer(www, {REDIRECT: "file:///etc/passwd"})
    case.fresh_install()
    launcher = case.start()
    main = launcher.main_window()
    launcher.download(main, shoot=False)
    launcher.answer_message_box("Launcher", timeout=30)
    check(launcher.lines(r"^302$") and not launcher.lines(DOWNLOADED_LINE),
          "the redirect's target was taken for the package")
    check(case.server.requests(REDIRECT) == 1, f"{case.server.requests(REDIRECT)} package requests")
    check(not case.exists("c.ini") and not case.exists("GameDir/Velmora.exe"), "something was installed")
    case.close(launcher, main)


def engine_missing(case):
    """No engine beside the launcher and none in the distribution's place (hidden by an empty directory
    mounted over it in a private mount namespace): "Q7Zip" message, exit status -1."""
    case.make_release()
    case.fresh_install(with_engine=False)
    empty = os.path.join(case.work, "no-engine")
    os.makedirs(empty)
    hide = 'mount --bind "$1" /usr/lib/p7zip && exec "$2"'
    probe = subprocess.run(["unshare", "-m", "sh", "-c", hide, "sh", empty, "true"], capture_output=True, text=True)
    if probe.returncode != 0:
        print(f"SKIPPED: cannot hide the engine in a private mount namespace here: {probe.stderr.strip()}")
        sys.exit(SKIP)
    launcher = case.start(wrapper=("unshare", "-m", "sh", "-c", hide, "sh", empty))
    main = launcher.main_window()
    launcher.download(main, shoot=False)
    seen = {}  # window -> title
    deadline = time.monotonic() + 60
    while launcher.process.poll() is None and time.monotonic() < deadline:
        boxes = {w: t for t in ("Q7Zip", "Launcher") for w in case.x11.windows(t, launcher.pid)}
        if boxes:
            # One box may open inside another's modal loop: the newest is the one that takes input.
            wid = max(boxes)
            if wid not in seen:
                seen[wid] = boxes[wid]
                time.sleep(0.3)
                case.x11.screenshot("message-" + boxes[wid].lower())
            case.x11.key(wid, "Return")
            time.sleep(0.3)
        time.sleep(0.1)
    titles = list(seen.values())
    status = launcher.wait_exit(5)
    check("Q7Zip" in titles, f"no Q7Zip message; message boxes seen: {titles}")
    check(status == 255, f"exit status {status}, expected -1 (255)")
    check(not case.exists("c.ini"), "c.ini written without an engine")


def self_update(case):
    """Launcher field 4: the update dialog shows the change log before the main window; "Update"
    downloads the version-4 build, which takes over the installation and starts from there."""
    case.make_release("--launcher-version", "4", "--launcher-package", case.args.launcher_v4,
                      "--changelog", "Launcher 4\n\nBetter than ever.")
    case.fresh_install()
    installed = os.path.join(case.install, "VelmoraGameLauncher.exe")
    launcher = case.start()
    case.x11.wait_window(UPDATE_TITLE, pid=launcher.pid)
    launcher.wait_output(r"^New Launcher Version Found$", 5)
    main = launcher.main_window()
    dialog = launcher.raise_update_dialog(main)
    case.x11.screenshot("update-dialog")
    case.x11.click(dialog, *DIALOG_RIGHT_BUTTON)
    case.x11.wait_no_window(UPDATE_TITLE)
    launcher.wait_output(COMPLETE_LINE, 30)
    status = launcher.wait_exit(15)
    check(status == 0, f"the old launcher exited with {status}")
    check(case.server.requests(LAUNCHER_ZIP) == 1, "Launcher.zip was not downloaded exactly once")

    with open(case.args.launcher_v4, "rb") as f:
        v4 = f.read()
    wait_until(lambda: open(installed, "rb").read() == v4, 15, "the installed launcher to be the version-4 build")
    check(not case.exists("TEMP/LauncherUpdate/VelmoraGameLauncher.exe"), "the new launcher was not moved")
    new_main = case.x11.wait_window(MAIN_TITLE, 20)
    new_pid = case.x11.window_pid(new_main)
    case.extra_pids.append(new_pid)
    check(os.readlink(f"/proc/{new_pid}/exe") == installed, "the running launcher is not the installed one")
    # Its manifest check, and the update offer it could make, come before its window shows.
    check(len(launcher.lines(r"^New Launcher Version Found$")) == 1,
          "the version-4 launcher offered another update")
    case.x11.screenshot("updated-launcher")
    # Its button works: the game is not installed, so it offers the download.
    launcher.press_main_button(new_main)
    dialog = case.x11.wait_window(DOWNLOAD_TITLE, pid=new_pid)
    case.x11.click(dialog, *DIALOG_LEFT_BUTTON)
    case.x11.close_window(new_main)
    wait_until(lambda: not os.path.exists(f"/proc/{new_pid}/exe"), 10, "the updated launcher to exit")


def update_declined(case):
    """The update dialog's Cancel, Escape and title-bar close each end the launcher with status 0,
    without downloading anything."""
    case.make_release("--launcher-version", "4", "--launcher-package", case.args.launcher_v4)
    case.fresh_install()
    for way in ("cancel", "escape", "close"):
        launcher = case.start()
        case.x11.wait_window(UPDATE_TITLE, pid=launcher.pid)
        dialog = launcher.raise_update_dialog(launcher.main_window())
        if way == "cancel":
            case.x11.click(dialog, *DIALOG_LEFT_BUTTON)
        elif way == "escape":
            case.x11.key(dialog, "Escape")
        else:
            case.x11.close_window(dialog)
        status = launcher.wait_exit(10)
        check(status == 0, f"{way}: exit status {status}")
        check(case.server.requests(LAUNCHER_ZIP) == 0, f"{way}: the launcher package was downloaded")
        check(not case.exists("TEMP"), f"{way}: the self-update started")


def write_failures(case):
    """A package that cannot be written (disk full) is a download failure with the system's reason and
    leaves no partial file; a c.ini that cannot be written is reported and the button keeps offering the
    download instead of "Play"."""
    case.make_release()
    case.fresh_install()
    os.makedirs(os.path.join(case.install, "TEMP"))
    os.symlink("/dev/full", os.path.join(case.install, "TEMP", "package.zip"))
    launcher = case.start()
    main = launcher.main_window()
    launcher.download(main, shoot=False)
    launcher.answer_message_box("Launcher", timeout=30)
    check(launcher.lines(r"No space left on device"), "the download failure did not name the full disk")
    check(not case.exists("TEMP/package.zip"), "the partial package stayed in TEMP")
    check(not launcher.lines(DOWNLOADED_LINE), "a package that could not be written was checked")

    os.makedirs(os.path.join(case.install, "c.ini"))
    launcher.download(main, shoot=False)
    launcher.wait_output(COMPLETE_LINE, 60)
    launcher.answer_message_box("Launcher", timeout=30)
    check(launcher.lines(r"^c\.ini: .+"), "the c.ini failure did not reach the debug log")
    assert_same_tree(os.path.join(case.release, "GameDir"), os.path.join(case.install, "GameDir"))
    # Not "Play": the button offers the download again.
    launcher.open_download_dialog(main)
    case.x11.key(case.x11.wait_window(DOWNLOAD_TITLE, pid=launcher.pid), "Escape")
    case.x11.wait_no_window(DOWNLOAD_TITLE)
    check(not os.path.exists(os.path.join(case.install, "game-ran.marker")), "the game was started")
    case.close(launcher, main)


def concurrent_launchers(case):
    """While one launcher installs, a second one in the same installation leaves GameDir alone and says
    why. Closing the first one's window during the extraction ends it at once without recording the
    install; the second one then installs the whole package."""
    try:
        case.make_release("--large-gib", "1.5")
    except subprocess.CalledProcessError as error:
        if error.returncode == SKIP:
            print("SKIPPED: not enough free disk for the package (see the message above)")
            sys.exit(SKIP)
        raise
    case.fresh_install()
    first = case.start(name="first")
    first_main = first.main_window()
    second = case.start(name="second")
    second_main = second.main_window()
    # Side by side as far as the screen allows: each main button stays uncovered.
    case.x11.xdotool("windowmove", first_main, 0, 0)
    case.x11.xdotool("windowmove", second_main, 576, 324)
    time.sleep(0.5)
    first.download(first_main, shoot=False)
    first.wait_output(PROGRESS_LINE, 30)

    second.download(second_main, shoot=False)
    second.answer_message_box("Launcher", timeout=30)
    check(second.lines(r"^Another launcher is installing in this folder "), "the second launcher did not say why")
    check(not second.lines(PROGRESS_LINE), "the second launcher downloaded")

    first.wait_output(DOWNLOADED_LINE, 120)
    wait_until(lambda: values_after_download(first), 60, "the extraction to report progress")
    # Held still while the window is closed, so the close lands early in the extraction on any machine.
    os.kill(first.pid, signal.SIGSTOP)
    case.x11.close_window(first_main)
    os.kill(first.pid, signal.SIGCONT)
    status = first.wait_exit(20)
    check(status == 0, f"the first launcher exited with {status}")
    check(not first.lines(COMPLETE_LINE), "the extraction ran to its end after the window closed")
    check(not case.exists("c.ini"), "an interrupted installation was recorded")
    big = os.path.join("GameDir", "data", "large.pak")
    check(not case.exists(big) or os.path.getsize(os.path.join(case.install, big)) <
          os.path.getsize(os.path.join(case.release, big)), "the large file was written whole")

    second.download(second_main, shoot=False)
    second.install_and_watch(timeout=120)
    assert_same_tree(os.path.join(case.release, "GameDir"), os.path.join(case.install, "GameDir"))
    check(case.read("c.ini") == GAME.encode(), "c.ini not written by the second launcher")
    case.close(second, second_main)


def self_update_fails(case):
    """A new launcher that cannot be started is reported and leaves this one running; files an earlier
    attempt left in TEMP/LauncherUpdate are gone before the new package is unpacked."""
    not_executable = os.path.join(case.work, "not-a-launcher")
    with open(not_executable, "w") as f:
        f.write("not a program\n")
    os.chmod(not_executable, 0o644)
    case.make_release("--launcher-version", "4", "--launcher-package", not_executable)
    case.fresh_install()
    stale = os.path.join(case.install, "TEMP", "LauncherUpdate", "stale.dat")
    os.makedirs(os.path.dirname(stale))
    open(stale, "w").close()
    launcher = case.start()
    case.x11.wait_window(UPDATE_TITLE, pid=launcher.pid)
    main = launcher.main_window()
    dialog = launcher.raise_update_dialog(main)
    case.x11.click(dialog, *DIALOG_RIGHT_BUTTON)
    launcher.wait_output(COMPLETE_LINE, 30)
    launcher.answer_message_box("Launcher", timeout=30)
    check(launcher.lines(r"^Failed to start .*VelmoraGameLauncher\.exe"), "the failed start was not logged")
    check(launcher.process.poll() is None, "the launcher ended after its update failed to start")
    check(not os.path.exists(stale), "a file of an earlier attempt stayed in TEMP/LauncherUpdate")
    check(case.exists("TEMP/LauncherUpdate/VelmoraGameLauncher.exe"), "the launcher package was not unpacked")
    case.close(launcher, main)


def large_package(case):
    """A package of more than 4.5 GiB installs with both bars moving forward to the end, and memory
    stays within 32 MiB of the idle footprint."""
    gib = 4.6
    try:
        case.make_release("--large-gib", gib)
    except subprocess.CalledProcessError as error:
        if error.returncode == SKIP:
            print(f"SKIPPED: not enough free disk for a {gib} GiB package (see the message above)")
            sys.exit(SKIP)
        raise
    case.fresh_install()
    launcher = case.start()
    main = launcher.main_window()
    time.sleep(2.0)
    idle = memory_kib(launcher.pid, "VmRSS")
    with open(f"/proc/{launcher.pid}/clear_refs", "w") as f:
        f.write("5")  # restart the peak-RSS count from here
    log(f"idle RSS {idle} KiB")
    launcher.download(main, shoot=False)
    samples = watch_bars(case, launcher, main, timeout=900)
    for step in ("download", "extract"):
        steps = [fill[1] for phase, *fill in samples if phase == step]
        check(only_forward(steps), f"the step bar went backwards while {step}ing: {steps}")
        check(len(set(steps)) >= 3, f"the step bar hardly moved while {step}ing: {steps}")
    overall = [fill[0] for _, *fill in samples]
    check(only_forward(overall), f"the overall bar went backwards: {overall}")
    peak = memory_kib(launcher.pid, "VmHWM")
    log(f"peak RSS {peak} KiB, {(peak - idle) / 1024:.1f} MiB above idle")
    check(launcher.lines(RESULT_LINE) == ["0"], f"extraction results {launcher.lines(RESULT_LINE)}")

    received = [(int(r), int(t)) for r, t in launcher.lines(PROGRESS_LINE)]
    total = received[-1][1]
    check(total >= int(4.5 * GIB), f"download total {total}")
    check(all(b[0] >= a[0] for a, b in zip(received, received[1:])), "download progress went backwards")
    check(received[-1][0] == total, "download progress did not reach the total")
    extracted = values_after_download(launcher)
    check(all(b >= a for a, b in zip(extracted, extracted[1:])), "extraction progress went backwards")
    check(extracted[-1] >= int(4.5 * GIB), f"extraction progress ended at {extracted[-1]}")
    check(peak - idle <= 32 * 1024, f"peak RSS {peak} KiB is {(peak - idle) / 1024:.1f} MiB above idle")

    expected = os.path.join(case.release, "GameDir")
    actual = os.path.join(case.install, "GameDir")
    big = os.path.join("data", "large.pak")
    check(os.path.getsize(os.path.join(actual, big)) == os.path.getsize(os.path.join(expected, big)),
          "the large file was not installed whole")
    launcher.wait_ready_to_play()
    check(case.read("c.ini") == GAME.encode(), "c.ini not written")
    case.x11.screenshot("play")
    case.close(launcher, main)


def only_forward(widths):
    """Bar fills read from pixels never shrink; a pixel or two of the chunk's rounded end may come and go
    as it is drawn at the end of the bar."""
    return all(width >= max(widths[:i]) - 2 for i, width in enumerate(widths) if i)


def watch_bars(case, launcher, main, timeout):
    """Reads both bars' fill from the window until the extraction result arrives. Returns (step, overall,
    step bar) samples, each taken while the debug output showed the same step before and after it."""
    def step():
        out = launcher.output()
        if re.search(RESULT_LINE, out, re.MULTILINE):
            return "done"
        if values_after_download(launcher):
            return "extract"
        if re.search(DOWNLOADED_LINE, out, re.MULTILINE):
            return "check"
        return "download" if re.search(PROGRESS_LINE, out, re.MULTILINE) else "start"

    samples, photographed = [], set()
    deadline = time.monotonic() + timeout
    while (before := step()) != "done":
        check(time.monotonic() < deadline, f"no extraction result within {timeout} s")
        fill = launcher.bar_fill(main)
        if fill and step() == before and before in ("download", "extract"):
            samples.append((before, *fill))
            # One picture per step once its bar is well under way (the bar is about 1000 pixels).
            if before not in photographed and fill[1] > 300:
                case.x11.screenshot(f"{before}ing")
                photographed.add(before)
        elif before == "check" and before not in photographed:
            case.x11.screenshot("integrity-check")
            photographed.add(before)
        time.sleep(0.2)
    log(f"{len(samples)} readings of the bars")
    return samples


def values_after_download(launcher):
    """The extraction progress values: the bare numbers logged between the download and the result."""
    out = launcher.output()
    start = re.search(DOWNLOADED_LINE, out, re.MULTILINE)
    if not start:
        return []
    end = re.search(RESULT_LINE, out[start.end():], re.MULTILINE)
    section = out[start.end():start.end() + end.start()] if end else out[start.end():]
    return [int(v) for v in re.findall(r"^(\d+)$", section, re.MULTILINE)]


CASES = {f.__name__: f for f in (first_install, update, current, bad_hash, damaged_package, hostile_redirect,
                                 engine_missing, self_update, update_declined, large_package, write_failures,
                                 concurrent_launchers, self_update_fails)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--source", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--launcher-v4", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    case = Case(args)
    try:
        with case:
            CASES[args.case](case)
    except Failure as failure:
        log(f"FAILED: {failure}")
        print(f"launcher output and screenshots: {args.artifacts}")
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        if args.case in ("large_package", "concurrent_launchers"):
            shutil.rmtree(args.work, ignore_errors=True)  # gigabytes
            shutil.rmtree(case.release, ignore_errors=True)
    log(f"PASSED: {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
