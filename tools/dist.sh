#!/bin/sh
# make dist: dist/ with a zip for Windows users: the two plug-ins, spihost.exe and a
# short read-me, built from the Windows tree.
set -eu
version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="kaltrev-plugins-$version-win32"
stage="dist/$name"
rm -rf dist
mkdir -p "$stage"
cp build/win32/toldrin.spi build/win32/marusk.spi build/win32/spihost.exe "$stage/"
sed 's/$/\r/' tools/dist-readme.txt >"$stage/README.txt"
(cd dist && zip -q -r "$name.zip" "$name")
echo "dist/$name.zip:"
unzip -l "dist/$name.zip"
