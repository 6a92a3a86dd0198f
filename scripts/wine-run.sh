#!/bin/sh
# Runs a Windows program under Wine in a private prefix inside the build tree,
# never the user's own. Usage: wine-run.sh PREFIX win64|win32 PROGRAM [ARG...]
# The prefix is created on first use (serialised with a lock, since tests run
# in parallel).
set -eu
prefix=$1 arch=$2
shift 2

case "$arch" in
win64) loader=/usr/lib/wine/wine64 ;;
win32) loader=/usr/lib/wine/wine ;;
*) echo "wine-run.sh: unknown architecture $arch" >&2; exit 2 ;;
esac

export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            WINELOADER=$loader "$loader" wineboot --init >/dev/null 2>&1 || true
            WINELOADER=$loader /usr/lib/wine/wineserver -w
        fi
    ) 9>"$prefix.lock"
fi
export WINELOADER=$loader
exec "$loader" "$@"
