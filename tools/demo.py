#!/usr/bin/env python3
"""The main job, end to end: serves a freshly generated sample release with nginx on the launcher's
compiled-in address and runs the built launcher from a fresh install directory.

    demo.py BUILD_DIR

With a display ($DISPLAY) the user drives: "Download", watch the three steps, "Play"; the demo ends when
the launcher's window is closed. Without one it runs under Xvfb and presses the buttons itself, saves a
screenshot of each step (main window, download dialog, a running step, "Play", and the launcher-update
dialog from a second short run announcing launcher 4), prints their paths and stops what it started."""

import os
import shutil
import subprocess
import sys

from launcher_driver import (MAIN_TITLE, UPDATE_TITLE, Failure, Launcher, ReleaseServer, X11, Xvfb, install_launcher,
                             log, make_release, servable_dir)

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Demo:
    def __init__(self, build):
        self.launcher_exe = os.path.join(build, "bin", "VelmoraGameLauncher.exe")
        self.dir = os.path.join(build, "demo")
        self.shots = os.path.join(build, "demo-screenshots")
        for path in (self.dir, self.shots):
            shutil.rmtree(path, ignore_errors=True)
            os.makedirs(path)
        os.chmod(self.dir, 0o755)  # nginx workers read the release below it
        self.server = None

    def serve(self, name, *options):
        """Serves a newly generated release in place of the one served so far."""
        self.stop_server()
        www = make_release(SOURCE, self.launcher_exe,
                           servable_dir(os.path.join(self.dir, name), "demo-" + name), *options)
        self.server = ReleaseServer(SOURCE, www)
        self.server.start()

    def stop_server(self):
        if self.server:
            self.server.stop()
            self.server = None

    def install(self, name):
        path = os.path.join(self.dir, name)
        install_launcher(self.launcher_exe, path)
        return path

    def run_with_display(self):
        install = self.install("install")
        exe = os.path.join(install, "VelmoraGameLauncher.exe")
        print(f"demo: running {exe}; press Download, then Play; close the window to end the demo", flush=True)
        return subprocess.run([exe], cwd=install).returncode

    def run_headless(self):
        xvfb = Xvfb()
        try:
            x11 = X11(xvfb.display, self.shots)
            self.install_and_play(x11)
            self.serve("release-update", "--launcher-version", "4")
            self.show_update_dialog(x11)
        finally:
            xvfb.stop()
        print("demo: screenshots:")
        for name in sorted(os.listdir(self.shots)):
            print(f"  {os.path.join(self.shots, name)}")
        return 0

    def install_and_play(self, x11):
        install = self.install("install")
        launcher = Launcher(x11, install, os.path.join(self.dir, "launcher.log"))
        try:
            launcher.widget(MAIN_TITLE, "pushButton", text="Download", enabled=True)
            x11.screenshot("main-window")
            launcher.download()
            launcher.install_and_watch()
            launcher.play()
            log("Play started the sample game")
            launcher.close_main()
        finally:
            launcher.stop()

    def show_update_dialog(self, x11):
        """A second, short run against a manifest announcing launcher 4: the update dialog, then Cancel."""
        launcher = Launcher(x11, self.install("install-update"), os.path.join(self.dir, "launcher-update.log"))
        try:
            launcher.raise_update_dialog()
            x11.screenshot("update-dialog")
            launcher.click(UPDATE_TITLE, "Cancel")
            log(f"Cancel in the update dialog ended the launcher with status {launcher.wait_exit()}")
        finally:
            launcher.stop()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: demo.py BUILD_DIR")
    demo = Demo(os.path.abspath(sys.argv[1]))
    try:
        demo.serve("release")
        if os.environ.get("DISPLAY"):
            return demo.run_with_display()
        return demo.run_headless()
    except Failure as failure:
        print(f"demo: FAILED: {failure} (launcher output in {demo.dir})", file=sys.stderr)
        return 1
    finally:
        demo.stop_server()


if __name__ == "__main__":
    sys.exit(main())
