#!/usr/bin/env bash
# Sets up, builds and starts the program; arguments go to the program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup.sh"
bash "$here/scripts/build.sh" "$here/build/release" -DCMAKE_BUILD_TYPE=Release -DQUINTAR_TESTS=OFF
if [ ! -x "$here/build/release/bin/quintar" ]; then
  echo "The front-end program is not built yet; the libraries are in build/release/bin."
  exit 0
fi
exec "$here/build/release/bin/quintar" "$@"
