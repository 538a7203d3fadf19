#!/usr/bin/env bash
# Runs the README's test command in a Debian root of another release, made with debootstrap:
#
#   tools/test-in-root.sh RELEASE [--ci | --full]
#
# RELEASE is debian12 (bookworm) or debian13 (trixie). The root is made once and kept outside the
# clone, in ${XDG_CACHE_HOME:-~/.cache}/ormex/roots/SUITE, so that a second run starts from it with
# the packages the first one installed; delete that folder to start from a fresh root. Each run clones
# this checkout's HEAD into the root afresh and, as root inside it:
#   (default)  ./dev test                       both test runs and the fuzzing smoke
#   --ci       ./dev test --without-fuzz-smoke  both test runs; the host has run the smoke already
#   --full     ./dev test, then ./dev package, installs the package with apt, checks that the program
#              finds every library and that its window comes up on an X server
# Needs root (debootstrap, mount, chroot) and the debootstrap package, which it installs when missing.
set -euo pipefail

usage() { echo "usage: $0 debian12|debian13 [--ci|--full]" >&2; exit 2; }
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

# The mirror the host's apt uses serves both releases; without one found, Debian's own.
mirror="$(sed -n 's/^URIs: *\(http[^ ]*debian\)\/\?$/\1/p; s/^deb \+\(http[^ ]*debian\)\/\? .*/\1/p' \
    /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null | head -n1 || true)"
mirror="${mirror:-http://deb.debian.org/debian}"

started=$SECONDS
say() { printf '== %s (%d s)\n' "$*" $((SECONDS - started)); }

if ! command -v debootstrap >/dev/null; then
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
fi

if [ ! -x "$root/usr/bin/apt-get" ]; then
    say "making a $suite root in $root from $mirror"
    "${sudo[@]}" rm -rf "$root.partial"
    mkdir -p "$cache"
    "${sudo[@]}" debootstrap --variant=minbase --include=sudo,ca-certificates,git \
        "$suite" "$root.partial" "$mirror" >"$cache/$suite.debootstrap.log" 2>&1 ||
        { tail -n 30 "$cache/$suite.debootstrap.log" >&2; exit 1; }
    "${sudo[@]}" mv "$root.partial" "$root"
fi

mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        "${sudo[@]}" umount -l "${mounted[i]}" 2>/dev/null || true
    done
}
trap cleanup EXIT
mount_into() { # mount_into OPTIONS... SOURCE TARGET
    "${sudo[@]}" mount "$@"
    mounted+=("${*: -1}")
}
mount_into -t proc proc "$root/proc"
mount_into --rbind /sys "$root/sys"
mount_into --make-rslave "$root/sys"
mount_into --rbind /dev "$root/dev"
mount_into --make-rslave "$root/dev"
"${sudo[@]}" cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# A fresh clone of what is committed here, as a user would make one.
src=/root/ormex
"${sudo[@]}" rm -rf "$root$src"
"${sudo[@]}" git clone --quiet --no-hardlinks "$repo" "$root$src"

inner='set -e; cd /root/ormex; export DEBIAN_FRONTEND=noninteractive; apt-get update -qq'
case "$mode" in
--default) inner+='; ./dev test' ;;
--ci) inner+='; ./dev test --without-fuzz-smoke' ;;
--full)
    inner+='; ./dev test; ./dev package
        apt-get install -y -qq ./build/release/ormex_*_amd64.deb xvfb x11-utils >/dev/null
        if ldd /usr/bin/ormex | grep "not found"; then echo "the installed program misses a library" >&2; exit 1; fi
        cd /tmp && xvfb-run -a -s "-screen 0 1024x768x24" sh -c "ormex & p=\$!; sleep 4
            xwininfo -root -tree | grep -q \"ORMEX\" && echo \"the installed program shows its window\" || { kill \$p; exit 1; }
            kill \$p"'
    ;;
esac
say "running in the $suite root: ${mode#--}"
"${sudo[@]}" chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    bash -c "$inner"
say "passed in the $suite root"
