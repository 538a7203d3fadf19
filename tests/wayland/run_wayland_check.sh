#!/usr/bin/env bash
# ORMEX as a client of the Wayland compositors people use: KWin, mutter and weston's desktop shell, and
# as an X11 client of KWin's Xwayland. Each compositor runs nested in an Xvfb of its own, with a private
# runtime folder, home and session bus; xdotool drives the pointer and the keys through the nested
# output, and every judgement comes from screenshots (the window is what differs from the empty desktop).
# Every start of the program is a fresh one:
#   hint     resting on the right slot brings its hint; leaving the window for the desktop takes it away,
#            once by moving there in steps and once in a jump
#   drag     a drag of the background by (100,60) in small steps moves the window by exactly that (away
#            from the output's edges: by (-100,-60) where there is no room to the right or below)
#   keys     with no g/readme.txt, Справка opens the error box; after a click on the blocked main window
#            (held a tenth of a second, as a hand holds it) Return still closes it
#   caption  the error box's title bar shows the caption "ORMEX" whole (read with gocr)
#   buttons  the error box's title bar has one button (close) to the right of the caption
# One PASS, FAIL or SKIP line per check; the exit status is 1 when any failed.
#   tests/wayland/run_wayland_check.sh [program] [display]
# ORMEX_WL_STARTS (default 3) starts per compositor and scale, ORMEX_WL_LIST (default "kwin mutter
# weston kwin_xwayland") the sessions to try, ORMEX_WL_SCALED (default "kwin weston") those run at
# scale 2 too; ORMEX_WL_KEEP=1 keeps the last shots and the logs.
# Needs xvfb, x11-utils, xdotool, imagemagick, gocr, dbus and the compositors' packages (kwin-wayland
# with kwin-style-breeze for its title bars, mutter, weston); those not installed are skipped.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
program=$(realpath "${1:-$root/build/dev/app/ormex}")
display=${2:-:47}
starts=${ORMEX_WL_STARTS:-3}
sessions=${ORMEX_WL_LIST:-kwin mutter weston kwin_xwayland}
scaled=${ORMEX_WL_SCALED:-kwin weston}
export DISPLAY=$display

. "$root/tests/xdrive/checks.sh"
readonly slot_x=473 slot_y=159 # middle of the right slot
# The nested output in screen pixels: room for the window and its drag at every scale.
output_w=1200 output_h=960
readonly hint_color='rgb(255,210,83)' # the flat hint's arrow strip
# The error box's stop icon: pure red in Qt 6.4's style, a softer red (228,30,37) in Qt 6.8's.
readonly stop_color='rgb(255,0,0)' stop_fuzz='15%'

server_pid='' compositor_pid='' bus_pid=''
work=$(mktemp -d)
cleanup() {
    stop "$app_pid" "$compositor_pid" "$bus_pid" "$server_pid"
    if [ -n "${ORMEX_WL_KEEP:-}" ]; then
        echo "shots and logs kept in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

shot() { import -window root "$1"; }

# The parts of shot that differ from ref, largest first, one "WxH+X+Y area" a line; the pointer and
# the faint noise of a painted background are left out.
differences() { # ref shot
    convert "$1" "$2" -compose difference -composite -colorspace gray -threshold 6% \
        -define connected-components:verbose=true -define connected-components:area-threshold=2000 \
        -connected-components 8 null: 2>/dev/null |
        awk '$NF == "gray(255)" { print $2, $(NF-1) }' | sort -k2,2nr
}

# "count WxH+X+Y": how many pixels of a colour a shot has, and where they lie.
colored() { # shot color [fuzz]
    convert "$1" -alpha off ${3:+-fuzz "$3"} -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean*w*h)] %@\n' info: 2>/dev/null
}
color_count() { # shot color [fuzz]
    local c
    read -r c _ < <(colored "$1" "$2" "${3:-}")
    echo "$c"
}

# Sets x y w h from WxH+X+Y.
split_geometry() {
    local g=$1
    w=${g%%x*}
    g=${g#*x}
    h=${g%%+*}
    g=${g#*+}
    x=${g%%+*}
    y=${g#*+}
}

# Finds the main window of size form * scale in a shot; sets wx wy.
find_window() { # shot scale
    local g area x y w h
    wx='' wy=''
    while read -r g area; do
        split_geometry "$g"
        if [ "$w" = $((form_w * $2)) ] && [ "$h" = $((form_h * $2)) ]; then
            wx=$x wy=$y
            return 0
        fi
    done < <(differences "$work/desktop.ppm" "$1")
    return 1
}

# A spot on the desktop away from the window (and below weston's panel), for the pointer to rest on.
park_spot() { # scale
    local s=$1 px py
    for spot in "$((output_w - 40)) $((output_h - 40))" "40 $((output_h - 40))" \
        "$((output_w - 40)) $((60 * s))" "40 $((60 * s))"; do
        read -r px py <<<"$spot"
        if [ "$px" -lt $((wx - 40)) ] || [ "$px" -gt $((wx + form_w * s + 40)) ] ||
            [ "$py" -lt $((wy - 40)) ] || [ "$py" -gt $((wy + form_h * s + 40)) ]; then
            park_x=$px park_y=$py
            return
        fi
    done
}

park() { xdotool mousemove "$park_x" "$park_y"; }

# A move by so much, as a mouse makes it: mutter, nested, tells its clients of no move that xdotool
# makes by placing the pointer, only of these.
step() { xdotool mousemove_relative -- "$1" "$2"; }

# Where the pointer waits for a window: at the top right corner of the output, on weston's panel,
# where no compositor puts a window. A compositor goes on drawing the pointer where it last saw it,
# and a window that came up under it would join it in the difference from the empty desktop.
pointer_rest() { # scale
    xdotool mousemove $((output_w - 40)) $((4 * $1))
}

# Starts the program in folder and finds its window; sets app_pid, wx, wy and the parking spot.
start_program() { # folder scale
    pointer_rest "$2"
    if [ "$session" = kwin_xwayland ]; then
        (cd "$1" && exec env QT_QPA_PLATFORM=xcb DISPLAY="$xwayland_display" "$program" \
            >>"$work/program.log" 2>&1) &
    else
        (cd "$1" && exec env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" "$program" \
            >>"$work/program.log" 2>&1) &
    fi
    app_pid=$!
    for _ in $(seq 60); do
        sleep 0.1
        shot "$work/window.ppm"
        if find_window "$work/window.ppm" "$2"; then
            park_spot "$2"
            park
            sleep 0.3
            shot "$work/window.ppm"
            find_window "$work/window.ppm" "$2" && return 0
        fi
    done
    echo "the program showed no window; what it printed:" >&2
    tail -n 20 "$work/program.log" >&2
    return 1
}

# Waits until the screen holds still; leaves the last shot in file.
settle() { # file
    local last="$work/settle.ppm"
    shot "$last"
    for _ in $(seq 30); do
        sleep 0.1
        shot "$1"
        [ "$(compare -metric AE "$last" "$1" null: 2>&1 || true)" = 0 ] && return
        cp "$1" "$last"
    done
}

check_hint() { # label scale how
    local s=$2 how=$3 px py t0 t i count
    px=$((wx + slot_x * s)) py=$((wy + slot_y * s))
    # Into the window and a few pixels on, as a hand comes to rest.
    xdotool mousemove $((px - 8)) $((py - 8))
    for i in 1 2 3 4; do
        sleep 0.04
        step 2 2
    done
    t0=$(now_ms)
    count=0
    while [ $(($(now_ms) - t0)) -lt 4000 ]; do
        shot "$work/hint.ppm"
        count=$(color_count "$work/hint.ppm" "$hint_color")
        [ "$count" -gt $((100 * s * s)) ] && break
        sleep 0.05
    done
    if [ "$count" -le $((100 * s * s)) ]; then
        report FAIL "$1 hint, leaving $how: none within 4000 ms of resting on the right slot"
        park
        return
    fi
    if [ "$how" = "in steps" ]; then
        for i in $(seq 10); do
            step $(((park_x - px) * i / 10 - (park_x - px) * (i - 1) / 10)) \
                $(((park_y - py) * i / 10 - (park_y - py) * (i - 1) / 10))
            sleep 0.02
        done
    else
        park
    fi
    t0=$(now_ms)
    while :; do
        shot "$work/hint.ppm"
        count=$(color_count "$work/hint.ppm" "$hint_color")
        t=$(($(now_ms) - t0))
        if [ "$count" -eq 0 ] || [ "$t" -gt 3000 ]; then break; fi
        sleep 0.05
    done
    if [ "$count" -eq 0 ] && [ "$t" -le 3000 ]; then
        report PASS "$1 hint, leaving $how: gone within $t ms of the pointer reaching the desktop"
    else
        report FAIL "$1 hint, leaving $how: still up $t ms after the pointer reached the desktop"
    fi
}

check_drag() { # label scale
    local s=$2 x0=$wx y0=$wy dx=$drag_dx dy=$drag_dy px py i last=''
    # Towards the side with room, so that the whole window stays on the output.
    [ $((wx + form_w * s + drag_dx)) -le "$output_w" ] || dx=$((-drag_dx))
    [ $((wy + form_h * s + drag_dy)) -le "$output_h" ] || dy=$((-drag_dy))
    px=$((wx + background_x * s)) py=$((wy + background_y * s))
    xdotool mousemove "$px" "$py"
    sleep 0.2
    xdotool mousedown 1
    for i in $(seq "$drag_steps"); do
        sleep 0.03
        step $((dx * i / drag_steps - dx * (i - 1) / drag_steps)) $((dy * i / drag_steps - dy * (i - 1) / drag_steps))
    done
    sleep 0.1
    xdotool mouseup 1
    sleep 0.2
    park
    settle "$work/dragged.ppm"
    if ! find_window "$work/dragged.ppm" "$s"; then
        report FAIL "$1 drag: ($dx,$dy) left no whole window on the output"
    elif [ $((wx - x0)) -eq "$dx" ] && [ $((wy - y0)) -eq "$dy" ]; then
        report PASS "$1 drag: ($dx,$dy) moved the window by ($dx,$dy)"
    else
        report FAIL "$1 drag: ($dx,$dy) moved the window by ($((wx - x0)),$((wy - y0)))"
    fi
}

# Runs of columns with ink in a title bar band, "from to" a line: the caption, the window icon and the
# buttons each make one, as the gaps between letters and words are narrower than those between the
# parts. A run that reaches the band's first or last column belongs to the box's edge and is left out.
ink_runs() { # band-image scale
    local s=$2 bg width
    bg=$(convert "$1" -format %c histogram:info:- | sort -rn | head -n 1 | grep -o '#[0-9A-Fa-f]\{6\}')
    width=$(identify -format %w "$1")
    convert "$1" -alpha off -fuzz 20% -fill white -opaque "$bg" -fill black +opaque white -negate \
        -scale "${width}x1!" -threshold 0 -depth 8 txt:- 2>/dev/null |
        awk -F'[,:]' -v gap=$((8 * s)) -v width="$width" '
            function end() {
                if (from > 0 && to < width - 1) print from, to
                from = -1
            }
            BEGIN { from = -1 }
            NR > 1 {
                if (index($0, "#FFFFFF") == 0) next
                if (from >= 0 && $1 - to > gap) end()
                if (from < 0) from = $1
                to = $1
            }
            END { if (from >= 0) end() }'
}

# Reads the text in a part of a shot, dark on light and light on dark.
read_text() { # shot geometry scale
    local zoom=$((4 / $3))
    convert "$1" -crop "$2" +repage -colorspace gray -scale "$((zoom * 100))%" -threshold 55% "$work/text.pnm"
    gocr -i "$work/text.pnm" 2>/dev/null | tr -d '\n'
    echo -n ' / '
    convert "$work/text.pnm" -negate "$work/text-negated.pnm"
    gocr -i "$work/text-negated.pnm" 2>/dev/null | tr -d '\n'
}

check_error_box() { # label scale
    local s=$2 i t0 x y w h count icon='' spot cx cy box=''
    shot "$work/alone.ppm"
    xdotool mousemove $((wx + help_x * s)) $((wy + help_y * s)) click 1
    sleep 0.3
    park
    for _ in $(seq 50); do
        shot "$work/box.ppm"
        read -r count icon < <(colored "$work/box.ppm" "$stop_color" "$stop_fuzz")
        [ "$count" -gt $((100 * s * s)) ] && break
        icon=''
        sleep 0.1
    done
    if [ -z "$icon" ]; then
        report FAIL "$1 keys: no error box within 5 s of pressing Справка"
        return
    fi
    settle "$work/box.ppm"
    # Somewhere on the blocked main window that the box does not cover.
    for spot in "565 150" "565 290" "560 8" "520 292"; do
        read -r cx cy <<<"$spot"
        cx=$((wx + cx * s)) cy=$((wy + cy * s))
        if [ "$(convert "$work/alone.ppm" -format "%[pixel:p{$cx,$cy}]" info:)" = \
            "$(convert "$work/box.ppm" -format "%[pixel:p{$cx,$cy}]" info:)" ]; then
            break
        fi
    done
    # A click as a hand makes it: mutter lets a window take the keyboard only for a press it can
    # still tell from the release.
    xdotool mousemove "$cx" "$cy" mousedown 1
    sleep 0.1
    xdotool mouseup 1
    sleep 0.5
    park
    xdotool key Return
    t0=$(now_ms)
    while [ $(($(now_ms) - t0)) -lt 2000 ]; do
        shot "$work/closed.ppm"
        [ "$(color_count "$work/closed.ppm" "$stop_color" "$stop_fuzz")" -eq 0 ] && break
        sleep 0.1
    done
    if [ "$(color_count "$work/closed.ppm" "$stop_color" "$stop_fuzz")" -eq 0 ]; then
        report PASS "$1 keys: Return closed the error box after a click on the blocked window"
    else
        report FAIL "$1 keys: Return left the error box up after a click on the blocked window"
        # A click on its icon gives the box the keyboard, as a user would.
        split_geometry "$icon"
        xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
        sleep 0.3
        park
        xdotool key Return
        sleep 1
    fi
    settle "$work/closed.ppm"
    read -r box _ < <(differences "$work/closed.ppm" "$work/box.ppm" | head -n 1) || true
    if [ -z "$box" ] || [ "$(color_count "$work/closed.ppm" "$stop_color" "$stop_fuzz")" -ne 0 ]; then
        report FAIL "$1 caption: the error box could not be closed to tell it from what lies under it"
        return
    fi
    local bx by bw bh iy
    split_geometry "$box"
    bx=$x by=$y bw=$w bh=$h
    split_geometry "$icon"
    iy=$y
    # The title bar: from below the box's top edge down to a little above the stop icon.
    local edge=$((3 * s))
    local band_h=$((iy - by - edge - 4 * s))
    if [ "$band_h" -lt $((12 * s)) ]; then
        report SKIP "$1 caption: the error box at $bx,$by ${bw}x$bh has no title bar"
        report SKIP "$1 buttons: the error box at $bx,$by ${bw}x$bh has no title bar"
        return
    fi
    convert "$work/box.ppm" -crop "$((bw - 2 * edge))x${band_h}+$((bx + edge))+$((by + edge))" +repage \
        "$work/band.ppm"
    local runs widest_from=0 widest_to=-1 from to buttons=0 text
    runs=$(ink_runs "$work/band.ppm" "$s")
    while read -r from to; do
        [ -n "$from" ] || continue
        if [ $((to - from)) -gt $((widest_to - widest_from)) ]; then widest_from=$from widest_to=$to; fi
    done <<<"$runs"
    while read -r from to; do
        [ -n "$from" ] || continue
        [ "$from" -gt "$widest_to" ] && buttons=$((buttons + 1))
    done <<<"$runs"
    text=$(read_text "$work/band.ppm" "$((widest_to - widest_from + 8 * s))x${band_h}+$((widest_from - 4 * s))+0" "$s")
    local where="the box at $bx,$by ${bw}x$bh, the window at $wx,$wy"
    # Letter case aside: gocr takes a bold M for a small one.
    if [[ "${text^^}" == *ORMEX* ]]; then
        report PASS "$1 caption: reads \"${text%% / *}\" ($where)"
    else
        report FAIL "$1 caption: reads \"$text\" ($where)"
    fi
    if [ "$buttons" -eq 1 ]; then
        report PASS "$1 buttons: close only, right of the caption"
    else
        report FAIL "$1 buttons: $buttons right of the caption"
    fi
}

# A private runtime folder, home and session bus for each session, as a desktop session has its own.
start_bus() {
    rm -rf "$work/session"
    mkdir -p "$work/session/home"
    mkdir -m 700 "$work/session/runtime"
    export HOME=$work/session/home XDG_RUNTIME_DIR=$work/session/runtime
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
    local address pid
    { read -r address && read -r pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    export DBUS_SESSION_BUS_ADDRESS=$address
    bus_pid=$pid
}

# Starts Xvfb, the bus and the compositor nested in it at scale; sets socket (and xwayland_display).
start_session() { # name scale
    local name=$1 s=$2
    output_w=$((s == 1 ? 1200 : 1600)) output_h=$((s == 1 ? 960 : 1200))
    Xvfb "$display" -screen 0 1680x1280x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
    start_bus
    # Outside the nested output, so that the first move into it is an arrival: weston takes a
    # pointer that was there before its window as never having come in.
    xdotool mousemove 1670 1270
    socket=ormex-check
    local w=$((output_w / s)) h=$((output_h / s))
    case $name in
    kwin | kwin_xwayland)
        # The packaged binary carries a file capability that a container may refuse to honour; a copy
        # carries none.
        cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
        local extra=()
        if [ "$name" = kwin_xwayland ]; then
            printf '#!/bin/sh\necho "$DISPLAY" >"%s"\nexec sleep infinity\n' "$work/xwayland-display" \
                >"$work/report-display"
            chmod +x "$work/report-display"
            rm -f "$work/xwayland-display"
            extra=(--xwayland "$work/report-display")
        fi
        "$work/kwin_wayland" --x11-display "$display" --no-lockscreen --socket "$socket" \
            --width "$w" --height "$h" --scale "$s" "${extra[@]}" >"$work/compositor.log" 2>&1 &
        ;;
    mutter)
        MUTTER_DEBUG_DUMMY_MODE_SPECS=${w}x$h \
            mutter --nested --wayland --no-x11 --wayland-display "$socket" >"$work/compositor.log" 2>&1 &
        ;;
    weston)
        # No clock in the panel to change the screen, and no locking when idle.
        printf '[core]\nidle-time=0\n[shell]\nclock-format=none\nlocking=false\n' >"$work/weston.ini"
        weston --config="$work/weston.ini" --backend=x11-backend.so --shell=desktop-shell.so \
            --socket="$socket" --width="$w" --height="$h" --scale="$s" >"$work/compositor.log" 2>&1 &
        ;;
    esac
    compositor_pid=$!
    for _ in $(seq 100); do
        [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
        sleep 0.1
    done
    if [ "$name" = kwin_xwayland ]; then
        for _ in $(seq 100); do
            [ -s "$work/xwayland-display" ] && break
            sleep 0.1
        done
        xwayland_display=$(cat "$work/xwayland-display" 2>/dev/null || true)
    fi
    pointer_rest "$s"
    sleep 1
    settle "$work/desktop.ppm"
}

stop_session() {
    stop "$compositor_pid" "$bus_pid" "$server_pid"
    compositor_pid='' bus_pid='' server_pid=''
}

compositor_command() { # session
    case $1 in
    kwin | kwin_xwayland) echo kwin_wayland ;;
    *) echo "$1" ;;
    esac
}

window_checks() { # label scale
    check_hint "$1" "$2" "in steps"
    check_hint "$1" "$2" "in a jump"
    check_drag "$1" "$2"
}

for session in $sessions; do
    if ! command -v "$(compositor_command "$session")" >/dev/null; then
        echo "SKIP $session: not installed"
        continue
    fi
    scales=1
    [[ " $scaled " == *" $session "* ]] && scales="1 2"
    for scale in $scales; do
        start_session "$session" "$scale"
        if [ "$session" = kwin_xwayland ] && [ -z "$xwayland_display" ]; then
            report FAIL "$session scale $scale: KWin started no Xwayland"
            stop_session
            continue
        fi
        for n in $(seq "$starts"); do
            check_round "$session scale $scale start $n" "$scale"
        done
        stop_session
    done
done

finish
