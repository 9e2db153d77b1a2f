#!/usr/bin/env bash
# Runs the built launcher from a fresh install directory: BUILD/demo-install.
#   demo.sh BUILD_DIR
# With a display ($DISPLAY set) the launcher runs there until its window is closed. Without one it runs
# under Xvfb on a 1920 x 1080 screen; once its first window shows, the screen is saved as a picture,
# its path printed, and everything that was started here is stopped.
set -euo pipefail

BUILD=$(readlink -f "${1:?usage: demo.sh BUILD_DIR}")
INSTALL=$BUILD/demo-install
SHOTS=$BUILD/demo-screenshots
SCREEN=1920x1080x24
STARTED_PIDS=()

# Stops what this script started, the latest first (the launcher before the display it draws on).
stop_started() {
    local i pid
    for ((i = ${#STARTED_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${STARTED_PIDS[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_started EXIT

# A clean install directory holding only what a user would have: the launcher and the engine beside it.
make_install() {
    rm -rf "$INSTALL"
    mkdir -p "$INSTALL"
    cp "$BUILD/bin/VelmoraGameLauncher.exe" "$INSTALL/"
    ln -s "$(readlink -f "$BUILD/bin/7z.so")" "$INSTALL/7z.so"
}

# Starts Xvfb on a display number it picks itself (-displayfd) and exports DISPLAY once it is ready.
start_virtual_display() {
    local numberFile
    numberFile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp 3>"$numberFile" 2>/dev/null &
    STARTED_PIDS+=($!)
    for _ in $(seq 1 100); do
        if [ -s "$numberFile" ]; then
            DISPLAY=:$(tr -d '\n' <"$numberFile")
            export DISPLAY
            rm -f "$numberFile"
            return 0
        fi
        sleep 0.1
    done
    echo "demo: Xvfb did not start" >&2
    return 1
}

# start_launcher [LOG]: runs the launcher in the install directory, its diagnostics to LOG if given.
start_launcher() {
    local log=${1:-/dev/stderr}
    (cd "$INSTALL" && exec ./VelmoraGameLauncher.exe 2>>"$log") &
    LAUNCHER_PID=$!
    STARTED_PIDS+=("$LAUNCHER_PID")
}

# Waits until the launcher shows a window (the main window, or a message box before it).
wait_for_window() {
    if ! timeout 60 xdotool search --sync --onlyvisible --pid "$LAUNCHER_PID" >/dev/null; then
        echo "demo: the launcher showed no window within 60 s" >&2
        return 1
    fi
    sleep 1 # let it paint
}

screenshot() {
    local path=$SHOTS/$1.png
    mkdir -p "$SHOTS"
    import -window root "$path"
    echo "demo: screenshot saved to $path"
}

make_install
if [ -n "${DISPLAY:-}" ]; then
    start_launcher
    wait "$LAUNCHER_PID"
else
    start_virtual_display
    : >"$BUILD/demo-launcher.log"
    start_launcher "$BUILD/demo-launcher.log"
    wait_for_window
    screenshot main-window
    echo "demo: the launcher's diagnostics are in $BUILD/demo-launcher.log"
fi
