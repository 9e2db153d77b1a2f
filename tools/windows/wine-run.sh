#!/usr/bin/env bash
# Runs a Windows program of the build under wine64, in a Wine prefix of the project's own.
#   wine-run.sh --init        makes the prefix once (no display driver: the tests draw offscreen)
#   wine-run.sh PROGRAM ARGS  runs PROGRAM in it and returns its exit status
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-${VELMORA_WINEPREFIX:-/var/cache/velmora-win/wineprefix}}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them, and they would ask for a download.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
WINE=/usr/lib/wine/wine64

if [ "${1:-}" = "--init" ]; then
    if [ ! -f "$WINEPREFIX/.velmora-ready" ]; then
        mkdir -p "$WINEPREFIX"
        DISPLAY= "$WINE" wineboot --init >/dev/null 2>&1
        [ -n "${VELMORA_WINE_DISPLAY:-}" ] ||
            DISPLAY= "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
        /usr/lib/wine/wineserver64 -w
        touch "$WINEPREFIX/.velmora-ready"
    fi
    exit 0
fi
exec "$WINE" "$@"
