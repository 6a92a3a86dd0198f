#!/bin/sh
# The shared library exports exactly the functions the public header declares:
# nothing missing, nothing of the implementation or the C++ runtime besides.
# Usage: check-exports.sh LIBRARY HEADER
set -eu
lib=$1 header=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed -n 's/.*KORVO_CALL \([A-Za-z0-9_]*\)(.*/\1/p' "$header" | sort >"$work/documented"
nm -D --defined-only "$lib" | awk '{print $NF}' | sort >"$work/exported"
if ! diff -u "$work/documented" "$work/exported"; then
    echo "check-exports: $lib does not export exactly the documented names" >&2
    exit 1
fi
echo "check-exports: $(wc -l <"$work/exported") names, as documented"
