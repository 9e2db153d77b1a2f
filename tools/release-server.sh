#!/usr/bin/env bash
# Serves a sample release directory on loopback with nginx, laid out as the launcher's two endpoints:
#   http://127.0.0.1:PORT/raw/main/launcher/...               raw-file endpoint (ROOT/raw/main/launcher/)
#   http://127.0.0.1:PORT/releases/download/V/Client.zip      302 to /files/V/Client.zip (ROOT/files/V/)
#
#   release-server.sh start ROOT [PORT]   start in the background, return once the port answers
#   release-server.sh run ROOT [PORT]     run in the foreground until interrupted
#   release-server.sh stop ROOT           stop the nginx that start left running for ROOT
#
# The pid file, logs and temporary paths live in ROOT.nginx/ beside ROOT (ROOT.nginx/access.log
# records every request, with its status, body bytes sent and Range). PORT defaults to 18470, the address
# compiled into the launcher. RELEASE_RATE (nginx's size syntax, bytes per second) slows the transfer of
# each package as a slow connection would; 0, the default, does not.
set -euo pipefail

usage() {
    echo "usage: $0 start|run|stop ROOT [PORT]" >&2
    exit 2
}

[ $# -ge 2 ] || usage
action=$1
root=$(readlink -f "$2")
port=${3:-18470}
run="$root.nginx"
template="$(dirname "$(readlink -f "$0")")/release-server.conf.in"

running_pid() {
    local pid
    pid=$(cat "$run/nginx.pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

# nginx started as root serves through unprivileged workers: the tree must be readable by others and
# every directory above it passable.
check_readable() {
    chmod -R a+rX "$root"
    local dir=$root
    while [ "$dir" != / ]; do
        dir=$(dirname "$dir")
        if [ "$(id -u)" = 0 ] && [ $(( 0$(stat -c %a "$dir") & 1 )) = 0 ]; then
            echo "release-server: $dir is not passable for others; nginx workers could not read $root" >&2
            exit 1
        fi
    done
}

write_config() {
    mkdir -p "$run"
    sed -e "s|@ROOT@|$root|g" -e "s|@RUN@|$run|g" -e "s|@PORT@|$port|g" -e "s|@RATE@|${RELEASE_RATE:-0}|g" \
        "$template" >"$run/nginx.conf"
}

port_answers() {
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
}

wait_listening() {
    for _ in $(seq 1 100); do
        if port_answers; then
            return 0
        fi
        sleep 0.05
    done
    echo "release-server: nginx did not start listening on 127.0.0.1:$port (see $run/error.log)" >&2
    return 1
}

case "$action" in
start | run)
    [ -d "$root" ] || { echo "release-server: $root is not a directory" >&2; exit 1; }
    if pid=$(running_pid); then
        echo "release-server: already running for $root (pid $pid)" >&2
        exit 1
    fi
    if port_answers; then
        echo "release-server: 127.0.0.1:$port is already in use by another server" >&2
        exit 1
    fi
    check_readable
    write_config
    if [ "$action" = run ]; then
        exec nginx -p "$run" -c "$run/nginx.conf" -e "$run/error.log" -g "daemon off;"
    fi
    nginx -p "$run" -c "$run/nginx.conf" -e "$run/error.log"
    wait_listening
    echo "release-server: serving $root on http://127.0.0.1:$port/ (pid $(cat "$run/nginx.pid"))"
    ;;
stop)
    if ! pid=$(running_pid); then
        echo "release-server: not running for $root"
        exit 0
    fi
    kill -QUIT "$pid"
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || exit 0
        sleep 0.05
    done
    kill -TERM "$pid" 2>/dev/null || true
    ;;
*)
    usage
    ;;
esac
