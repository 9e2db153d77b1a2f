#!/usr/bin/env bash
# Runs a Windows program of the build under wine64, in a Wine prefix of the project's own.
#   wine-run.sh --init        makes the prefix once: no display driver, the tests draw offscreen
#   wine-run.sh --init-x11    makes it once for a real window on $DISPLAY (the end-to-end cases)
#   wine-run.sh --start       starts the prefix's Wine server and services for a run of tests
#   wine-run.sh --stop        ends them
#   wine-run.sh PROGRAM ARGS  runs PROGRAM in it and returns its exit status
# Wine leaves out the Unix variables named QT_*: the prefix's own environment holds the ones Qt needs here.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${VELMORA_WINEPREFIX:-${VELMORA_WIN_CACHE:-/var/cache/velmora-win}/wineprefix}}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them, and they would ask for a download.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
WINE=/usr/lib/wine/wine64

setting() { DISPLAY= "$WINE" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }

case "${1:-}" in
--init | --init-x11)
    # Made anew when this script changes: the prefix holds what it sets.
    ready="$WINEPREFIX/.velmora-ready-$(sha256sum "$0" | cut -c1-12)"
    if [ ! -f "$ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        DISPLAY= "$WINE" wineboot --init >/dev/null 2>&1
        # A program without a console logs to the debugger: its output belongs to whoever runs it.
        setting 'HKCU\Environment' QT_FORCE_STDERR_LOGGING 1
        if [ "$1" = --init ]; then
            setting 'HKCU\Software\Wine\Drivers' Graphics null
            setting 'HKCU\Environment' QT_QPA_PLATFORM offscreen
            # The offscreen platform draws text with FreeType, from these fonts.
            setting 'HKCU\Environment' QT_QPA_FONTDIR 'Z:\usr\share\fonts\truetype\dejavu'
        fi
        /usr/lib/wine/wineserver64 -w
        touch "$ready"
    fi
    exit 0
    ;;
--start)
    # Started apart from any test: the server and the services Wine starts with the first program would
    # otherwise keep that test's output open, and CTest would wait for them.
    # One already running (a run before this one not yet ended) serves as well.
    /usr/lib/wine/wineserver64 -p </dev/null >/dev/null 2>&1 || true
    DISPLAY=${DISPLAY:-} "$WINE" wineboot </dev/null >/dev/null 2>&1
    exit 0
    ;;
--stop)
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
    exit 0
    ;;
esac
exec "$WINE" "$@"
