#!/bin/sh
# Installs what this machine lacks for a group of make targets, as Debian
# packages. Usage: install-deps.sh demo|build|fuzz|windows|wine|bindings|service|bench|dist|system ...
# Runs apt-get only when something is missing; needs root (or sudo) then.
set -eu

missing=""
need_i386=no

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
want() { have_pkg "$1" || missing="$missing $1"; }

for group in "$@"; do
    case "$group" in
    demo)
        # What make demo builds with: the library and the programs, no tests;
        # korvod's HTTP, JSON, journal and metrics libraries; curl to post to it.
        for p in make g++ cmake ninja-build pkg-config libcpp-httplib-dev nlohmann-json3-dev \
                 libsqlite3-dev prometheus-cpp-dev curl; do want "$p"; done ;;
    build)
        for p in g++ gcc make cmake ninja-build googletest libgtest-dev binutils util-linux; do want "$p"; done ;;
    fuzz)
        # clang with its runtime libraries, libFuzzer among them.
        for p in clang libclang-rt-dev; do want "$p"; done ;;
    windows)
        # llvm: llvm-dlltool for the MSVC import libraries; lld: lld-link to link
        # a caller with them the way MSVC's linker does.
        for p in g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 \
                 binutils-mingw-w64-i686 llvm lld; do want "$p"; done ;;
    bindings)
        # Debian's python3 with pytest and pip; Mono's C# compiler, runtime and the
        # Windows-1250 code page; Free Pascal's compiler and runtime units.
        for p in python3 python3-pytest python3-pip mono-mcs mono-runtime libmono-i18n-west4.0-cil \
                 fp-compiler fp-units-rtl; do want "$p"; done ;;
    service)
        # korvod's tests: pytest, and chromium with its driver for the page.
        for p in python3-pytest python3-selenium chromium chromium-driver; do want "$p"; done ;;
    bench)
        # Debian's python3 runs the benchmarks and writes their table.
        want python3 ;;
    wine)
        want wine64
        want wine
        if ! have_pkg wine32:i386; then missing="$missing wine32:i386"; need_i386=yes; fi ;;
    dist)
        # Debian packages (dpkg-shlibdeps, lintian) and their man pages.
        for p in dpkg-dev lintian gzip; do want "$p"; done ;;
    system)
        # Fresh-machine tests: a minimal Debian root to install into.
        for p in debootstrap git; do want "$p"; done ;;
    *) echo "install-deps.sh: unknown group $group" >&2; exit 2 ;;
    esac
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "install-deps.sh: missing Debian packages:$missing" >&2
    echo "install-deps.sh: install them as root, or run this again as root or with sudo available" >&2
    exit 1
fi
echo "Installing:$missing"
if [ "$need_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
# A mirror in the middle of a sync fails an index now and then: try again,
# then go on with the lists there are (the install names what it cannot find).
tries=1
until $SUDO apt-get update -q; do
    if [ "$tries" -ge 3 ]; then
        echo "install-deps.sh: apt-get update failed $tries times; going on with the package lists there are" >&2
        break
    fi
    tries=$((tries + 1))
    sleep 15
done
install() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@"; }
if ! install $missing; then
    # wine32 needs the i386 builds of the very versions amd64 has; when the
    # mirror's i386 lists are behind, it alone cannot be had. The rest goes
    # in, and the x86 Windows tests say that they were not run.
    case " $missing " in *" wine32:i386 "*) ;; *) exit 1 ;; esac
    rest=$(printf '%s\n' $missing | grep -vx 'wine32:i386' | tr '\n' ' ')
    [ -z "$rest" ] || install $rest
    echo "install-deps.sh: wine32:i386 cannot be installed from the package lists there are;" \
         "the x86 Windows tests will not run" >&2
fi
