#!/bin/sh
# docs/api.md has one section ("### Name") for every function the header
# declares, and none for anything else.
# Usage: check-api.sh HEADER API_MD
set -eu
header=$1 api=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed -n 's/.*KORVO_CALL \([A-Za-z0-9_]*\)(.*/\1/p' "$header" | sort >"$work/declared"
sed -n 's/^### `\([A-Za-z0-9_]*\)`.*/\1/p' "$api" | sort >"$work/documented"
if ! diff -u "$work/declared" "$work/documented"; then
    echo "check-api: docs/api.md does not document exactly the exports of korvocomm.h" >&2
    exit 1
fi
echo "check-api: $(wc -l <"$work/declared") exports, each documented once"
