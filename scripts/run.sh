#!/usr/bin/env bash
# Sets up, builds and starts the program; arguments go to the program.
#
#   bash scripts/run.sh [file]                 the program, as a user runs it
#   bash scripts/run.sh --test-module [file]   also offers the tests' module
#                                              plug-in (it accepts *.qtm files)
#
# Installing the Debian packages needs root: the script uses sudo when it is
# not run as root. The program needs a display; without one, run it as
# xvfb-run -a bash scripts/run.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/release"
extra="$build/TestZorvanModule"

say() { echo "run.sh: $*"; }

# The command as given, for the line that says how to run it under Xvfb.
given=""
[ $# -gt 0 ] && given=$(printf ' %q' "$@")

with_test_module=0
if [ "${1:-}" = "--test-module" ]; then
  with_test_module=1
  shift
fi

say "checking the Debian packages the build and the program need (missing ones are installed with apt, as root or through sudo; the first time this takes a few minutes)"
bash "$here/scripts/setup.sh"
say "building into build/release (the first build takes a few minutes)"
bash "$here/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release

# The program also looks for modules in every folder beside its own whose
# name contains "ZorvanModule"; the test module goes there only when asked.
rm -rf "$extra"
if [ $with_test_module = 1 ]; then
  mkdir -p "$extra"
  cp "$build/tests/testmodule/libTestModule.so" "$extra/"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: built, but there is no display to show the program on (neither DISPLAY nor WAYLAND_DISPLAY is set); run it under Xvfb with: xvfb-run -a bash scripts/run.sh$given" >&2
  exit 1
fi
say "starting build/release/bin/quintar$( [ $# -gt 0 ] && printf ' %q' "$@")"
exec "$build/bin/quintar" "$@"
