#!/bin/sh
# make fuzz: runs each libFuzzer target for SECONDS seconds on a copy of its seed corpus,
# and prints its executions and findings.
# usage: run.sh TREE SECONDS [TARGET...]
set -eu
tree=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=${*:-"archive_fuzz picture_fuzz names_fuzz"}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in $targets; do
    corpus="$tree/corpus/$target"
    findings="$tree/findings/$target"
    mkdir -p "$corpus" "$findings"
    cp -n "$here/corpus/$target/"* "$corpus/" 2>/dev/null || true
    log="$tree/$target.log"
    echo "== $target, $seconds s"
    # A record may ask for an entry of up to 4 GiB: allow the block (it is never touched).
    if "$tree/$target" -max_total_time="$seconds" -print_final_stats=1 -malloc_limit_mb=4400 \
        -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1; then
        :
    else
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    # Crashes, leaks, time-outs and running out of memory are findings; inputs that were
    # merely slow are listed for a look.
    found=$(ls "$findings" | grep -c -E '^(crash|leak|timeout|oom)-' || true)
    slow=$(ls "$findings" | grep -c '^slow-unit-' || true)
    echo "   $runs executions, corpus $(ls "$corpus" | wc -l) inputs, findings: $found, slow inputs: $slow"
    [ "$found" -eq 0 ] || { ls "$findings"; tail -n 30 "$log"; status=1; }
done
exit $status
