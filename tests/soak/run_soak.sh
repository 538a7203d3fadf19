#!/usr/bin/env bash
# The soak: the real program on an Xvfb of its own, under a private session bus as on a desktop, for
# 10,000 draws, 1,000 panel opens and closes and 1,000 hints at each display scale, its resident and
# anonymous memory, open files and threads written to a CSV table every 100 actions; then the exit
# button. After the first 1,000 actions memory must not grow faster than a slow leak would make it,
# open files and threads must not change, the program must end with status 0 and print nothing on
# standard error beyond tests/xdrive/allowed-errors.txt: one PASS or FAIL line per scale, exit status 1
# when any failed.
#   tests/soak/run_soak.sh [program] [driver] [csv]
# Defaults: build/dev/app/ormex, build/dev/tests/soak/soakdriver, build/soak/soak.csv (started afresh).
# ORMEX_SOAK_SCALES (default "1 2"), ORMEX_SOAK_DRAWS, _PANELS, _HINTS (10000, 1000, 1000), ORMEX_SOAK_EVERY
# (100), ORMEX_SOAK_SETTLE (1000, the actions before memory is judged) and ORMEX_SOAK_DISPLAY (:41)
# change the run. `./dev soak [--asan]` builds both programs and runs this.
# Needs xvfb, xauth and dbus-run-session (package dbus-daemon or dbus).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
program=$(realpath "${1:-$root/build/dev/app/ormex}")
driver=$(realpath "${2:-$root/build/dev/tests/soak/soakdriver}")
csv=${3:-$root/build/soak/soak.csv}
display=${ORMEX_SOAK_DISPLAY:-:41}

if [ -z "${ORMEX_SOAK_INNER:-}" ]; then
    mkdir -p "$(dirname "$csv")"
    rm -f "$csv"
    csv=$(realpath "$csv")
    # What the bus's services print goes nowhere; the soak prints on the script's own outputs.
    exec env ORMEX_SOAK_INNER=1 dbus-run-session -- "$0" "$program" "$driver" "$csv" 3>&1 4>&2 >/dev/null 2>&1
fi
exec 1>&3 2>&4 3>&- 4>&-

# Beside the table rather than in /tmp, where a clean-up of other programs' folders could take it away.
work=$(mktemp -d "$(dirname "$csv")/run.XXXXXX")
server_pid=''
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Large enough for the window at scale 2. -noreset: the server outlives each start of the program.
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
server_pid=$!
export DISPLAY=$display
for _ in $(seq 200); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.05
done

# Read by the sanitizer build (./dev soak --asan); the normal build ignores them.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1

failed=0
for scale in ${ORMEX_SOAK_SCALES:-1 2}; do
    status=0
    "$driver" --program "$program" --folder "$root/data" --scale "$scale" --csv "$csv" \
        --draws "${ORMEX_SOAK_DRAWS:-10000}" --panels "${ORMEX_SOAK_PANELS:-1000}" \
        --hints "${ORMEX_SOAK_HINTS:-1000}" --every "${ORMEX_SOAK_EVERY:-100}" \
        --allowed-errors "$root/tests/xdrive/allowed-errors.txt" \
        --settle "${ORMEX_SOAK_SETTLE:-1000}" || status=$?
    [ "$status" -eq 0 ] || failed=1
done
echo "table: $csv"
exit $failed
