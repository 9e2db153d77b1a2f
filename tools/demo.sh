#!/usr/bin/env bash
# The main job, end to end: serves a freshly generated sample release with nginx on the launcher's
# compiled-in address (127.0.0.1:18470) and runs the built launcher from a fresh install directory.
#   demo.sh BUILD_DIR
# With a display ($DISPLAY set) you press Download, watch the steps and press Play; the demo ends when the
# launcher's window is closed. Without one (a server, CI) it runs under Xvfb, presses the buttons itself
# with xdotool, saves a screenshot of each step, prints their paths and stops everything it started.
set -euo pipefail

exec python3 "$(dirname "$(readlink -f "$0")")/demo.py" "$(readlink -f "${1:?usage: demo.sh BUILD_DIR}")"
