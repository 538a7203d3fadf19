#!/usr/bin/env bash
# Reads ORMEX through AT-SPI as a screen reader does: a private session bus with its accessibility bus,
# an Xvfb display, the program started from data/ with Qt's accessibility on, then atspi_check.py.
#   tests/a11y/run_atspi_check.sh [program] [display] [ru|en]
# The language (Russian unless given) is chosen for the program through LANGUAGE, as a desktop would.
# Needs xvfb, x11-utils, xdotool, dbus, at-spi2-core and python3-pyatspi.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
program=$(realpath "${1:-$root/build/dev/app/ormex}")
display=${2:-:23}
language=${3:-ru}
case "$language" in ru | en) ;; *) echo "language: ru or en" >&2; exit 2 ;; esac

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${ORMEX_ATSPI_INNER:-}" ]; then
    exec env ORMEX_ATSPI_INNER=1 dbus-run-session -- "$0" "$program" "$display" "$language"
fi

pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

/usr/libexec/at-spi-bus-launcher --launch-immediately &
pids+=($!)
for _ in $(seq 50); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1 && break
    sleep 0.1
done

if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
    pids+=($!)
    for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
fi

(cd "$root/data" && DISPLAY=$display QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LANGUAGE=$language \
    exec "$program") &
program_pid=$!
pids+=("$program_pid")
# Without a window manager the window becomes active only when it is given the input focus.
for _ in $(seq 100); do
    window=$(DISPLAY=$display xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null | head -1) || true
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "${window:-}" ] && DISPLAY=$display xdotool windowfocus --sync "$window"

/usr/bin/python3 "$here/atspi_check.py" "$program_pid" "$language"
