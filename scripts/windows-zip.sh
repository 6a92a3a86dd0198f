#!/bin/sh
# Packs the Windows files of one MinGW build tree into a zip: korvocomm.dll,
# korvoprog.exe, the import libraries for MinGW and MSVC, the .def, the
# header, README, licence and the docs.
# Usage: windows-zip.sh BUILD_TREE win64|win32 OUTPUT_DIR
set -eu
tree=$1 arch=$2 out=$3
version=$(sed -n 's/^#define KORVO_VERSION *"\(.*\)"$/\1/p' "$tree/generated/korvo_version.h")
[ -n "$version" ] || { echo "windows-zip: no version in $tree/generated/korvo_version.h" >&2; exit 1; }
name=korvo-$version-$arch
stage=$tree/zip/$name
rm -rf "$tree/zip"
mkdir -p "$stage" "$out"
for component in lib dev korvoprog; do
    cmake --install "$tree" --prefix "$stage" --component "$component" --strip >/dev/null
done
# The zip holds the folder of its name, entries in a fixed order.
out=$(cd "$out" && pwd)
rm -f "$out/$name.zip"
(cd "$tree/zip" && find "$name" -type f | LC_ALL=C sort >files.txt &&
    cmake -E tar cf "$out/$name.zip" --format=zip --files-from=files.txt)
echo "windows-zip: $out/$name.zip"
