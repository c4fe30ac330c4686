#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each one on its seed corpus.
# Usage: scripts/fuzz.sh [seconds per target] [runs per target] [target...]
#   scripts/fuzz.sh 5                      a short run of every target (CI)
#   scripts/fuzz.sh 0 1000000              at least 1,000,000 executions per target
#   scripts/fuzz.sh 0 1000000 fuzz_nif4    one target only
# Each target prints its executions, wall time and peak memory; its whole log
# stays in build-fuzz/logs/. A crash, leak, timeout or out-of-memory stops the
# script with a non-zero status; libFuzzer leaves the input that caused it in
# build-fuzz/findings/. LW_FUZZ_MAX_LEN, when set, caps the input size;
# LW_FUZZ_NO_BUILD=1 runs the targets as they were last built.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
runs="${2:-}"
shift $(( $# < 2 ? $# : 2 ))
jobs="$(nproc 2>/dev/null || echo 2)"
if [ -z "${LW_FUZZ_NO_BUILD:-}" ]; then
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
fi
build-fuzz/fuzz/lw_fuzz_seeds build-fuzz/corpus
mkdir -p build-fuzz/findings build-fuzz/logs
targets=(fuzz_config fuzz_list_file fuzz_heads fuzz_bsa fuzz_record_tree fuzz_modshift fuzz_nif4 fuzz_template fuzz_meshshift)
[ $# -gt 0 ] && targets=("$@")
for t in "${targets[@]}"; do
  args=(-timeout=10 -rss_limit_mb=3072 -artifact_prefix=build-fuzz/findings/"$t"- -print_final_stats=1)
  [ "$seconds" != "0" ] && args+=(-max_total_time="$seconds")
  [ -n "$runs" ] && args+=(-runs="$runs")
  [ -n "${LW_FUZZ_MAX_LEN:-}" ] && args+=(-max_len="$LW_FUZZ_MAX_LEN")
  echo "== $t"
  start=$SECONDS
  status=0
  build-fuzz/fuzz/"$t" "${args[@]}" build-fuzz/corpus/"$t" >build-fuzz/logs/"$t".log 2>&1 || status=$?
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done|==[0-9]+==ERROR|SUMMARY)" build-fuzz/logs/"$t".log || true
  echo "wall time: $((SECONDS - start)) s"
  [ "$status" -eq 0 ] || { echo "$t failed; see build-fuzz/findings/ and build-fuzz/logs/$t.log"; exit 1; }
done
