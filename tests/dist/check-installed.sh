#!/bin/sh
# An installed kit as an application developer meets it: the versioned
# library with its SONAME and links, exactly the documented exports, one
# version everywhere, the manual pages and docs, and examples/simple_client.c
# built with pkg-config and with find_package(korvocomm), each run against
# the installed korvosim.
# Usage: check-installed.sh PREFIX SOURCE_DIR [BUILD_TREE]
#   With BUILD_TREE, that tree is first installed into PREFIX (cmake --install).
set -eu
prefix=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-installed: $*" >&2; exit 1; }

if [ $# -ge 3 ]; then
    rm -rf "$prefix"
    cmake --install "$3" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
fi

so1=$(find "$prefix/lib" -name libkorvocomm.so.1 | head -n 1)
[ -n "$so1" ] || fail "no libkorvocomm.so.1 under $prefix/lib"
libdir=$(dirname "$so1")
version=$("$prefix/bin/korvoprog" --version | sed -n 's/^korvoprog //p')
[ -n "$version" ] || fail "korvoprog --version names no version"
[ "$("$prefix/bin/korvosim" --version)" = "korvosim $version" ] || fail "korvosim --version is not $version"
[ "$(readlink "$so1")" = "libkorvocomm.so.$version" ] || fail "libkorvocomm.so.1 -> $(readlink "$so1"), not libkorvocomm.so.$version"
[ "$(readlink "$libdir/libkorvocomm.so")" = libkorvocomm.so.1 ] || fail "libkorvocomm.so is no link to libkorvocomm.so.1"
soname=$(objdump -p "$so1" | sed -n 's/^ *SONAME *//p')
[ "$soname" = libkorvocomm.so.1 ] || fail "SONAME is '$soname'"
sh "$source/tests/integration/check-exports.sh" "$so1" "$prefix/include/korvocomm.h"
for page in korvoprog korvosim; do
    [ -f "$prefix/share/man/man1/$page.1.gz" ] || fail "no manual page $page.1.gz"
done
ls "$prefix"/share/doc/*/docs/reference/commands.md "$prefix"/share/doc/*/docs/api.md >/dev/null ||
    fail "no docs under $prefix/share/doc"

# Where the prefix is no system folder, the tools and the loader are told.
export PKG_CONFIG_PATH="$libdir/pkgconfig" CMAKE_PREFIX_PATH="$prefix" LD_LIBRARY_PATH="$libdir"
[ "$(pkg-config --modversion korvocomm)" = "$version" ] || fail "pkg-config gives $(pkg-config --modversion korvocomm)"

cp "$source/examples/simple_client.c" "$work/"
# shellcheck disable=SC2046
cc -o "$work/client_pc" "$work/simple_client.c" $(pkg-config --cflags --libs korvocomm)
cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(simple_client C)
find_package(korvocomm 1 REQUIRED)
add_executable(simple_client simple_client.c)
target_link_libraries(simple_client PRIVATE korvocomm::korvocomm)
CMAKE
cmake -S "$work" -B "$work/build" >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; exit 1; }
cmake --build "$work/build" >>"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; exit 1; }

for client in "$work/client_pc" "$work/build/simple_client"; do
    sh "$source/tests/integration/run-example.sh" "$prefix/bin/korvosim" "$client" >"$work/run.log" 2>&1 ||
        { cat "$work/run.log"; fail "$client against korvosim"; }
done
echo "check-installed: $prefix holds korvo $version: library, exports, programs, pkg-config and CMake package work"
