#!/usr/bin/env bash
# tests/fuzz/run.sh [SECONDS] (default 30): builds the fuzz preset and runs each
# libFuzzer target for SECONDS on a scratch copy of its seed corpus (the
# committed corpus stays as it is). Fails if any target finds a crash, a
# sanitizer report or a broken check; prints each run's executions per second
# and the coverage reached (libFuzzer's cov: edges, ft: features).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# One target on one core: prints its PASS or FAIL lines, status 1 on a finding.
fuzz() {
  local target=$1
  local corpus=$scratch/$target
  cp -r tests/fuzz/corpus/$target "$corpus"
  local dict=()
  [ -f tests/fuzz/$target.dict ] && dict=(-dict=tests/fuzz/$target.dict)
  local log=$scratch/$target.log
  # Value profiles guide the fuzzer through the 16-bit comparisons of key codes.
  if ! build-fuzz/bin/${target}_fuzz "${dict[@]}" -max_total_time="$seconds" -max_len=4096 \
      -use_value_profile=1 \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$scratch/$target-" \
      "$corpus" >"$log" 2>&1; then
    echo "FAIL $target: libFuzzer stopped on a finding:"
    grep -E "ERROR|runtime error|deadly signal|SUMMARY|Test unit written" "$log" | head -20 || tail -30 "$log"
    for artifact in "$scratch/$target"-*; do
      [ -e "$artifact" ] || continue
      mkdir -p build-fuzz/findings && cp "$artifact" build-fuzz/findings/
      echo "  input kept: build-fuzz/findings/$(basename "$artifact") ($(od -An -tx1 -N64 "$artifact" | tr -s ' \n' ' '))"
    done
    return 1
  fi
  done_line=$(grep -E "^#[0-9]+\s+DONE" "$log" | tail -1)
  cov=$(sed -E 's/.* cov: ([0-9]+) .*/\1/' <<<"$done_line")
  ft=$(sed -E 's/.* ft: ([0-9]+) .*/\1/' <<<"$done_line")
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log")
  rate=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+)/\1/p' "$log")
  corp=$(sed -E 's/.* corp: ([0-9]+\/[0-9a-zA-Z]+) .*/\1/' <<<"$done_line")
  echo "PASS $target: ${seconds} s, $runs executions, $rate exec/s, cov $cov, ft $ft, corpus $corp"
}

# The two targets side by side, one on each core; their reports in order.
status=0
fuzz picture_record >"$scratch/picture_record.out" 2>&1 &
records=$!
fuzz dorvik2lifts >"$scratch/dorvik2lifts.out" 2>&1 || status=1
wait $records || status=1
cat "$scratch/picture_record.out" "$scratch/dorvik2lifts.out"
exit $status
