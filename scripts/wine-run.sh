#!/bin/sh
# Runs a Windows program under Wine in a private prefix inside the build tree,
# never the user's own. Usage: wine-run.sh PREFIX win64|win32 [PROGRAM [ARG...]]
# The prefix is created on first use (serialised with a lock, since tests run
# in parallel); without a program the call only makes sure it exists and runs.
set -eu
prefix=$1 arch=$2
shift 2

case "$arch" in
win64) loader=/usr/lib/wine/wine64 ;;
win32) loader=/usr/lib/wine/wine ;;
*) echo "wine-run.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
server=/usr/lib/wine/wineserver

export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=$loader
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        "$loader" wineboot --init >/dev/null 2>&1 || true
        "$server" -w
    fi
    # The prefix's server and its services run apart from the caller: in
    # sessions of their own, with their output in a log. Started by the first
    # program instead, they would hold that program's output open until they
    # leave, and a test would wait for them. The server stays 10 s after the
    # last program; make test-windows stops it at once.
    if setsid -w "$server" -p10 </dev/null >>"$prefix.log" 2>&1 9>&-; then
        setsid -w "$loader" wineboot </dev/null >>"$prefix.log" 2>&1 9>&- || true
    fi
) 9>"$prefix.lock"

[ $# -eq 0 ] && exit 0
exec "$loader" "$@"
