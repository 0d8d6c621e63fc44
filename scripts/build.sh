#!/usr/bin/env bash
# build.sh <build-dir> [cmake options...]: configure and build, quietly; the
# full log is printed only when something fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
mkdir -p "$dir"
log="$dir/build.log"
if ! { cmake -S "$here" -B "$dir" -G Ninja "$@" && cmake --build "$dir" -- -j"$(nproc)"; } >"$log" 2>&1; then
  grep -E 'error|Error|FAILED' "$log" | head -50 >&2 || true
  echo "build failed; the whole log is $log" >&2
  exit 1
fi
