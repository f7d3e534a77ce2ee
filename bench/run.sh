#!/bin/sh
# make bench: the native benchmarks in the release tree, then the Windows DLL's decoding
# timed under Wine.
set -eu
tree=$1
cd "$tree"
status=0
# Five repetitions each; the ratios use the medians.
flags="--benchmark_color=false --benchmark_repetitions=5 --benchmark_min_time=0.2 --benchmark_report_aggregates_only=true"
echo "== heap use of a decode"
./decode_memory_check || status=1
echo
echo "== marusk (native, release)"
./picture_bench $flags || status=1
if [ -x ./archive_bench ]; then
    echo
    echo "== toldrin (native, release)"
    ./archive_bench $flags || status=1
fi
cd - >/dev/null
echo
echo "== marusk.spi (32-bit Windows DLL) under Wine"
(cd build/win32 && wine decode_timing.exe) || status=1
exit $status
