#!/usr/bin/env bash
# The monkey test: tests/monkey/monkeydriver.cpp as a seeded random user of the program on an Xvfb of its
# own (1280 x 1024, a free display number), under a private session bus, with or without a window manager.
#
#   tests/monkey/run_monkey.sh [--program PATH] [--driver PATH] [--wm openbox|xfwm4|kwin_x11|none]
#                              [--scale N] [--seed N] [--actions N] [--replays]
#                              [--replay LOG [--upto N]] [--logs DIR]
#
# Defaults: build/asan/app/ormex (the AddressSanitizer + UBSan build), build/dev/tests/monkey/monkeydriver,
# no window manager, scale 1, seed 1, 300 actions, logs in build/monkey. --replays first replays every
# recorded case in tests/monkey/replays/ (each a case that once went wrong); --replay runs one log up to
# and with action N instead of random actions. The program's standard error may hold only the lines of
# tests/xdrive/allowed-errors.txt. A link it opens goes to a stand-in browser that records the address.
# One PASS or FAIL line per run; a failure also prints the command that replays it. Exit status 1 when any
# run failed, 2 when the set-up did (no X server); a window manager that is not installed is skipped.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
program=$root/build/asan/app/ormex
driver=$root/build/dev/tests/monkey/monkeydriver
wm=none scale=1 seed=1 actions=300 replays=0 replay='' upto='' logs=$root/build/monkey
args=("$@")
while [ $# -gt 0 ]; do
    case "$1" in
    --program) program=$2 ;;
    --driver) driver=$2 ;;
    --wm) wm=$2 ;;
    --scale) scale=$2 ;;
    --seed) seed=$2 ;;
    --actions) actions=$2 ;;
    --replay) replay=$(realpath "$2") ;;
    --upto) upto=$2 ;;
    --logs) logs=$2 ;;
    --replays) replays=1; shift; continue ;;
    *) echo "run_monkey.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
program=$(realpath "$program")
driver=$(realpath "$driver")
case "$wm" in none | openbox | xfwm4 | kwin_x11) ;; *) echo "unknown window manager $wm" >&2; exit 2 ;; esac
if [ "$wm" != none ] && ! command -v "$wm" >/dev/null; then
    echo "SKIP $wm: not installed"
    exit 0
fi

# kwin needs a session bus, and the program gets one as on a desktop. What the bus's services print goes
# nowhere; the runs print on the script's own outputs.
if [ -z "${ORMEX_MONKEY_INNER:-}" ]; then
    exec env ORMEX_MONKEY_INNER=1 dbus-run-session -- "$0" "${args[@]}" 3>&1 4>&2 >/dev/null 2>&1
fi
exec 1>&3 2>&4 3>&- 4>&-

mkdir -p "$logs"
logs=$(realpath "$logs")
# Beside the logs rather than in /tmp, where a clean-up of other programs' folders could take it away.
work=$(mktemp -d "$logs/run.XXXXXX")
server_pid='' wm_pid=''
cleanup() {
    for p in "$wm_pid" "$server_pid"; do
        [ -n "$p" ] || continue
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# A home of its own: what a window manager or the program might write stays here.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/home/.config
export XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The link opens the stand-in browser, which writes the address it got to browser.log.
export ORMEX_MONKEY_BROWSER_LOG=$logs/browser.log
printf '[Desktop Entry]\nType=Application\nName=Monkey browser\nExec=%s %%u\n' "$here/browser-stub.sh" \
    >"$XDG_DATA_HOME/applications/monkey-browser.desktop"
printf '[Default Applications]\nx-scheme-handler/http=monkey-browser.desktop\nx-scheme-handler/https=monkey-browser.desktop\ntext/html=monkey-browser.desktop\n' \
    >"$XDG_CONFIG_HOME/mimeapps.list"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1

# The server picks a display number no other server holds.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp -noreset 5>"$work/display" >"$work/xvfb.log" 2>&1 &
server_pid=$!
for _ in $(seq 400); do
    [ -s "$work/display" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 2; }
export DISPLAY=:$(head -n1 "$work/display")

case "$wm" in
openbox)
    # No menus or bindings: a click on the bare screen must not open the root menu, whose entries end
    # the window manager.
    printf '<?xml version="1.0"?>\n<openbox_config xmlns="http://openbox.org/3.4/rc"><focus><focusNew>yes</focusNew></focus><keyboard/><mouse/></openbox_config>\n' \
        >"$work/openbox.xml"
    openbox --config-file "$work/openbox.xml" >"$work/wm.log" 2>&1 &
    ;;
xfwm4) xfwm4 --compositor=off >"$work/wm.log" 2>&1 & ;;
kwin_x11) QT_QPA_PLATFORM=xcb kwin_x11 >"$work/wm.log" 2>&1 & ;;
esac
if [ "$wm" != none ]; then
    wm_pid=$!
    # Up once it has claimed the screen's window-manager selection.
    for _ in $(seq 200); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
    kill -0 "$wm_pid" 2>/dev/null || { echo "FAIL: $wm did not start" >&2; tail "$work/wm.log" >&2; exit 2; }
fi

failed=0
name="$wm-scale$scale"
command="tests/monkey/run_monkey.sh --program $program --wm $wm --scale $scale"
drive() { # log, then the driver's own options
    local status=0
    "$driver" --program "$program" --folder "$root/data" --scale "$scale" \
        --allowed-errors "$root/tests/xdrive/allowed-errors.txt" --replay-command "$command" --log "$@" ||
        status=$?
    [ "$status" -eq 0 ] || failed=1
    [ "$status" -le 1 ] || exit "$status"
}
if [ "$replays" = 1 ]; then
    for case in "$here"/replays/*.log; do
        drive "$logs/$name-$(basename "$case")" --replay "$case"
    done
fi
if [ -n "$replay" ]; then
    drive "$logs/$name-replay.log" --replay "$replay" ${upto:+--upto "$upto"}
else
    drive "$logs/$name-seed$seed.log" --seed "$seed" --actions "$actions"
fi
exit $failed
