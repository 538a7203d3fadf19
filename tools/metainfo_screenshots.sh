#!/usr/bin/env bash
# Makes the screenshots the AppStream metadata shows, from the real program: one window in Russian and
# one in English, at scale 1, each with three runes drawn and the left one's short meaning as its hint.
#
#   tools/metainfo_screenshots.sh PROGRAM DATA_FOLDER OUT_FOLDER [DISPLAY]
#
# The program draws from the time of day; faketime (Debian package faketime) stops the clock at one
# moment, so that both languages show the same three runes, two of them reversed. Without faketime the
# runes are chance. Also needs xvfb, xdotool and ImageMagick. The files are published under the
# addresses the metadata names.
set -euo pipefail
[ $# -ge 3 ] || { sed -n "2,10p" "$0" >&2; exit 2; }
program=$(realpath "$1")
data=$(realpath "$2")
mkdir -p "$3"
out=$(realpath "$3")
export DISPLAY=${4:-:38}
# 05:03:00.000 UTC draws NAUTHIZ reversed, THURISAZ and BERCANA reversed.
moment="2026-12-08 05:03:00"
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
app=
trap 'kill $app $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

clock=()
if command -v faketime >/dev/null; then
    # Only the calendar clock stops (an absolute time without "@" stands still); Qt's timers, the hints'
    # among them, run on the monotonic one.
    clock=(env TZ=UTC FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "$moment")
fi

shoot() { # LANGUAGE FILE
    (cd "$data" && LANGUAGE=$1 exec "${clock[@]}" "$program") >/dev/null 2>&1 &
    app=$!
    local window=
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --name '^ORMEX$' 2>/dev/null | tail -1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "no window" >&2; exit 1; }
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 90)) $((Y + 30)) click 1
    sleep 0.5
    # Near the left slot's top left, so that its hint opens inside the window.
    xdotool mousemove $((X + 30)) $((Y + 80))
    sleep 1.5
    import -window root -crop "572x299+$X+$Y" +repage "$out/$2"
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=
    # The next window must not be taken for this one.
    for _ in $(seq 50); do xdotool search --onlyvisible --name '^ORMEX$' >/dev/null 2>&1 || break; sleep 0.1; done
}
shoot ru ormex-ru.png
shoot en ormex-en.png
