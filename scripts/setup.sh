#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libx11-dev libxfixes-dev libxrandr-dev libgl-dev libgl1-mesa-dri libglx-mesa0 mesa-utils
  libfreetype-dev libfontconfig-dev fonts-liberation2
  libsqlite3-dev
  xvfb xauth xdotool
  xclip  # the second program of the clipboard tests
  xfonts-base  # the core fonts SDL draws message boxes with
  xdg-utils
  imagemagick libgif-dev
  gcovr
  locales
)

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
