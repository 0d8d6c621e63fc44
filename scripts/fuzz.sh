#!/usr/bin/env bash
# fuzz.sh [seconds]: builds every fuzz target (tools/fuzz) with clang under
# build/fuzz, writes their seed corpora, runs each target for the given time
# (default 60 s), FUZZ_JOBS at once (default: the core count), and prints a
# table: target, executions, coverage (cov/ft: edges and features reached, as
# libFuzzer counts them), findings. Exits 1 when a target found something
# (its input is kept under build/fuzz/findings/<target>/) or the build fails.
# The corpora grow in build/fuzz/corpus/<target>/ from one run to the next.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
dir="$here/build/fuzz"
jobs=${FUZZ_JOBS:-$(nproc)}

mkdir -p "$dir"
if ! { CC=clang CXX=clang++ cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DQUINTAR_FUZZ=ON && cmake --build "$dir" --target fuzz_all -- -j"$(nproc)"; } >"$dir/build.log" 2>&1; then
  grep -E 'error|Error|FAILED' "$dir/build.log" | head -50 >&2 || true
  echo "fuzz: build failed; the whole log is $dir/build.log" >&2
  exit 1
fi
"$dir/bin/fuzz_seeds" "$dir/corpus"

mapfile -t targets < "$dir/fuzzers.txt"
rm -rf "$dir/findings" "$dir/logs"
mkdir -p "$dir/logs"

run_one() {
  local t=$1
  mkdir -p "$dir/findings/$t" "$dir/corpus/$t"
  # Exit status is read from the log: a finding leaves an artifact.
  "$dir/bin/fuzz_$t" "$dir/corpus/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$dir/findings/$t/" \
    >"$dir/logs/$t.log" 2>&1 || true
}

running=0
for t in "${targets[@]}"; do
  [ -n "$t" ] || continue
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

status=0
printf '%-16s %14s %13s %9s\n' target executions cov/ft findings
for t in "${targets[@]}"; do
  [ -n "$t" ] || continue
  log="$dir/logs/$t.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -oE ' cov: [0-9]+ ft: [0-9]+' "$log" | tail -1 | awk '{print $2 "/" $4}' || true)
  found=$(find "$dir/findings/$t" -type f | wc -l)
  if [ -z "$execs" ] && [ "$found" -eq 0 ]; then
    found=1  # the target did not finish its run: look at its log
  fi
  printf '%-16s %14s %13s %9s\n' "$t" "${execs:-?}" "${cov:-?}" "$found"
  if [ "$found" -ne 0 ]; then
    status=1
    # The reason and the input (Base64) go to the run's output: a CI run
    # keeps no files.
    grep -E 'property broken|ERROR|SUMMARY|Base64|Test unit written' "$log" | head -8 | sed 's/^/  /' >&2 || true
    echo "  see $log" >&2
  fi
done
exit $status
