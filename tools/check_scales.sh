#!/usr/bin/env bash
# Checks that ORMEX looks the same at every display scale, only sharper: on a running X server (an Xvfb
# of 2560 x 1600 is enough), start the program at each scale, take a shot of its window before and after
# a draw, scale the shot back to 572 x 299 and compare it with the window at scale 1.
#
#   tools/check_scales.sh DISPLAY PROGRAM [SCALE...]      e.g. tools/check_scales.sh :22 build/dev/app/ormex 2 1.5 1.25
#
# Prints, per scale, the mean difference per channel (in 1/255) before and after the draw, and for each
# slot the card it shows, how far it is from that card's 1x picture and how far the next closest card is.
# Shots are kept in $SHOTS (default /tmp/ormex-scales). Needs ImageMagick and xdotool. Exits 1 when a
# window differs by 8/255 or more, or a slot's card is not clearly the closest.
set -euo pipefail

[ $# -ge 2 ] || { sed -n "2,13p" "$0" >&2; exit 2; }
display=$1
program=$(realpath "$2")
shift 2
scales=("$@")
[ ${#scales[@]} -gt 0 ] || scales=(2 1.5 1.25)
cd "$(dirname "$0")/.."
data=$PWD/data
shots=${SHOTS:-/tmp/ormex-scales}
mkdir -p "$shots"

readonly limit=8 # of 255, per channel, averaged over the window
readonly slots=("145x177+22+72" "145x177+209+72" "145x177+401+71")

# The mean absolute difference of two pictures of one size, in 1/255 per channel.
difference() {
    # compare's status says whether the pictures differ at all; the metric is what counts here.
    { compare -metric MAE "$1" "$2" null: 2>&1 || true; } | sed -E 's/.*\(([0-9.e-]+)\).*/\1/' |
        awk '{ printf "%.2f", $1 * 255 }'
}

# Starts the program at a scale and leaves its window's shots in $shots/SCALE-before.png and -after.png.
shoot() {
    local scale=$1 window="" x y width height
    (cd "$data" && DISPLAY=$display QT_SCALE_FACTOR=$scale exec "$program") >"$shots/$scale.log" 2>&1 &
    local pid=$!
    for _ in $(seq 100); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1) || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { kill "$pid"; echo "no window at scale $scale" >&2; return 1; }
    eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    x=$X y=$Y width=$WIDTH height=$HEIGHT
    # The pointer rests outside the window, so that no button is hot and no hint shows.
    DISPLAY=$display xdotool mousemove 0 0
    sleep 1
    DISPLAY=$display import -window root -crop "${width}x${height}+${x}+${y}" +repage "$shots/$scale-before.png"
    # The divine button lies at logical (12, 11, 170, 45).
    DISPLAY=$display xdotool mousemove "$(awk -v s="$scale" -v o="$x" 'BEGIN { print int(o + 97 * s) }')" \
        "$(awk -v s="$scale" -v o="$y" 'BEGIN { print int(o + 33 * s) }')" click 1
    DISPLAY=$display xdotool mousemove 0 0
    sleep 1
    DISPLAY=$display import -window root -crop "${width}x${height}+${x}+${y}" +repage "$shots/$scale-after.png"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

# The number of the card (1..41) the slot of a 572 x 299 shot comes closest to, how close, and how close
# the next closest card comes.
closest_card() {
    local shot=$1 slot=$2
    convert "$shot" -crop "$slot" +repage "$shots/slot.png"
    for n in $(seq 41); do
        echo "$n $(difference "$shots/slot.png" "$data/g/$n.jpg")"
    done | sort -k2 -g | head -2 | paste -sd' ' | awk '{ print $1, $2, $4 }'
}

failed=0
check() { # value, what
    if awk -v a="$1" -v l="$limit" 'BEGIN { exit !(a >= l) }'; then
        echo "  FAIL: $2 differs by $1/255" >&2
        failed=1
    fi
}

shoot 1
for scale in "${scales[@]}"; do
    shoot "$scale"
    for phase in before after; do
        convert "$shots/$scale-$phase.png" -resize '572x299!' "$shots/$scale-$phase-back.png"
    done
    before=$(difference "$shots/$scale-before-back.png" "$shots/1-before.png")
    # The draw is random: the window at 1 after a draw, with the cards this run drew put into its slots.
    cp "$shots/1-before.png" "$shots/$scale-reference.png"
    cards=""
    for slot in "${slots[@]}"; do
        read -r card diff next < <(closest_card "$shots/$scale-after-back.png" "$slot")
        cards+=" ${card}:${diff}(next ${next})"
        # A slot shows its card when that card is clearly the closest: the cards share their frame and
        # ground, so the next closest stays within about 10/255 to 15/255 of any of them.
        if awk -v a="$diff" -v b="$next" 'BEGIN { exit !(b - a < 3) }'; then
            echo "  FAIL: the slot at $slot shows no card clearly (card $card at $diff, next at $next)" >&2
            failed=1
        fi
        convert "$shots/$scale-reference.png" "$data/g/$card.jpg" -geometry "+${slot#*+}" -composite \
            "$shots/$scale-reference.png"
    done
    after=$(difference "$shots/$scale-after-back.png" "$shots/$scale-reference.png")
    echo "scale $scale: before $before/255, after $after/255, slots (card:difference)$cards"
    check "$before" "the window at $scale before the draw"
    check "$after" "the window at $scale after the draw"
done
exit $failed
