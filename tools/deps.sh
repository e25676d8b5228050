#!/usr/bin/env bash
# Installs the Debian 12 packages Lumo builds, tests and packages with (only those that are missing).
set -euo pipefail
packages=(cmake g++ ninja-build pkg-config qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  nlohmann-json3-dev libtinyobjloader-dev libtinygltf-dev libjpeg62-turbo-dev dpkg-dev file man-db)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
