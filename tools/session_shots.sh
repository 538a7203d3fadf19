#!/usr/bin/env bash
# Takes the window's picture at fifteen points of one scripted mouse session (hover, press, drag off,
# the help and rune panels, their close button, the link), on a private Xvfb at scale 1, so that two
# builds can be compared pixel for pixel:
#
#   tools/session_shots.sh PROGRAM DATA_FOLDER OUT_FOLDER [DISPLAY]
#   for f in A/*.png; do compare -metric AE "$f" "B/${f##*/}" null: 2>&1; echo " ${f##*/}"; done
#
# No draw is made: its cards are chance. Needs xvfb, xdotool and ImageMagick.
set -euo pipefail
[ $# -ge 3 ] || { sed -n "2,9p" "$0" >&2; exit 2; }
program=$(realpath "$1")
data=$(realpath "$2")
mkdir -p "$3"
out=$(realpath "$3")
export DISPLAY=${4:-:37}
Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "${app:-}" "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
cd "$data"
"$program" >/dev/null 2>&1 &
app=$!
window=
for _ in $(seq 100); do
    window=$(xdotool search --class ormex 2>/dev/null | tail -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
sleep 1 # the first frame and the pictures decoded beside it
eval "$(xdotool getwindowgeometry --shell "$window")"
at() { xdotool mousemove $((X + $1)) $((Y + $2)); }
# Waits long enough for a hint (half a second after the pointer stops) or a repaint to show.
shot() {
    sleep "$2"
    import -window root -crop "572x299+$X+$Y" +repage "$out/$1.png"
}
at 5 5; shot 01-start 0.8
at 90 30; shot 02-divine-hover 1.5
xdotool mousedown 1; shot 03-divine-down 0.5
at 5 5; shot 04-divine-dragged-off 0.5
xdotool mouseup 1; shot 05-released-off 0.5
at 280 30; shot 06-help-hover 1.5
xdotool click 1; shot 07-help-panel 1
at 440 250; shot 08-close-hover 1
xdotool click 1; shot 09-closed 1
at 90 150; shot 10-slot-hover 1.5
xdotool mousedown 1; shot 11-slot-down 0.5
xdotool mouseup 1; shot 12-slot-panel 1
at 440 250; xdotool click 1; shot 13-closed-again 1
at 286 272; shot 14-link-hover 1.5
at 5 5; shot 15-link-left 1
