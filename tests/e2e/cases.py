#!/usr/bin/env python3
"""End-to-end cases: the real launcher in a fresh install directory under Xvfb, driven through its widget
reports, against a release served on its compiled-in address. Exit status 0 passed, 1 failed, 77 skipped.
    cases.py CASE --source DIR --launcher EXE --launcher-v4 EXE --work DIR --artifacts DIR
             [--wine RUNNER --engine 7z.dll --game-exe EXE]   (the Windows build under Wine)"""

import argparse
import contextlib
import filecmp
import hashlib
import os
import shutil
import signal
import subprocess
import sys
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from launcher_driver import (  # noqa: E402
    MAIN_TITLE, UPDATE_TITLE, Failure, Launcher, ReleaseServer, X11, Xvfb,
    assert_same_tree, check, install_launcher, log, make_release, servable_dir, wait_until)

SKIP = 77
GAME = "12"
CLIENT = f"/files/{GAME}/Client.zip"
LAUNCHER_ZIP = "/raw/main/launcher/OSRELWIN/Launcher.zip"


class Case:
    """One case's X server, release server, install directory and launchers, all ended on exit."""

    def __init__(self, args):
        self.args = args
        self.install = os.path.join(args.work, "install")
        self.release = servable_dir(os.path.join(args.work, "release"), f"e2e-{args.case}-release")
        self.launchers, self.extra_pids, self.server = [], [], None

    def __enter__(self):
        for path in (self.args.work, self.args.artifacts, self.release):
            shutil.rmtree(path, ignore_errors=True)
        os.makedirs(self.args.artifacts)
        os.makedirs(self.args.work, 0o755)
        self.xvfb = Xvfb(os.path.join(self.args.artifacts, "xvfb.log"))
        self.x11 = X11(self.xvfb.display, self.args.artifacts)
        if self.args.wine:
            # Wine's server and services start on this case's display and end with it.
            for step in ("--init-x11", "--start"):
                subprocess.run([self.args.wine, step], env=self.x11.env, check=True)
        install_launcher(self.args.launcher, self.install, self.args.engine)
        return self

    def __exit__(self, *exc):
        for launcher in self.launchers:
            launcher.stop()
        for pid in self.extra_pids:
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
        if self.server:
            self.server.stop()
        if self.args.wine:
            subprocess.run([self.args.wine, "--stop"], check=False)
        self.xvfb.stop()

    def serve(self, *options):
        """Serves a newly generated release; skips the case when the disk has no room for it."""
        if self.server:
            self.server.stop()
        wine = ("--game-exe", self.args.game_exe) if self.args.wine else ()
        try:
            www = make_release(self.args.source, self.args.launcher, self.release, *options, *wine)
        except subprocess.CalledProcessError as error:
            if error.returncode == SKIP:
                print("SKIPPED: not enough free disk for the package (see the message above)")
                sys.exit(SKIP)
            raise
        self.server = ReleaseServer(self.args.source, www, "0")
        self.server.start()
        return www

    def start(self, name="launcher"):
        launcher = Launcher(self.x11, self.install, os.path.join(self.args.artifacts, name + ".log"),
                            [self.args.wine] if self.args.wine else [])
        self.launchers.append(launcher)
        return launcher

    def path(self, relative):
        return os.path.join(self.install, relative)

    def exists(self, relative):
        return os.path.lexists(self.path(relative))

    def check_installed(self):
        assert_same_tree(os.path.join(self.release, "GameDir"), self.path("GameDir"), modes=not self.args.wine)
        ini = self.path("c.ini")
        check(os.path.isfile(ini) and open(ini, "rb").read() == GAME.encode(), "c.ini does not hold the version")
        check(not self.exists("TEMP/package.zip"), "the package was left in TEMP")


def same_content(a, b):
    try:
        return filecmp.cmp(a, b, False)
    except FileNotFoundError:
        return False


def check_bars_only_forward(launcher, step_moves=0):
    """In every reported state of the run the overall bar never falls back, nor does the step bar within
    one step; the step bar of the download and of the extraction each take at least `step_moves` values."""
    readings = []  # (caption, overall value, step bar's fraction)
    for main in (w["widgets"] for report in launcher.reports for w in report if w["title"] == MAIN_TITLE):
        step = main["progressBar_2"]
        if main["progressBar"]["visible"]:
            fraction = step["value"] / step["maximum"] if step["visible"] and step["maximum"] > 0 else None
            readings.append((main["label"]["text"], main["progressBar"]["value"], fraction))
    overall = [value for _, value, _ in readings]
    check(overall and overall == sorted(overall), f"the overall bar went backwards: {overall}")
    for caption in ("Downloading Game Package (1/3)", "Extracting Package (3/3)"):
        steps = [f for c, _, f in readings if c == caption and f is not None]
        check(steps == sorted(steps), f"the step bar went backwards in {caption}: {steps}")
        check(len(set(steps)) >= step_moves, f"the step bar hardly moved in {caption}: {steps}")
    log(f"{len(readings)} reported bar states, all moving forward")


# -- cases --------------------------------------------------------------------------------------------------
def first_install(case):
    """A host that serves another package under a manifest that matches it is refused before anything is
    downloaded: the publisher signed neither. Then, the release as published: Download -> dialog -> the
    steps, bars moving forward -> the package's tree, c.ini -> Play starts the game and the launcher stays
    open."""
    www = case.serve()
    package, manifest = www + CLIENT, os.path.join(www, "raw/main/launcher/version.txt")
    published = [open(path, "rb").read() for path in (package, manifest)]
    tampered = published[0] + b"tampered"
    with open(package, "wb") as f, open(manifest, "wb") as m:
        f.write(tampered)
        m.write(published[1][:-32] + hashlib.md5(tampered).hexdigest().encode())
    refused = case.start("tampered")
    # The box opens before the main window and its reports: the X server shows it.
    wait_until(lambda: case.x11.windows("Launcher"), 30, "the message box refusing the release")
    check(refused.lines(r"Release signature: .*not made by a known key") and case.server.requests(CLIENT) == 0,
          "the tampered release was not refused for its signature")
    refused.stop()
    for path, content in zip((package, manifest), published):
        with open(path, "wb") as f:
            f.write(content)
    launcher = case.start()
    launcher.widget(MAIN_TITLE, "pushButton", text="Download", enabled=True)
    size = (launcher.window(MAIN_TITLE)["w"], launcher.window(MAIN_TITLE)["h"])
    check(size == (1344, 756), f"the window is {size}, not 70 % of the 1920-pixel screen at 16:9")
    case.x11.screenshot("main-window")
    launcher.download()
    launcher.install_and_watch()
    check_bars_only_forward(launcher)
    case.check_installed()
    launcher.play("GameDir/started.txt" if case.args.wine else "game-ran.marker")
    launcher.close_main()


def self_update(case):
    """Launcher field 4: the update dialog; "Update" downloads the version-4 build, which takes over the
    installation, starts from there and offers no further update."""
    case.serve("--launcher-version", "4", "--launcher-package", case.args.launcher_v4,
               "--changelog", "Launcher 4\n\nBetter than ever.")
    installed = case.path("VelmoraGameLauncher.exe")
    launcher = case.start()
    launcher.raise_update_dialog()
    case.x11.screenshot("update-dialog")
    launcher.click(UPDATE_TITLE, "Update")
    check(launcher.wait_exit() == 0, "the old launcher did not end normally")
    # From here on the reports in the shared output are the hand-over's and the version-4 launcher's.
    launcher.output()
    launcher.reports.clear()
    check(case.server.requests(LAUNCHER_ZIP) == 1, "Launcher.zip was not downloaded exactly once")
    # The hand-over renames the old build aside, then moves the new one in.
    wait_until(lambda: same_content(installed, case.args.launcher_v4), 15, "the version-4 build installed")
    # Asked of the X server: a program Wine starts detached writes its output nowhere. The manifest check runs
    # to its end before the main window shows, and an update dialog would show within it.
    wait_until(lambda: case.x11.windows(MAIN_TITLE), 30, "the updated launcher's window")
    check(not case.x11.windows(UPDATE_TITLE), "the version-4 launcher offered an update")
    case.x11.screenshot("updated-launcher")
    if not case.args.wine:
        new_pid = int(case.x11.xdotool("search", "--onlyvisible", "--name", f"^{MAIN_TITLE}$", "getwindowpid"))
        case.extra_pids.append(new_pid)
        check(os.readlink(f"/proc/{new_pid}/exe") == installed, "the running launcher is not the installed one")


def interrupted_runs(case):
    """Four launchers in turn in one installation, none of the interrupted ones leaving c.ini:
    - the first is killed mid-download;
    - the second continues the partial package (nginx's log: a 206 for exactly the rest) and is closed in the
      MD5 check: it ends before any extraction;
    - the third is closed mid-extraction: it ends without finishing the file it was writing;
    - the fourth installs, and Play starts the game."""
    case.serve("--large-gib", "1")
    first = case.start("first")
    first.download(shoot=False)
    first.wait_output(r"^[1-9]\d* - \d+\r?$")
    os.kill(first.pid, signal.SIGSTOP)  # at once: the package must still be partial when it is killed
    first.stop()
    kept, whole = os.path.getsize(case.path("TEMP/package.zip")), os.path.getsize(case.server.www + CLIENT)

    second = case.start("second")
    second.download(shoot=False)
    check("Extracting " not in second.close_at(r"^Computing the package's MD5") and not case.exists("c.ini"),
          "the check went on after the window closed")
    transfers = case.server.transfers(CLIENT)
    log(f"killed with {kept} of {whole} bytes on disk; nginx: {transfers}")
    # The first launcher may have made more than one request: when the read-buffer limit did not reach Qt's
    # network thread, it continues from what is on disk with a request whose limit holds.
    check(transfers[0][0] == "200" and transfers[-1] == ("206", str(whole - kept), f"bytes={kept}-"),
          "the second launcher did not ask for exactly the rest")

    third = case.start("third")
    third.download(shoot=False)
    third.close_at(r"^Extracting ")
    big = "GameDir/data/large.pak"  # a stopped extraction removes the file it was writing
    whole = os.path.getsize(os.path.join(case.release, big))
    check(not case.exists("c.ini") and (not case.exists(big) or os.path.getsize(case.path(big)) < whole),
          "the extraction ran to its end after the window closed")

    fourth = case.start("fourth")
    fourth.download(shoot=False)
    fourth.install_and_watch()
    case.check_installed()
    fourth.play("game-ran.marker")
    fourth.close_main()


def large_package(case):
    """A package of more than 4.5 GiB installs with both bars only moving forward (its memory is measured
    by bench_download)."""
    case.serve("--large-gib", 4.6)
    launcher = case.start()
    launcher.download(shoot=False)
    launcher.widget(MAIN_TITLE, "label", 900, text="Extracting Package (3/3)")
    launcher.install_and_watch(timeout=900)
    check_bars_only_forward(launcher, step_moves=3)
    case.check_installed()
    launcher.close_main()


CASES = {f.__name__: f for f in (first_install, self_update, interrupted_runs, large_package)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    for option in ("--source", "--launcher", "--launcher-v4", "--work", "--artifacts"):
        parser.add_argument(option, required=True)
    for option, default in (("--wine", None), ("--engine", "/usr/lib/p7zip/7z.so"), ("--game-exe", None)):
        parser.add_argument(option, default=default)
    args = parser.parse_args()
    case = Case(args)
    try:
        with case:
            CASES[args.case](case)
    except Failure as failure:
        log(f"FAILED: {failure}\nlauncher output and screenshots: {args.artifacts}")
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        shutil.rmtree(args.work, ignore_errors=True)
        shutil.rmtree(case.release, ignore_errors=True)
    log(f"PASSED: {args.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
