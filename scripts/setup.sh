#!/usr/bin/env bash
# Installs what building, testing and running orinplay need on Debian 12. Idempotent: when every
# package is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  zlib1g-dev libpng-dev libjpeg62-turbo-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho
  libsdl2-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libswscale-dev
  libfluidsynth-dev fluid-soundfont-gm
  libcurl4-openssl-dev libspeechd-dev
  librsvg2-bin
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
