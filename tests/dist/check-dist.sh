#!/bin/sh
# What make dist built, as users get it: the Debian packages pass lintian
# without errors and share one version; each Windows zip holds the files of
# its architecture.
# Usage: check-dist.sh DIST_DIR
set -eu
dist=$(cd "$1" && pwd)
fail() { echo "check-dist: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

version=
for p in libkorvocomm1 libkorvocomm-dev korvoprog korvosim; do
    deb=$(ls "$dist"/${p}_*.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || fail "no package $p in $dist"
    v=$(dpkg-deb -f "$deb" Version)
    [ -z "$version" ] || [ "$v" = "$version" ] || fail "$p is version $v, not $version"
    version=$v
done
echo "check-dist: Debian packages of version $version: $(cd "$dist" && ls -- *.deb | tr '\n' ' ')"

# Errors fail; warnings and notes are shown.
if ! lintian --fail-on error --display-info "$dist"/*.deb >"$work/lintian.txt" 2>&1; then
    cat "$work/lintian.txt"
    fail "lintian reports errors"
fi
if [ -s "$work/lintian.txt" ]; then
    echo "check-dist: lintian, no errors:"
    grep -v "running with root privileges" "$work/lintian.txt" | sed 's/^/  /'
else
    echo "check-dist: lintian reports nothing"
fi

for arch in win64:pei-x86-64 win32:pei-i386; do
    name=${arch%%:*} format=${arch#*:}
    zip=$dist/korvo-$version-$name.zip
    [ -f "$zip" ] || fail "no $zip"
    mkdir -p "$work/$name"
    (cd "$work/$name" && cmake -E tar xf "$zip")
    top=$work/$name/korvo-$version-$name
    for f in bin/korvocomm.dll bin/korvoprog.exe lib/libkorvocomm.dll.a lib/korvocomm.lib lib/korvocomm.def \
             include/korvocomm.h README.md LICENSE docs/api.md docs/reference/commands.md; do
        [ -f "$top/$f" ] || fail "$zip lacks $f"
    done
    for f in bin/korvocomm.dll bin/korvoprog.exe; do
        objdump -f "$top/$f" | grep -q "file format $format" || fail "$zip: $f is not $format"
    done
    echo "check-dist: $(basename "$zip"): $(cd "$top" && find . -type f | wc -l) files, $format"
done
