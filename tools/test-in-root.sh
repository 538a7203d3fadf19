#!/usr/bin/env bash
# Runs the README's commands in a Debian root of a given release, made with debootstrap:
#
#   tools/test-in-root.sh RELEASE [--ci | --full]
#
# RELEASE is debian12 (bookworm) or debian13 (trixie). The root is made once and kept outside the
# clone, in ${XDG_CACHE_HOME:-~/.cache}/ormex/roots/SUITE, so that a second run starts from it with
# the packages the first one installed and the compiler cache it filled; delete that folder to start
# from a fresh root. Each run clones this checkout's HEAD into the root afresh and, as root inside it:
#   (default)  ./dev test                       both test runs and the fuzzing smoke
#   --ci       ./dev test --without-fuzz-smoke  both test runs; the host has run the smoke already
#   --full     ./dev test; ./dev run under Xvfb until its window shows; ./dev package. The package is
#              then installed with apt in a copy of the bare root (SUITE.minbase, kept beside the root),
#              where nothing but its own dependencies can supply a library: there every library of the
#              program must be found and its window must show. It is copied to build/RELEASE/ here.
# A second run for the same release waits until the first has ended. Needs root (debootstrap, mount,
# chroot) and the debootstrap package, which it installs when missing.
set -euo pipefail

usage() {
    echo "usage: $0 debian12|debian13 [--ci|--full]" >&2
    exit 2
}
case "${1:-}" in
debian12) suite=bookworm ;;
debian13) suite=trixie ;;
*) usage ;;
esac
mode="${2:---default}"
case "$mode" in --default | --ci | --full) ;; *) usage ;; esac

repo="$(cd "$(dirname "$0")/.." && pwd)"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/ormex/roots"
mkdir -p "$cache"
cache="$(realpath "$cache")"
root="$cache/$suite"
minbase="$cache/$suite.minbase"
trial="$cache/$suite.trial"

started=$SECONDS
say() { printf '== %s (%d s)\n' "$*" $((SECONDS - started)); }

# Two runs in one root would install, clone and build over each other.
exec 9>"$cache/$suite.lock"
if ! flock -n 9; then
    say "waiting for the other run in the $suite root to end"
    flock 9
fi

# The mirrors the host's apt uses serve both releases; without them found, Debian's own.
host_mirror() { # host_mirror ARCHIVE: the first address of that archive in the host's sources
    sed -n "s|^URIs: *\(http[^ ]*/$1\)/\?\$|\1|p; s|^deb \+\(http[^ ]*/$1\)/\? .*|\1|p" \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null |
        head -n1 || true
}
mirror="$(host_mirror debian)"
mirror="${mirror:-http://deb.debian.org/debian}"
security="$(host_mirror debian-security)"
security="${security:-http://deb.debian.org/debian-security}"

if ! command -v debootstrap >/dev/null; then
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
fi

# Makes a bare root of the release in $1 and keeps a copy of it as the minbase root.
bootstrap() {
    say "making a $suite root in $1 from $mirror"
    "${sudo[@]}" rm -rf --one-file-system "$1.partial"
    "${sudo[@]}" debootstrap --variant=minbase --include=sudo,ca-certificates,git \
        "$suite" "$1.partial" "$mirror" >"$cache/$suite.debootstrap.log" 2>&1 ||
        {
            tail -n 30 "$cache/$suite.debootstrap.log" >&2
            exit 1
        }
    # As on an installed system: the point release's updates and the security archive beside it.
    printf 'deb %s %s main\ndeb %s %s-updates main\ndeb %s %s-security main\n' \
        "$mirror" "$suite" "$mirror" "$suite" "$security" "$suite" |
        "${sudo[@]}" tee "$1.partial/etc/apt/sources.list" >/dev/null
    [ "$1" = "$minbase" ] || [ -d "$minbase" ] || "${sudo[@]}" cp -a "$1.partial" "$minbase"
    "${sudo[@]}" mv "$1.partial" "$1"
}
[ -x "$root/usr/bin/apt-get" ] || bootstrap "$root"
[ "$mode" != --full ] || [ -x "$minbase/usr/bin/apt-get" ] || bootstrap "$minbase"

# The processes that live in root $1; with a second argument, only those whose environment holds it.
root_pids() {
    "${sudo[@]}" bash -c 'for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$1" ] || continue
        [ -z "$2" ] || tr "\0" "\n" <"$p/environ" 2>/dev/null | grep -qxF "$2" || continue
        echo "${p#/proc/}"
    done' root_pids "$1" "${2:-}"
}
run_id="ORMEX_ROOT_RUN=$$.$RANDOM"
stop_our_processes() {
    local pids signal r
    for signal in TERM KILL; do
        pids="$(for r in "$root" "$trial"; do root_pids "$r" "$run_id"; done)"
        [ -n "$pids" ] || return 0
        # shellcheck disable=SC2086 # one pid a word
        "${sudo[@]}" kill -"$signal" $pids 2>/dev/null || true
        sleep 2
    done
}
mounts_under() { findmnt -rno TARGET | awk -v r="$1" 'index($0, r "/") == 1' | sort -r; }
unmount_under() { # the deepest first
    local m
    mounts_under "$1" | while read -r m; do "${sudo[@]}" umount -l "$m" 2>/dev/null || true; done
}
remove_trial() {
    unmount_under "$trial"
    # Never delete through a mount of the host's /dev or /sys.
    [ -z "$(mounts_under "$trial")" ] && "${sudo[@]}" rm -rf --one-file-system "$trial"
}

# Something other than this script working in the root needs its mounts; what a killed run of this
# script left behind is cleared.
waited=0
while [ -n "$(root_pids "$root")" ]; do
    if [ $waited -ge 1800 ]; then
        echo "processes $(root_pids "$root" | tr '\n' ' ')still run in $root: not started" >&2
        exit 1
    fi
    [ $waited -gt 0 ] || say "waiting for the processes that another program runs in the $suite root"
    sleep 15
    waited=$((waited + 15))
done
unmount_under "$root"
remove_trial
trap 'stop_our_processes; unmount_under "$root"; remove_trial' EXIT
trap 'exit 130' INT TERM HUP

# Runs the shell commands $2 as root inside root $1, with /proc, /sys and /dev of the host.
run_in() {
    if [ -z "$(mounts_under "$1")" ]; then
        "${sudo[@]}" mount -t proc proc "$1/proc"
        "${sudo[@]}" mount --rbind /sys "$1/sys"
        "${sudo[@]}" mount --make-rslave "$1/sys"
        "${sudo[@]}" mount --rbind /dev "$1/dev"
        "${sudo[@]}" mount --make-rslave "$1/dev"
        "${sudo[@]}" cp -L /etc/resolv.conf "$1/etc/resolv.conf"
    fi
    # In the background, so that an interrupt reaches the trap at once rather than after the whole run.
    "${sudo[@]}" chroot "$1" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$run_id" bash -c "set -e; $2" &
    wait $!
}

# The window of a program started under Xvfb: its pid in $1, waited for until it shows or 60 s pass.
window_check='
    window_shows() {
        for _ in $(seq 120); do
            xwininfo -root -tree | grep -q "\"ORMEX\"" && { kill "$1"; return 0; }
            kill -0 "$1" 2>/dev/null || return 1
            sleep 0.5
        done
        kill "$1"; return 1
    }
    on_xvfb() { xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f window_shows); $1 & window_shows \$!"; }'

# A fresh clone of what is committed here, as a user would make one.
src=/root/ormex
"${sudo[@]}" rm -rf --one-file-system "$root$src"
"${sudo[@]}" git clone --quiet --no-hardlinks "$repo" "$root$src"

# The compiler cache lives in the root, so that a run after a small change compiles only what changed;
# it replays the compiler's warnings with the objects it keeps.
inner='cd /root/ormex; apt-get update -qq; apt-get upgrade -y -qq >/dev/null
    apt-get install -y -qq --no-install-recommends ccache >/dev/null
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_DIR=/root/.cache/ccache'
case "$mode" in
--default) inner+='; ./dev test' ;;
--ci) inner+='; ./dev test --without-fuzz-smoke' ;;
--full)
    inner+="$window_check"'
    ./dev test
    apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils >/dev/null
    on_xvfb "./dev run" || { echo "./dev run shows no window" >&2; exit 1; }
    echo "./dev run shows its window"
    ./dev package'
    ;;
esac
say "running in the $suite root: ${mode#--}"
run_in "$root" "$inner"

if [ "$mode" = --full ]; then
    say "installing the package in a copy of the bare $suite root"
    "${sudo[@]}" cp -a "$minbase" "$trial"
    "${sudo[@]}" sh -c 'cp "$1"/ormex_*_amd64.deb "$2"' sh "$root$src/build/release" "$trial/tmp"
    run_in "$trial" "$window_check"'
        apt-get update -qq; apt-get upgrade -y -qq >/dev/null
        apt-get install -y -qq /tmp/ormex_*_amd64.deb >/dev/null
        if ldd /usr/bin/ormex | grep "not found"; then echo "the installed program misses a library" >&2; exit 1; fi
        echo "the installed program finds every library"
        apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils >/dev/null
        cd /tmp && on_xvfb ormex || { echo "the installed program shows no window" >&2; exit 1; }
        echo "the installed program shows its window"'
    mkdir -p "$repo/build/$1"
    "${sudo[@]}" sh -c 'cp "$1"/ormex_*_amd64.deb "$2" && chown "$3" "$2"/ormex_*_amd64.deb' sh \
        "$trial/tmp" "$repo/build/$1" "$(id -u):$(id -g)"
    say "the package: $(ls -1 "$repo/build/$1"/ormex_*_amd64.deb)"
fi
say "passed in the $suite root"
