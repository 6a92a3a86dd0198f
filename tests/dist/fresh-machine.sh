#!/bin/sh
# The kit on fresh minimal Debian machines (debootstrap --variant=minbase),
# each a copy of one pristine root that is kept between runs:
#   demo      a clone of this repository runs the README's demo command,
#             which has to install everything it needs itself;
#   packages  the Debian packages of DIST are installed, and an application
#             is built against them with pkg-config and with find_package.
# Usage: fresh-machine.sh DIST WORK_DIR [demo] [packages]   (both by default)
# Needs root, debootstrap, chroot and mount namespaces; where one of them is
# not permitted the test says so and is skipped. KORVO_ROOT_CACHE (default
# /var/cache/korvo-tests) keeps the pristine root and the downloaded packages.
set -eu
dist=$(cd "$1" && pwd)
mkdir -p "$2"
work=$(cd "$2" && pwd)
shift 2
phases=${*:-demo packages}
source=$(cd "$(dirname "$0")/../.." && pwd)
cache=${KORVO_ROOT_CACHE:-/var/cache/korvo-tests}

skip() {
    echo "fresh-machine: SKIPPED: $*"
    echo "fresh-machine: the fresh-machine tests need root, debootstrap, chroot and mount namespaces"
    exit 0
}
say() { echo "fresh-machine: $*"; }
seconds() { date +%s; }

[ "$(id -u)" -eq 0 ] || skip "not running as root"
command -v debootstrap >/dev/null 2>&1 || skip "debootstrap is not installed"
chroot / /bin/true 2>/dev/null || skip "chroot is not permitted here"
unshare --mount --pid --fork --propagation private /bin/true 2>/dev/null ||
    skip "mount and PID namespaces are not permitted here"

# The Debian this machine runs and the mirror its apt uses.
. /etc/os-release
suite=${VERSION_CODENAME:-bookworm}
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    grep -v security | head -n 1) || true
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(http[^ ]*\) .*/\1/p' /etc/apt/sources.list 2>/dev/null |
    grep -v security | head -n 1) || true
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

mkdir -p "$cache/archives/partial" "$cache/lists"
pristine=$cache/$suite-minbase
exec 9>"$cache/lock"
flock 9

roots=
cleanup() {
    for r in $roots; do rm -rf "$r"; done
}
trap cleanup EXIT

if [ ! -x "$pristine/bin/sh" ]; then
    say "making the pristine $suite minbase root from $mirror (once per machine)"
    start=$(seconds)
    rm -rf "$pristine.new"
    debootstrap --variant=minbase "$suite" "$pristine.new" "$mirror" >"$work/debootstrap.log" 2>&1 || {
        tail -n 20 "$work/debootstrap.log"
        rm -rf "$pristine.new"
        echo "fresh-machine: debootstrap failed" >&2
        exit 1
    }
    mv "$pristine.new" "$pristine"
    say "pristine root made in $(($(seconds) - start)) s"
fi

# A fresh copy of the pristine root, with this machine's name resolution.
fresh_root() {
    root=$work/$1-root
    rm -rf "$root"
    cp -a "$pristine" "$root"
    roots="$roots $root"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # apt's package lists from earlier runs: the update then only checks them.
    cp -a "$cache/lists/." "$root/var/lib/apt/lists/" 2>/dev/null || true
}

# Runs a shell command as root inside a root, in namespaces of its own: its
# /proc and /dev/pts as on a booted machine, the shared download cache, and
# every process it leaves is ended with it.
in_root() {
    root=$1
    shift
    unshare --mount --pid --fork --propagation private /bin/sh -c '
        set -e
        root=$1 cache=$2
        shift 2
        mount -t proc proc "$root/proc"
        mount --bind /dev/pts "$root/dev/pts"
        mount --bind "$cache/archives" "$root/var/cache/apt/archives"
        exec chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/sh -c "$*"
    ' in_root "$root" "$cache" "$@"
}

keep_lists() {
    find "$1/var/lib/apt/lists" -maxdepth 1 -type f ! -name lock -exec cp -a {} "$cache/lists/" \;
}

status=0

case " $phases " in *" demo "*)
    start=$(seconds)
    fresh_root demo
    commit=$(git -C "$source" rev-parse HEAD)
    git clone --quiet "$source" "$root/root/korvo"
    git -C "$root/root/korvo" checkout --quiet --detach "$commit"
    say "demo: ./kit.sh demo in a clone of $commit"
    if in_root "$root" 'cd /root/korvo && ./kit.sh demo' >"$work/demo.log" 2>&1 &&
        grep -q '^== exit code 0$' "$work/demo.log" && grep -q '^== Paper roll' "$work/demo.log"; then
        say "demo: passed in $(($(seconds) - start)) s (log: $work/demo.log)"
    else
        tail -n 40 "$work/demo.log"
        say "demo: FAILED (log: $work/demo.log)"
        status=1
    fi
    if grep -n -i -E '^E: |error:|warning|could not find' "$work/demo.log" | grep -v -E '^[0-9]+:debconf'; then
        say "demo: the output above reads like an error to a newcomer"
        status=1
    fi
    keep_lists "$root"
    ;;
esac

case " $phases " in *" packages "*)
    start=$(seconds)
    fresh_root packages
    mkdir -p "$root/tmp/debs" "$root/tmp/kit/tests/dist" "$root/tmp/kit/tests/integration" "$root/tmp/kit/examples" \
        "$root/tmp/kit/scripts"
    cp "$dist"/*.deb "$root/tmp/debs/"
    cp "$source/tests/dist/check-installed.sh" "$root/tmp/kit/tests/dist/"
    cp "$source/tests/integration/check-exports.sh" "$source/tests/integration/run-example.sh" \
        "$root/tmp/kit/tests/integration/"
    cp "$source/examples/simple_client.c" "$root/tmp/kit/examples/"
    cp "$source/scripts/run-with-sim.sh" "$root/tmp/kit/scripts/"
    say "packages: $(cd "$dist" && ls -- *.deb | tr '\n' ' ')"
    if in_root "$root" '
        set -e
        apt-get update -q
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            /tmp/debs/*.deb gcc libc6-dev binutils pkg-config cmake make
        sh /tmp/kit/tests/dist/check-installed.sh /usr /tmp/kit
        version=$(korvoprog --version | sed "s/^korvoprog //")
        for deb in /tmp/debs/*.deb; do
            p=$(dpkg-deb -f "$deb" Package)
            v=$(dpkg-query -W -f="\${Version}" "$p")
            [ "$v" = "$version" ] || { echo "package $p is version $v, korvoprog --version says $version"; exit 1; }
            echo "package $p $v = korvoprog --version"
        done
    ' >"$work/packages.log" 2>&1; then
        grep -E '^(check-exports:|check-installed:|package )' "$work/packages.log" | sed 's/^/fresh-machine: packages: /'
        say "packages: passed in $(($(seconds) - start)) s (log: $work/packages.log)"
    else
        tail -n 40 "$work/packages.log"
        say "packages: FAILED (log: $work/packages.log)"
        status=1
    fi
    keep_lists "$root"
    ;;
esac

exit $status
