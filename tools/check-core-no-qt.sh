#!/usr/bin/env bash
# The core (geometry, sketch, document, input, export) must build without Qt.
set -eu
cd "$(dirname "$0")/.."
hits=$(grep -rn -E '#include\s*[<"](Q[A-Za-z]|Qt)' src/geometry src/sketch src/document src/input src/export 2>/dev/null || true)
if [ -n "$hits" ]; then
  echo "Qt used in the core:"
  echo "$hits"
  exit 1
fi
