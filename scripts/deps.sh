#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing (sudo when not root).
# Usage: scripts/deps.sh [test]   — "test" adds what the tests and benchmarks need.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config ccache nlohmann-json3-dev
          qt6-base-dev libqt6opengl6-dev qt6-svg-dev libgl-dev libgl1-mesa-dri fonts-dejavu-core)
if [ "${1:-}" = test ]; then
  # lib3mf reads back the 3MF packages; its pkg-config file also links libzip.
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang-format locales xvfb xauth
             lib3mf-dev libzip-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installation des paquets manquants : ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
