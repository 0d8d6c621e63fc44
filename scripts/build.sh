#!/usr/bin/env bash
# build.sh <build-dir> [cmake options...]: configure (once) and build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -- -j"$(nproc)"
