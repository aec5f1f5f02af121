#!/usr/bin/env bash
# Installs the Debian packages that are missing: what the build and the
# program need, and with --tests also what the tests, the benchmarks and the
# coverage command need.
#   scripts/setup.sh [--tests]
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libsdl2-dev libx11-dev libxfixes-dev libxrandr-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  libglx-dev libopengl-dev  # CMake's OpenGL::GLX target needs both
  libfreetype-dev libfontconfig-dev fonts-liberation2
  libsqlite3-dev
  libjpeg-dev  # libjpeg-turbo, the JPEG texture decoder
  xfonts-base  # the core fonts SDL draws message boxes with
  xdg-utils    # the opener of the shell's stand-in
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    git googletest libgtest-dev libgmock-dev libbenchmark-dev
    libgif-dev  # the yardstick of the GIF benchmark
    mesa-utils
    xvfb xauth xdotool
    x11-utils  # xprop reads the icon a window shows
    xclip  # the second program of the clipboard tests
    imagemagick
    gcovr
    locales
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
