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
#   --full     ./dev test; ./dev run under Xvfb until its window shows; ./dev package; the package
#              installed with apt, every library of the installed program found, and its window shown;
#              the package is then copied to build/RELEASE/ in this checkout
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
root="$cache/$suite"
mkdir -p "$cache"

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

if [ ! -x "$root/usr/bin/apt-get" ]; then
    say "making a $suite root in $root from $mirror"
    "${sudo[@]}" rm -rf "$root.partial"
    "${sudo[@]}" debootstrap --variant=minbase --include=sudo,ca-certificates,git \
        "$suite" "$root.partial" "$mirror" >"$cache/$suite.debootstrap.log" 2>&1 ||
        {
            tail -n 30 "$cache/$suite.debootstrap.log" >&2
            exit 1
        }
    "${sudo[@]}" mv "$root.partial" "$root"
fi

# As on an installed system: the point release's updates and the security archive beside it.
printf 'deb %s %s main\ndeb %s %s-updates main\ndeb %s %s-security main\n' \
    "$mirror" "$suite" "$mirror" "$suite" "$security" "$suite" |
    "${sudo[@]}" tee "$root/etc/apt/sources.list" >/dev/null

# The processes that live in the root; with an argument, only those whose environment holds it.
root_pids() {
    "${sudo[@]}" bash -c 'for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$1" ] || continue
        [ -z "$2" ] || tr "\0" "\n" <"$p/environ" 2>/dev/null | grep -qxF "$2" || continue
        echo "${p#/proc/}"
    done' root_pids "$(realpath "$root")" "${1:-}"
}
run_id="ORMEX_ROOT_RUN=$$.$RANDOM"
stop_our_processes() {
    local pids signal
    for signal in TERM KILL; do
        pids="$(root_pids "$run_id")"
        [ -n "$pids" ] || return 0
        # shellcheck disable=SC2086 # one pid a word
        "${sudo[@]}" kill -"$signal" $pids 2>/dev/null || true
        sleep 2
    done
}
unmount_all() { # the deepest first
    local m
    findmnt -rno TARGET | awk -v r="$(realpath "$root")" 'index($0 "/", r "/proc/") == 1 ||
        index($0 "/", r "/sys/") == 1 || index($0 "/", r "/dev/") == 1' | sort -r | while read -r m; do
        "${sudo[@]}" umount -l "$m" 2>/dev/null || true
    done
}

# Something other than this script working in the root needs its mounts; what a killed run of this
# script left behind is cleared.
waited=0
while [ -n "$(root_pids)" ]; do
    if [ $waited -ge 1800 ]; then
        echo "processes $(root_pids | tr '\n' ' ')still run in $root: not started" >&2
        exit 1
    fi
    [ $waited -gt 0 ] || say "waiting for the processes that another program runs in the $suite root"
    sleep 15
    waited=$((waited + 15))
done
unmount_all
trap 'stop_our_processes; unmount_all' EXIT
trap 'exit 130' INT TERM HUP
"${sudo[@]}" mount -t proc proc "$root/proc"
"${sudo[@]}" mount --rbind /sys "$root/sys"
"${sudo[@]}" mount --make-rslave "$root/sys"
"${sudo[@]}" mount --rbind /dev "$root/dev"
"${sudo[@]}" mount --make-rslave "$root/dev"
"${sudo[@]}" cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# A fresh clone of what is committed here, as a user would make one.
src=/root/ormex
"${sudo[@]}" rm -rf "$root$src"
"${sudo[@]}" git clone --quiet --no-hardlinks "$repo" "$root$src"

# The compiler cache lives in the root, so that a run after a small change compiles only what changed;
# it replays the compiler's warnings with the objects it keeps.
inner='set -e; cd /root/ormex; export DEBIAN_FRONTEND=noninteractive; apt-get update -qq
    apt-get upgrade -y -qq >/dev/null
    apt-get install -y -qq --no-install-recommends ccache >/dev/null
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_DIR=/root/.cache/ccache'
# The window of a program started under Xvfb: its pid in $1, waited for until it shows or 60 s pass.
inner+='
    window_shows() {
        for _ in $(seq 120); do
            xwininfo -root -tree | grep -q "\"ORMEX\"" && { kill "$1"; return 0; }
            kill -0 "$1" 2>/dev/null || return 1
            sleep 0.5
        done
        kill "$1"; return 1
    }'
case "$mode" in
--default) inner+='; ./dev test' ;;
--ci) inner+='; ./dev test --without-fuzz-smoke' ;;
--full)
    inner+='
    ./dev test
    apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils >/dev/null
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f window_shows); ./dev run & window_shows \$!" ||
        { echo "./dev run shows no window" >&2; exit 1; }
    echo "./dev run shows its window"
    ./dev package
    apt-get install -y -qq ./build/release/ormex_*_amd64.deb >/dev/null
    if ldd /usr/bin/ormex | grep "not found"; then echo "the installed program misses a library" >&2; exit 1; fi
    (cd /tmp && xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f window_shows); ormex & window_shows \$!") ||
        { echo "the installed program shows no window" >&2; exit 1; }
    echo "the installed program shows its window"
    apt-get remove -y -qq ormex >/dev/null'
    ;;
esac
say "running in the $suite root: ${mode#--}"
# In the background, so that an interrupt reaches the trap at once rather than after the whole run.
"${sudo[@]}" chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    "$run_id" bash -c "$inner" &
wait $!
if [ "$mode" = --full ]; then
    mkdir -p "$repo/build/$1"
    "${sudo[@]}" sh -c 'cp "$1"/ormex_*_amd64.deb "$2" && chown "$3" "$2"/ormex_*_amd64.deb' sh \
        "$root$src/build/release" "$repo/build/$1" "$(id -u):$(id -g)"
    say "the package: $(ls -1 "$repo/build/$1"/ormex_*_amd64.deb)"
fi
say "passed in the $suite root"
