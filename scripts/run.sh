#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main program on the sample models.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIVORANE_BUILD_TESTS=OFF -DIVORANE_BUILD_BENCH=OFF >/dev/null
cmake --build build --target q3d
for model in examples/*.q3d; do
  build/src/q3d check "$model"
done
