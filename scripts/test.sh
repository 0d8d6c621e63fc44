#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a release build, once with
# AddressSanitizer and UndefinedBehaviorSanitizer. The long CPU conformance
# runs (label "long") run in the release build only. Then every fuzz target
# runs for 20 seconds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
jobs=$(nproc)
status=0

# Tests that play sound in real time through SDL's disk driver measure gaps
# and pitch against the wall clock: they run alone, after the others, so a
# loaded machine cannot starve them.
# ctest counts a skipped test as passed; each run's full log (every test's
# output, skip messages included) is kept for the summary at the end.
skiplogs=$(mktemp -d)
trap 'rm -rf "$skiplogs"' EXIT
run_tests() {
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j"$jobs" -E SoundCapture "$@") || status=1
  keep_log "$dir"
  (cd "$dir" && ctest --output-on-failure -R SoundCapture "$@") || status=1
  keep_log "$dir"
}
keep_log() {
  local log=$1/Testing/Temporary/LastTest.log
  [ -f "$log" ] && cp "$log" "$skiplogs/$(basename "$1")-$(ls "$skiplogs" | wc -l).log"
  return 0
}

# How many tests skipped in each build, grouped by their reason (the line a
# test gives after "Skipped"; the many "not found" lines of the public test
# programs count as one reason).
summarise_skips() {
  echo "== skipped tests"
  local build
  for build in release asan; do
    ls "$skiplogs"/"$build"-*.log >/dev/null 2>&1 || continue
    cat "$skiplogs"/"$build"-*.log | awk -v build="$build" '
      /: Skipped$/ { want = 1; next }
      want && NF {
        reason = $0
        if (reason ~ /^\[  SKIPPED \]/)
          reason = "(no reason given)"
        else if (reason ~ /QUINTAR_TESTROMS|testroms|test programs? .*not (found|there)|nestest/)
          reason = "the public test programs were not found (set QUINTAR_TESTROMS, or put them in ../shared/testroms)"
        count[reason]++; total++; want = 0
      }
      END {
        printf "%s build: %d tests skipped\n", build, total
        for (r in count) printf "  %5d  %s\n", count[r], r
      }'
  done
}

echo "== release build"
bash "$here/scripts/build.sh" "$here/build/release" -DCMAKE_BUILD_TYPE=Release
echo "== release tests"
run_tests "$here/build/release"

echo "== sanitizer build"
bash "$here/scripts/build.sh" "$here/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUINTAR_SANITIZE=ON
echo "== sanitizer tests"
run_tests "$here/build/asan" -LE long

# Every reader of outside data under the fuzzer for 20 s; a crash, leak,
# hang or broken property fails the run (deeper runs: scripts/fuzz.sh 300).
echo "== fuzz targets, 20 s each"
bash "$here/scripts/fuzz.sh" 20 || status=1

summarise_skips
exit $status
