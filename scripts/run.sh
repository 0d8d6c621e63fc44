#!/usr/bin/env bash
# Sets up, builds and starts the program; arguments go to the program.
#
#   bash scripts/run.sh [file]                 the program, as a user runs it
#   bash scripts/run.sh --test-module [file]   also offers the tests' module
#                                              plug-in (it accepts *.qtm files)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/release"
extra="$build/TestZorvanModule"

with_test_module=0
if [ "${1:-}" = "--test-module" ]; then
  with_test_module=1
  shift
fi

bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release

# The program also looks for modules in every folder beside its own whose
# name contains "ZorvanModule"; the test module goes there only when asked.
rm -rf "$extra"
if [ $with_test_module = 1 ]; then
  mkdir -p "$extra"
  cp "$build/tests/testmodule/libTestModule.so" "$extra/"
fi
exec "$build/bin/quintar" "$@"
