#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the program with build/ as its folder.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ ! -x build/servidor-serial ]; then
  echo "Built the core, tests and tools; the program itself is not there yet."
  exit 0
fi
cd build
exec ./servidor-serial "$@"
