#!/usr/bin/env bash
# ORMEX under real window managers: each one installed (openbox, xfwm4, kwin_x11), and a bare X server,
# on an Xvfb of its own at 1280 x 1024. Every check starts the program afresh and runs before anything
# has moved its window:
#   hint   resting the pointer on the divine button brings its hint beside the pointer after 500 ms
#   drag   a drag of the background by (100,60) moves the window by exactly that
#   error  the error box (no g/readme.txt, Справка pressed) opens over the window
# One PASS or FAIL line per check; the exit status is 1 when any failed.
#   tests/wm/run_wm_check.sh [program] [display]
# ORMEX_WM_STARTS (default 5) starts per check, ORMEX_WM_SCALES (default "1 2") display scales,
# ORMEX_WM_LIST (default "openbox xfwm4 kwin_x11 none") the window managers to try.
# Needs xvfb, x11-utils, xdotool and dbus; the window managers from the packages openbox, xfwm4 and
# kwin-x11 (those not installed are skipped).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
program=$(realpath "${1:-$root/build/dev/app/ormex}")
display=${2:-:37}
starts=${ORMEX_WM_STARTS:-5}
scales=${ORMEX_WM_SCALES:-1 2}
managers=${ORMEX_WM_LIST:-openbox xfwm4 kwin_x11 none}

# kwin needs a session bus; a private one keeps the checks away from the desktop they run on. What the
# services on it print goes nowhere; the checks print on the script's own outputs.
if [ -z "${ORMEX_WM_INNER:-}" ]; then
    exec env ORMEX_WM_INNER=1 dbus-run-session -- "$0" "$program" "$display" 3>&1 4>&2 >/dev/null 2>&1
fi
exec 1>&3 2>&4 3>&- 4>&-
export DISPLAY=$display

. "$root/tests/xdrive/checks.sh"
readonly divine_x=97 divine_y=33 # middle of the divine button

server_pid='' wm_pid=''
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
cleanup() {
    stop "$app_pid" "$wm_pid" "$server_pid"
    rm -rf "$work"
}
trap cleanup EXIT

# "x y w h" of a window in root coordinates, as the X server has it.
geometry() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    echo "$X $Y $WIDTH $HEIGHT"
}

visible_windows() { xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null || true; }

# Starts the program in folder with scale; sets app_pid and main (its window's id).
start_program() { # folder scale
    (cd "$1" && QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$2 exec "$program" >>"$work/program.log" 2>&1) &
    app_pid=$!
    main=''
    local w=$((form_w * $2)) h=$((form_h * $2)) win g
    for _ in $(seq 100); do
        for win in $(visible_windows); do
            g=$(geometry "$win")
            set -- $g
            if [ "$3" = "$w" ] && [ "$4" = "$h" ]; then main=$win; fi
        done
        [ -n "$main" ] && break
        sleep 0.05
    done
    if [ -z "$main" ]; then
        echo "the program showed no window; what it printed:" >&2
        tail -n 20 "$work/program.log" >&2
        return 1
    fi
}

# A visible window of the program other than the main window, or nothing.
other_window() {
    local win
    for win in $(visible_windows); do
        if [ "$win" != "$main" ]; then
            echo "$win"
            break
        fi
    done
    return 0
}

check_hint() { # label scale
    local s=$2 x y w h px py t0 t hint='' waited
    read -r x y w h < <(geometry "$main")
    px=$((x + divine_x * s)) py=$((y + divine_y * s))
    # Timed from before the move, so that the time measured is never short of the program's.
    t0=$(now_ms)
    xdotool mousemove "$px" "$py"
    while :; do
        hint=$(other_window)
        # Read after the look, so that a hint found was up by then.
        t=$(now_ms)
        waited=$((t - t0))
        if [ -n "$hint" ] || [ "$waited" -gt 2500 ]; then break; fi
        sleep 0.02
    done
    if [ -z "$hint" ]; then
        report FAIL "$1 hint: none within 2500 ms of resting on the divine button"
        return
    fi
    local hx hy hw hh
    read -r hx hy hw hh < <(geometry "$hint")
    # The pointer lies in the screen's top-left quarter: the hint below and to the right of it.
    local dx=$((hx - px)) dy=$((hy - py))
    if [ "$waited" -lt 500 ]; then
        report FAIL "$1 hint: shown after $waited ms, before the 500 ms pause"
    elif [ "$dx" -lt 0 ] || [ "$dy" -lt 0 ] || [ "$dx" -gt $((16 * s)) ] || [ "$dy" -gt $((16 * s)) ]; then
        report FAIL "$1 hint: at $hx,$hy, pointer at $px,$py"
    else
        report PASS "$1 hint: after $waited ms at +$dx,+$dy from the pointer"
    fi
}

check_drag() { # label scale
    local s=$2 x y w h x2 y2 px py i
    read -r x y w h < <(geometry "$main")
    px=$((x + background_x * s)) py=$((y + background_y * s))
    xdotool mousemove "$px" "$py"
    sleep 0.1
    xdotool mousedown 1
    for i in $(seq "$drag_steps"); do
        sleep 0.03
        xdotool mousemove $((px + drag_dx * i / drag_steps)) $((py + drag_dy * i / drag_steps))
    done
    sleep 0.1
    xdotool mouseup 1
    # The window manager may still be catching up with the last motion.
    local last='' g
    for _ in $(seq 20); do
        sleep 0.05
        g=$(geometry "$main")
        [ "$g" = "$last" ] && break
        last=$g
    done
    read -r x2 y2 w h <<<"$last"
    if [ $((x2 - x)) -eq "$drag_dx" ] && [ $((y2 - y)) -eq "$drag_dy" ]; then
        report PASS "$1 drag: (100,60) moved the window by (100,60)"
    else
        report FAIL "$1 drag: (100,60) moved the window by ($((x2 - x)),$((y2 - y)))"
    fi
}

check_error_box() { # label scale
    local s=$2 x y w h box='' bx by bw bh
    read -r x y w h < <(geometry "$main")
    xdotool mousemove $((x + help_x * s)) $((y + help_y * s)) click 1
    for _ in $(seq 100); do
        for win in $(visible_windows); do
            [ "$win" = "$main" ] && continue
            [ "$(xdotool getwindowname "$win" 2>/dev/null)" = ORMEX ] && box=$win
        done
        [ -n "$box" ] && break
        sleep 0.05
    done
    if [ -z "$box" ]; then
        report FAIL "$1 error box: none appeared"
        return
    fi
    read -r bx by bw bh < <(geometry "$box")
    local cx=$((bx + bw / 2)) cy=$((by + bh / 2))
    if [ "$cx" -ge "$x" ] && [ "$cx" -lt $((x + w)) ] && [ "$cy" -ge "$y" ] && [ "$cy" -lt $((y + h)) ]; then
        report PASS "$1 error box: at $bx,$by ${bw}x$bh over the window at $x,$y"
    else
        report FAIL "$1 error box: at $bx,$by ${bw}x$bh, the window at $x,$y"
    fi
}

start_manager() { # name
    case $1 in
    none) return ;;
    openbox) openbox >"$work/wm.log" 2>&1 & ;;
    xfwm4) xfwm4 --compositor=off >"$work/wm.log" 2>&1 & ;;
    kwin_x11) KWIN_COMPOSE=N kwin_x11 >"$work/wm.log" 2>&1 & ;;
    esac
    wm_pid=$!
    # Ready when it has claimed the screen and says so on the root window.
    for _ in $(seq 200); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
    sleep 1
}

window_checks() { # label scale
    check_hint "$1" "$2"
    check_drag "$1" "$2"
}

for manager in $managers; do
    if [ "$manager" != none ] && ! command -v "$manager" >/dev/null; then
        echo "SKIP $manager: not installed"
        continue
    fi
    # -noreset: with no window manager the server would reset whenever the program ends, and turn
    # away the next start while it does.
    Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
    start_manager "$manager"
    for scale in $scales; do
        for n in $(seq "$starts"); do
            label="$manager scale $scale start $n"
            # The pointer in the middle of the screen, where the window will appear.
            xdotool mousemove 640 512
            check_round "$label" "$scale"
        done
    done
    stop "$wm_pid" "$server_pid"
    wm_pid='' server_pid=''
done

finish
