#!/bin/sh
# Runs a Windows test program under Wine against a native korvosim:
#   with-simulator.sh --korvosim PATH --dir DIR --prefix PREFIX --arch win64|win32
#                     --usb N --rs232 N [--address N] [--faults FILE] -- PROGRAM [ARG...]
# korvosim serves on loopback TCP, on a USB pseudo-terminal and on an RS-232
# pseudo-terminal (station address N, default 2), with its journal in DIR. The
# prefix's dosdevices/comN links lead COMn to the pseudo-terminals, so that the
# program opens them as COM ports. The program finds the endpoints in its
# environment: KORVO_SIM_TCP (host:port), KORVO_SIM_USB and KORVO_SIM_RS232
# (COMn), KORVO_SIM_ADDRESS and KORVO_SIM_JOURNAL. The simulator is stopped and
# the links removed when the program ends, whatever its outcome.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
wine_run="$here/../../scripts/wine-run.sh"
sim="" dir="" prefix="" arch="" usb="" rs232="" address=2 faults=""
while [ $# -gt 0 ]; do
    case "$1" in
    --korvosim) sim=$2 ;;
    --dir) dir=$2 ;;
    --prefix) prefix=$2 ;;
    --arch) arch=$2 ;;
    --usb) usb=$2 ;;
    --rs232) rs232=$2 ;;
    --address) address=$2 ;;
    --faults) faults=$2 ;;
    --) shift; break ;;
    *) echo "with-simulator.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift 2
done
if [ -z "$sim" ] || [ -z "$dir" ] || [ -z "$prefix" ] || [ -z "$arch" ] || [ -z "$usb" ] ||
   [ -z "$rs232" ] || [ $# -eq 0 ]; then
    echo "with-simulator.sh: missing arguments" >&2
    exit 2
fi
if [ ! -x "$sim" ]; then
    echo "with-simulator.sh: no korvosim at $sim; build the native tree first (make native)" >&2
    exit 1
fi

rm -rf "$dir"
mkdir -p "$dir"
"$wine_run" "$prefix" "$arch" # creates the prefix on first use

simpid=""
cleanup() {
    if [ -n "$simpid" ]; then
        kill -TERM "$simpid" 2>/dev/null || true
        tries=0
        while kill -0 "$simpid" 2>/dev/null && [ $tries -lt 50 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        kill -KILL "$simpid" 2>/dev/null || true
        wait "$simpid" 2>/dev/null || true
    fi
    rm -f "$prefix/dosdevices/com$usb" "$prefix/dosdevices/com$rs232"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -n "$faults" ]; then
    "$sim" --tcp 127.0.0.1:0 --usb "$dir/usb" --rs232 "$dir/rs232" --address "$address" \
        --journal "$dir/journal.txt" --faults "$faults" >"$dir/korvosim.log" 2>&1 &
else
    "$sim" --tcp 127.0.0.1:0 --usb "$dir/usb" --rs232 "$dir/rs232" --address "$address" \
        --journal "$dir/journal.txt" >"$dir/korvosim.log" 2>&1 &
fi
simpid=$!

tries=0
until grep -q "^korvosim: ready" "$dir/korvosim.log" 2>/dev/null; do
    if ! kill -0 "$simpid" 2>/dev/null || [ $tries -ge 100 ]; then
        echo "with-simulator.sh: korvosim did not start:" >&2
        cat "$dir/korvosim.log" >&2
        exit 1
    fi
    sleep 0.1
    tries=$((tries + 1))
done
tcp=$(sed -n 's/^korvosim: tcp //p' "$dir/korvosim.log" | head -n 1)

ln -sfn "$dir/usb" "$prefix/dosdevices/com$usb"
ln -sfn "$dir/rs232" "$prefix/dosdevices/com$rs232"

# Wine shows the Linux root as drive Z:.
journal="Z:$(printf '%s' "$dir/journal.txt" | tr / '\\')"
status=0
KORVO_SIM_TCP=$tcp KORVO_SIM_USB=COM$usb KORVO_SIM_RS232=COM$rs232 KORVO_SIM_ADDRESS=$address \
    KORVO_SIM_JOURNAL=$journal "$wine_run" "$prefix" "$arch" "$@" || status=$?
if [ $status -ne 0 ]; then
    echo "--- korvosim log" >&2
    cat "$dir/korvosim.log" >&2
fi
exit $status
