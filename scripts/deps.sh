#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing (sudo when not root).
# Usage: scripts/deps.sh [test]   — "test" adds what the tests and benchmarks need.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config ccache nlohmann-json3-dev
          qt6-base-dev libqt6opengl6-dev qt6-svg-dev qt6-translations-l10n
          libgl-dev libgl1-mesa-dri fonts-dejavu-core fonts-noto-color-emoji
          libsodium-dev libarchive-dev)
if [ "${1:-}" = test ]; then
  # lib3mf reads back the 3MF packages; its pkg-config file also links libzip. The slicer
  # checks that exported models are closed ("prusa-slicer --info", no display needed).
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang-format locales xvfb xauth
             lib3mf-dev libzip-dev openssl xz-utils prusa-slicer
             xdotool x11-utils imagemagick)
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installation des paquets manquants : ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The number tests run under a French locale, which Debian does not generate by default.
if [ "${1:-}" = test ] && ! locale -a 2>/dev/null | grep -qix 'fr_FR\.utf-\?8'; then
  echo "Génération de la locale fr_FR.UTF-8"
  $sudo sed -i 's/^# *\(fr_FR\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'fr_FR.UTF-8 UTF-8' /etc/locale.gen || echo 'fr_FR.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen
fi
