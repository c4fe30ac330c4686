#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each one on its seed corpus.
# Usage: scripts/fuzz.sh [seconds per target] [runs per target]
#   scripts/fuzz.sh 5            a short run of every target (CI)
#   scripts/fuzz.sh 0 1000000    at least 1,000,000 executions per target
# A crash, leak, timeout or out-of-memory stops the script with a non-zero
# status; libFuzzer leaves the input that caused it in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
runs="${2:-}"
jobs="$(nproc 2>/dev/null || echo 2)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
build-fuzz/fuzz/lw_fuzz_seeds build-fuzz/corpus
mkdir -p build-fuzz/findings
targets=(fuzz_config fuzz_list_file fuzz_heads fuzz_bsa fuzz_record_tree fuzz_modshift fuzz_nif4 fuzz_template fuzz_meshshift)
for t in "${targets[@]}"; do
  args=(-timeout=10 -rss_limit_mb=3072 -artifact_prefix=build-fuzz/findings/"$t"- -print_final_stats=1)
  [ "$seconds" != "0" ] && args+=(-max_total_time="$seconds")
  [ -n "$runs" ] && args+=(-runs="$runs")
  echo "== $t"
  build-fuzz/fuzz/"$t" "${args[@]}" build-fuzz/corpus/"$t" 2>&1 | grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done|==[0-9]+==ERROR|SUMMARY)" || true
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "$t failed; see build-fuzz/findings/"; exit 1; }
done
