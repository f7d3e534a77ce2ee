#!/bin/sh
# The main job on the sample data: the same session with the native spihost and
# plug-ins, and with spihost.exe and the Windows DLLs under Wine; then both trees'
# pictures are compared byte for byte.
set -eu

samples=out/samples
rm -rf out/demo
build/native/mksamples "$samples"

session() {
    tree=$1
    shift
    echo
    echo "== $tree: spihost plugins"
    "$@" plugins
    echo
    echo "== $tree: spihost list $samples/bind0.tbl"
    "$@" list "$samples/bind0.tbl"
    echo
    echo "== $tree: spihost extract $samples/bind0.tbl --convert -C out/demo/$tree"
    "$@" extract "$samples/bind0.tbl" --convert -C "out/demo/$tree"
    echo
    echo "== $tree: spihost convert $samples/sample.b16 -C out/demo/$tree"
    "$@" convert "$samples/sample.b16" -C "out/demo/$tree"
}

session native build/native/spihost
session win32 wine build/win32/spihost.exe

echo
echo "== comparing the two trees' output"
status=0
for f in out/demo/native/*; do
    name=$(basename "$f")
    if cmp -s "$f" "out/demo/win32/$name"; then
        echo "  same: $name"
    else
        echo "  DIFFERENT: $name"
        status=1
    fi
done
[ "$status" -eq 0 ] || { echo "the native and Windows trees disagree"; exit 1; }

echo
echo "The pictures are in out/demo/native/ and out/demo/win32/ (identical):"
ls out/demo/native/*.png
