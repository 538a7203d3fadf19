# What the by-hand checks under window managers (tests/wm) and Wayland compositors (tests/wayland)
# share: the window's layout, the tally of results, and the two starts each round makes. Sourced; the
# script that sources it sets root and work and defines start_program (FOLDER SCALE, sets app_pid),
# window_checks (LABEL SCALE) and check_error_box (LABEL SCALE).

# The window's layout, in logical pixels.
readonly form_w=572 form_h=299
readonly help_x=283 help_y=33             # middle of the help button
readonly background_x=5 background_y=280 # bare background, below the left slot
readonly drag_dx=100 drag_dy=60 drag_steps=10

failures=0
app_pid=''

stop() { # pid...
    for p in "$@"; do
        [ -n "$p" ] || continue
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
}

report() { # PASS|FAIL|SKIP text
    echo "$1 $2"
    [ "$1" != FAIL ] || failures=$((failures + 1))
}

now_ms() { date +%s%3N; }

stop_program() {
    stop "$app_pid"
    app_pid=''
}

# One round: the checks of the window in a start from the data folder, then the error box in a start
# from a folder without the help text, where Справка must end in it.
check_round() { # label scale
    if start_program "$root/data" "$2"; then
        window_checks "$1" "$2"
    else
        report FAIL "$1: no window"
    fi
    stop_program
    mkdir -p "$work/nohelp/g"
    if start_program "$work/nohelp" "$2"; then
        check_error_box "$1" "$2"
    else
        report FAIL "$1: no window"
    fi
    stop_program
}

finish() {
    echo "$failures failed"
    [ "$failures" -eq 0 ]
}
