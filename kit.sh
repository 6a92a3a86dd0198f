#!/bin/sh
# The front door on a fresh Debian machine, where even make may be missing:
# installs what the build needs (apt-get, as root or through sudo), then runs
# the make target.
#   ./kit.sh demo     build the library, korvoprog and korvosim, print a receipt
#   ./kit.sh test     build everything and run every test (make test)
#   ./kit.sh TARGET   any other target of the Makefile
set -eu
cd "$(dirname "$0")"
if [ $# -eq 0 ]; then
    echo "usage: ./kit.sh demo | test | MAKE-TARGET [VARIABLE=VALUE]..." >&2
    exit 2
fi
# The demo needs the compilers and CMake only; every other target installs
# its own further groups when it runs.
case "$1" in
demo) scripts/install-deps.sh demo ;;
*) scripts/install-deps.sh demo build ;;
esac
exec make "$@"
