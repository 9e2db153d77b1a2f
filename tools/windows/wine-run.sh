#!/usr/bin/env bash
# Runs a Windows program of the build under wine64, in a Wine prefix of the project's own.
#   wine-run.sh --init        makes the prefix once: no display driver, the tests draw offscreen
#   wine-run.sh --init-x11    makes it once for a real window on $DISPLAY (the end-to-end cases)
#   wine-run.sh PROGRAM ARGS  runs PROGRAM in it and returns its exit status
# Wine leaves out the Unix variables named QT_*: the prefix's own environment holds the ones Qt needs here.
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${VELMORA_WINEPREFIX:-/var/cache/velmora-win/wineprefix}}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them, and they would ask for a download.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
WINE=/usr/lib/wine/wine64

setting() { DISPLAY= "$WINE" reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1; }

case "${1:-}" in
--init | --init-x11)
    if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
        mkdir -p "$WINEPREFIX"
        DISPLAY= "$WINE" wineboot --init >/dev/null 2>&1
        # A program without a console logs to the debugger: its output belongs to whoever runs it.
        setting 'HKCU\Environment' QT_FORCE_STDERR_LOGGING 1
        if [ "$1" = --init ]; then
            setting 'HKCU\Software\Wine\Drivers' Graphics null
            setting 'HKCU\Environment' QT_QPA_PLATFORM offscreen
        fi
        /usr/lib/wine/wineserver64 -w
        touch "$WINEPREFIX/.velmora-ready"
    fi
    exit 0
    ;;
esac
exec "$WINE" "$@"
