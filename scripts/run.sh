#!/usr/bin/env bash
# Installs what is missing, builds the desktop application and starts it. Without arguments
# it opens the sample models (a model already open only brings its tab to the front).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIVORANE_BUILD_TESTS=OFF -DIVORANE_BUILD_BENCH=OFF >/dev/null
cmake --build build --target ivorane3d q3d
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Aucun affichage graphique (DISPLAY vide) : lancez-le depuis un bureau," >&2
  echo "ou sur un affichage virtuel : xvfb-run -a scripts/run.sh" >&2
  exit 1
fi
if [ $# -eq 0 ]; then
  set -- examples/*.q3d
fi
exec build/src/app/ivorane3d "$@"
