#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
# Usage: scripts/setup.sh [extra-package ...]
set -euo pipefail

# The desktop window system: GTK 3, the Japanese Gothic font that stands in
# for the menu's Windows font, and a virtual display with the tools its
# end-to-end test drives it with.
desktop=(libgtk-3-dev fonts-ipafont-gothic xvfb xauth xdotool imagemagick)
packages=(cmake g++ ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  "${desktop[@]}" "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
