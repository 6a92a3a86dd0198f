#!/bin/sh
# The committed reference is what the catalogues give today, and it holds
# every command and every general result code.
# Usage: check-reference.sh MAKE_REFERENCE REFERENCE_DIR
set -eu
generator=$1 committed=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" "$work"
status=0
for f in commands.md result-codes.md; do
    if ! diff -u "$committed/$f" "$work/$f"; then
        echo "check-reference: docs/reference/$f differs from the tables the code uses;" >&2
        echo "check-reference: run 'make reference' and commit docs/reference" >&2
        status=1
    fi
done
[ $status -eq 0 ] || exit 1

# Table rows: "| 12 | `endFiscalReceipt` | ..." in the command table, and
# "| -301 | `APP_..." in the two tables of general codes (the texts for one
# command name the command in a third column).
commands=$(grep -c '^| [0-9][0-9]* | ' "$work/commands.md")
codes=$(sed '/^## Texts for one command/,$d' "$work/result-codes.md" | grep -c '^| -*[0-9][0-9]* | `')
specific=$(sed -n '/^## Texts for one command/,$p' "$work/result-codes.md" | grep -c '^| -*[0-9][0-9]* | `')
echo "check-reference: $commands commands, $codes general result codes, $specific texts for one command"
[ "$commands" -eq 75 ] || { echo "check-reference: expected 75 commands" >&2; exit 1; }
[ "$codes" -eq 148 ] || { echo "check-reference: expected 148 general result codes" >&2; exit 1; }
[ "$specific" -eq 142 ] || { echo "check-reference: expected 142 texts for one command" >&2; exit 1; }
