#!/usr/bin/env bash
# Runs every libFuzzer program of a fuzz build for a while, one after another, and prints per target the
# executions and the findings (crash, leak and timeout inputs). Seeds are copied to a working corpus in the
# build folder; the repository is never written.
# Usage: scripts/fuzz.sh <build-dir> [seconds-per-target] [target-name...]
set -uo pipefail
build=${1:?build folder}
# Absolute, since a harness may change its working folder.
build=$(cd "$build" && pwd) || exit 1
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : $# ))
src=$(cd "$(dirname "$0")/.." && pwd)/fuzz
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for exe in "$build"/fuzz/bin/kvo-fuzz-*; do names+=("${exe##*/kvo-fuzz-}"); done
fi

export KVO_REGISTRY_DIR="$build/fuzz/registry"
total_findings=0
summary=()
for name in "${names[@]}"; do
  exe="$build/fuzz/bin/kvo-fuzz-$name"
  work="$build/fuzz/work/$name"
  mkdir -p "$work/corpus" "$work/findings" "$KVO_REGISTRY_DIR"
  for d in "$src/corpus/$name" "$src/regressions/$name"; do
    [ -d "$d" ] && cp -r "$d"/. "$work/corpus/"
  done
  before=$(ls "$work/findings" | wc -l)
  echo "== $name: ${seconds}s"
  "$exe" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/findings/" "$work/corpus" > "$work/log.txt" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log.txt" | grep -o '[0-9]*$' | tail -1)
  after=$(ls "$work/findings" | wc -l)
  found=$((after - before))
  total_findings=$((total_findings + found))
  line="$name: executions ${execs:-?}, findings $found (exit $rc)"
  [ $found -gt 0 ] && line+=" -> $work/findings"
  summary+=("$line")
  echo "$line"
done
echo "== summary"
printf '%s\n' "${summary[@]}"
[ $total_findings -eq 0 ]
